// ZIP method 6 ("imploded"): back-references into a 4 KB or 8 KB window
// and literals, coded with Shannon-Fano trees given at the start of the
// data: one for lengths, one for distances, and one for literals when
// there are three (else a literal is 8 plain bits).
//
// A back-reference to before the start of the output copies zeros: the
// window starts zero-filled, as the format's compressors assume.  A tree
// whose codes are over-subscribed or leave codes unused is refused.
#ifndef KIVOR_UNPACK_IMPLODE_H_
#define KIVOR_UNPACK_IMPLODE_H_

#include "unpack/source.h"

enum {
  IMPLODE_WINDOW = 8192,
  IMPLODE_FLAG_8K = 2,     // general purpose flag bit 1: 8 KB window
  IMPLODE_FLAG_3TREES = 4  // general purpose flag bit 2: a literal tree
};

// A canonical code: how many codes of each length 1 to 16, and the symbols
// in code order.
struct implode_tree {
  uint16_t count[17];
  uint16_t symbol[256];
};

// One member being decoded (about 10 KB).
struct implode_state {
  struct unpack_bits in;
  uint64_t left;  // bytes still to give
  uint64_t done;  // bytes given: where the next goes in the window
  int window_8k, literal_tree;
  int trees_read;
  struct implode_tree literals, lengths, distances;
  unsigned copy_left, copy_dist;
  uint8_t window[IMPLODE_WINDOW];
  const char *error;
};

// Starts decoding one member: its compressed bytes come from pull(source, ...);
// it decompresses to exactly size bytes (the size the archive states).
// flags is the member's general purpose bit flag (bits 1 and 2 count).
void implode_init(struct implode_state *s, unpack_pull pull, void *source, uint64_t size,
                  unsigned flags);

// Up to count decompressed bytes into out: how many (0 once size bytes have
// been given), or -1 when the data is bad or the pull failed, with s->error
// saying why.  Bytes decoded before a fault are still given; the call after
// returns -1.  Never writes more than count bytes.
long implode_read(struct implode_state *s, uint8_t *out, size_t count);

#endif  // KIVOR_UNPACK_IMPLODE_H_
