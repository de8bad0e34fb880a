// The two codings of a Compact Pro fork.  Every fork is run-length coded
// (RLE): 0x81 0x82 n repeats the byte given last until it has been given n
// times in all (n of 1 adds nothing), 0x81 0x82 0 is the two bytes 0x81
// 0x82, and 0x81 before any other byte is a plain 0x81.  A fork whose flag
// says so was then LZH-coded: LZ77 over an 8 KiB window, literals, lengths
// and the high 7 bits of distances coded with canonical Huffman codes (at
// most 15 bits, read first bit first from each byte's high bit) that each
// block sends as code lengths, two to a byte.  A block ends after 0x1FFF0
// units of symbols (a literal 2, a copy 3); the compressor then drops the
// bits left in the byte and two more bytes, three when the block's data
// took an odd number of bytes.
//
// The window starts zero-filled, as the compressor assumes (a copy may
// reach before the first byte: a resource fork's leading zeros), and a
// distance of 0 reaches back the whole window.  A code whose lengths are
// over-subscribed is refused; an incomplete one is taken, and a code it
// lacks refused when met.  Pure: bytes in from a pull, bytes out, no
// allocation.
#ifndef KIVOR_UNPACK_CPT_LZH_H_
#define KIVOR_UNPACK_CPT_LZH_H_

#include "unpack/source.h"

enum {
  CPT_WINDOW = 8192,
  CPT_BLOCK = 0x1FFF0,
};

// A canonical code: how many codes of each length 1 to 15, and the symbols
// in code order.
struct cpt_code {
  uint16_t count[16];
  uint16_t symbol[256];
};

// The LZH layer: bytes in, the RLE-coded bytes out.
struct cpt_lzh_state {
  struct unpack_bytes in;
  uint32_t hold;          // bits taken from buf, not yet used: the low held
  int held;               // at most 7 between symbols
  uint32_t block_bytes;   // bytes taken since the current block's data began
  uint32_t block_units;   // units of the block's symbols so far
  bool in_block;          // the block's codes are read
  struct cpt_code literals, lengths, distances;
  unsigned copy_left, copy_dist;
  uint32_t done;          // bytes given: where the next goes in the window
  uint8_t window[CPT_WINDOW];
  const char *error;
};

// Starts decoding the LZH-coded bytes of pull(source, ...).
void cpt_lzh_init(struct cpt_lzh_state *s, unpack_pull pull, void *source);

// Up to count decoded (still RLE-coded) bytes into out: how many, 0 when
// the coded bytes end where a block would begin, or -1 with s->error set
// ("truncated data" for an end elsewhere, "bad code table", "bad code",
// "read failed").  Bytes decoded before a fault are given first, the -1 on
// the call after, and on every call after that.  Never writes more than
// count bytes.
long cpt_lzh_read(struct cpt_lzh_state *s, uint8_t *out, size_t count);

// The RLE layer.
struct cpt_rle_state {
  struct unpack_bytes in;
  uint64_t left;    // bytes still to give
  int last;         // the byte a run repeats; -1 before the first
  unsigned repeat;  // copies of last still to give
  const char *error;
};

// Starts decoding the RLE-coded bytes of pull(source, ...) to exactly size
// bytes.
void cpt_rle_init(struct cpt_rle_state *s, unpack_pull pull, void *source, uint64_t size);

// Up to count decoded bytes into out: how many (0 once size bytes have been
// given), or -1 with s->error set ("truncated data" when the coded bytes
// end first, an escape cut off included; "a run with nothing to repeat";
// "read failed" when the pull failed).  A 0x81 that ends the coded bytes is
// a plain 0x81.  Bytes decoded before a fault are given first, the -1 on
// the call after.  Never writes more than count bytes.
long cpt_rle_read(struct cpt_rle_state *s, uint8_t *out, size_t count);

// One fork: RLE over LZH when lzh, else RLE alone.
struct cpt_fork_state {
  struct cpt_lzh_state lzh;
  struct cpt_rle_state rle;
  const char *error;
};

// Starts decoding a fork read through pull(source, ...), size bytes long
// when decoded.
void cpt_fork_init(struct cpt_fork_state *s, unpack_pull pull, void *source, uint64_t size,
                   bool lzh);

// cpt_rle_read of the fork, s->error naming the fault of whichever layer
// failed.
long cpt_fork_read(struct cpt_fork_state *s, uint8_t *out, size_t count);

#endif  // KIVOR_UNPACK_CPT_LZH_H_
