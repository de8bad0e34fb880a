// StuffIt's method 15 ("Arsenic"): blocks sorted with the Burrows-Wheeler
// transform, then move-to-front and run coding, coded with an adaptive
// arithmetic coder.
//
// The stream is one arithmetic code, read first bit first (the high bit of
// each byte first), with nine adaptive models: a two-symbol one for the
// numbers of the headers, a selector of what comes next in a block, and
// seven for move-to-front positions 2 to 255 by their power of two.  It
// holds "As", the block size as a power of two (2^9 to 2^24), then blocks,
// each after a bit that is clear when one follows: a randomised flag, the
// row of the original text among the sorted rotations, and the block's
// last column as runs of the front symbol (counted in bijective base 2) and
// move-to-front positions, up to an end symbol.  After the last block comes
// the CRC-32 of all the output.  The sorted block undone, a run of four
// equal bytes is followed by a count of more copies of the byte.  Each
// block starts afresh: the models but the two-symbol one, the move-to-front
// order and the runs of four.
//
// Blocks are held whole, each byte with a 32-bit link.  The format allows
// blocks of 16 MiB (2^24 bytes, 64 MiB of links); the archives met use
// 512 KiB (2^19), so a stated block size over 4 MiB (2^22) is refused,
// keeping the state to 16 MiB.  A block flagged as randomised is refused
// too: the table its randomisation follows is not carried here.  The
// compressor flushes the whole of its code, so a decoder that needs a bit
// past the end of the data has met truncated data.  The CRC is checked
// once the stated size has come out.
#ifndef KIVOR_UNPACK_ARSENIC_H_
#define KIVOR_UNPACK_ARSENIC_H_

#include "unpack/source.h"

enum {
  ARSENIC_MAX_BLOCK_BITS = 22,
  ARSENIC_MAX_BLOCK = 1 << ARSENIC_MAX_BLOCK_BITS,
  ARSENIC_MTF_MODELS = 7
};

// An adaptive model of the symbols first to first + count - 1: each seen
// adds increment to its frequency; past limit in all, all are halved.
struct arsenic_model {
  unsigned first, count, increment, limit, total;
  uint16_t freq[128];
};

// One member being decoded (16 MiB and a few KB).  Large: a reader
// allocates it once, when it first meets the method.
struct arsenic_state {
  unpack_pull pull;
  void *source;
  uint8_t buf[UNPACK_INBUF];
  size_t pos, len;  // buf[pos..len) not yet taken
  unsigned byte;    // the byte being taken, bits of it left
  int bits;
  uint32_t range, code;
  struct arsenic_model initial, selector, mtf[ARSENIC_MTF_MODELS];
  uint64_t left;    // bytes still to give
  int phase;        // header unread, in the blocks, after the CRC
  int block_bits;   // the stated block size is 1 << block_bits
  uint32_t block_len, given;  // bytes of the sorted block, given of them
  uint32_t next;              // the row of the next byte to give
  int last, same;             // the last byte given, how many of it in a row
  unsigned repeat;            // copies of last still to give
  uint32_t crc;
  // Per row of the sorted block: its last column's byte in the low 8 bits,
  // above them the link to the row holding the byte that follows it.
  uint32_t rows[ARSENIC_MAX_BLOCK];
  const char *error;
};

// Starts decoding one member: its compressed bytes come from pull(source,
// ...); it decompresses to exactly size bytes (the size the archive states).
void arsenic_init(struct arsenic_state *s, unpack_pull pull, void *source, uint64_t size);

// Up to count decompressed bytes into out: how many (0 once size bytes have
// been given), or -1 when the data is bad or the pull failed, with s->error
// saying why.  Bytes decoded before a fault are still given; the call after
// returns -1.  Never writes more than count bytes.  The call that gives the
// last byte also reads the stream to its end and checks its CRC; a fault
// there makes the next call return -1.
long arsenic_read(struct arsenic_state *s, uint8_t *out, size_t count);

#endif  // KIVOR_UNPACK_ARSENIC_H_
