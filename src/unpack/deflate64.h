// ZIP method 9 ("enhanced deflate"): deflate's blocks (stored, fixed and
// dynamic Huffman codes) with three changes: back-references reach 64 KiB
// back (distance codes 30 and 31, 14 extra bits each), and length code 285
// stands for 3 plus 16 extra bits, not 258.
//
// A code table that is over-subscribed, or incomplete while it has more
// than one code, is refused; so is a table without an end-of-block code.
#ifndef KIVOR_UNPACK_DEFLATE64_H_
#define KIVOR_UNPACK_DEFLATE64_H_

#include "unpack/source.h"

enum {
  DEFLATE64_WINDOW = 65536,
  DEFLATE64_LITERALS = 288,  // literal/length symbols, the fixed code's two unused included
  DEFLATE64_DISTANCES = 32,
  DEFLATE64_MAXBITS = 15
};

// A canonical code: how many codes of each length 1 to 15, and the symbols
// in code order.
struct deflate64_code {
  uint16_t count[DEFLATE64_MAXBITS + 1];
  uint16_t symbol[DEFLATE64_LITERALS];
};

// Where a member's decoding stands between calls.
enum deflate64_stage {
  DEFLATE64_HEADER,  // before a block's header
  DEFLATE64_STORED,  // inside a stored block
  DEFLATE64_CODED,   // inside a Huffman-coded block
  DEFLATE64_END      // the final block ended
};

// One member being decoded (about 66 KB): keep it off small stacks.
struct deflate64_state {
  struct unpack_bits in;
  uint64_t left;  // bytes still to give
  uint64_t done;  // bytes given: where the next goes in the window
  enum deflate64_stage stage;
  int final;                  // the current block is the last
  unsigned stored_left;       // bytes of the stored block not yet given
  unsigned copy_left, copy_dist;  // a back-reference not yet given in full
  struct deflate64_code literals, distances;
  uint8_t window[DEFLATE64_WINDOW];
  const char *error;
};

// Starts decoding one member: its compressed bytes come from pull(source, ...);
// it decompresses to size bytes (the size the archive states), fewer when
// the final block ends before.
void deflate64_init(struct deflate64_state *s, unpack_pull pull, void *source, uint64_t size);

// Up to count decompressed bytes into out: how many (0 once size bytes have
// been given or the final block ended), or -1 when the data is bad or the
// pull failed, with s->error saying why.  Bytes decoded before a fault are
// still given; the call after returns -1.  Never writes more than count
// bytes.
long deflate64_read(struct deflate64_state *s, uint8_t *out, size_t count);

#endif  // KIVOR_UNPACK_DEFLATE64_H_
