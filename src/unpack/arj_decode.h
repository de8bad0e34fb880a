// Decoders of ARJ members: methods 1 to 3 (LZ77 over a 26,624-byte window,
// in blocks of static Huffman codes), method 4 (LZ77 with unary-prefixed
// lengths and distances) and method 0 (stored), decoding a member a piece
// at a time.  Pure: compressed bytes in through a pull routine,
// decompressed bytes out, all in the caller's state record (no allocation).
#ifndef KIVOR_UNPACK_ARJ_DECODE_H_
#define KIVOR_UNPACK_ARJ_DECODE_H_

#include <stddef.h>
#include <stdint.h>

#include "unpack/source.h"

enum {
  ARJ_WINDOW = 1 << 16,  // past bytes kept: all a distance can reach
  ARJ_INPUT = 4096,      // compressed bytes pulled at a time
  ARJ_NC = 510,          // literals and lengths of methods 1 to 3
  ARJ_NPT = 19,          // the larger of the code-length and distance codes
};

// A canonical Huffman code: how many codes each length has, the symbols in
// code order, or a single symbol that takes no bits.
struct arj_code {
  int single;  // the one symbol, or -1
  uint16_t count[17];
  uint16_t symbol[ARJ_NC];
};

struct arj_state {
  int method;
  unpack_pull pull;
  void *source;
  uint64_t left;  // decompressed bytes still to give
  uint64_t done;  // decompressed bytes given so far

  uint8_t in[ARJ_INPUT];
  size_t in_pos, in_len;
  bool in_end;          // the source has said it has no more
  uint32_t bits;        // the low nbits bits are the next ones, first first
  int nbits;
  uint32_t pad_bytes;   // zero bytes made up past the end of the source

  uint32_t block_left;  // symbols left in the current block (methods 1-3)
  struct arj_code literal, position, lengths;
  uint32_t copy_left, copy_distance;  // a match still being copied

  uint8_t window[ARJ_WINDOW];
  const char *error;  // why decoding stopped, or NULL
};

// Starts decoding one member with method 0 to 4; its compressed bytes come
// from pull(source, ...); it decompresses to exactly size bytes.  An
// unknown method makes the first read fail ("unknown method").
void arj_decode_init(struct arj_state *s, int method, unpack_pull pull, void *source,
                     uint64_t size);

// Puts up to count decompressed bytes into out: returns how many (0 once
// size bytes have been given), or -1 when the data is bad or the pull
// failed, s->error saying why: "unknown method", "read failed", "truncated
// data", "bad code table", "empty block", "back-reference before the
// start".  The bytes decoded before an error are given first, the error on
// the next call; after -1 every later call gives -1 again.  Never writes
// more than count bytes, never reads past its own buffers, always ends.
long arj_decode_read(struct arj_state *s, uint8_t *out, size_t count);

#endif  // KIVOR_UNPACK_ARJ_DECODE_H_
