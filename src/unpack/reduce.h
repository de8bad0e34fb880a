// ZIP methods 2 to 5 ("reduced" with compression factor 1 to 4): bytes are
// first coded against follower sets (for each byte value, up to 32 bytes
// likely to come next, given at the start of the data), and those bytes
// then carry a run-length and back-reference code led by byte 144.
//
// A back-reference to before the start of the output copies zeros: the
// window starts zero-filled, as the format's compressors assume.
#ifndef KIVOR_UNPACK_REDUCE_H_
#define KIVOR_UNPACK_REDUCE_H_

#include "unpack/source.h"

enum { REDUCE_WINDOW = 4096 };

// One member being decoded (about 13 KB).
struct reduce_state {
  struct unpack_bits in;
  uint64_t left;  // bytes still to give
  uint64_t done;  // bytes given: where the next goes in the window
  int factor;     // 1 to 4, or 0 for a method that is none of 2 to 5
  int sets_read;
  uint8_t followers[256][32];
  uint8_t nfollow[256];
  unsigned last;   // the byte before, which chooses the follower set
  int step;        // where the back-reference code is: 0 none, 1 after 144,
                   // 2 waiting for the length byte, 3 for the distance byte
  unsigned first;  // the byte after 144
  unsigned length;
  unsigned copy_left, copy_dist;
  uint8_t window[REDUCE_WINDOW];
  const char *error;
};

// Starts decoding one member: its compressed bytes come from pull(source, ...);
// it decompresses to exactly size bytes (the size the archive states).
// method is the ZIP method, 2 to 5; any other fails the first read.
void reduce_init(struct reduce_state *s, unpack_pull pull, void *source, uint64_t size,
                 int method);

// Up to count decompressed bytes into out: how many (0 once size bytes have
// been given), or -1 when the data is bad or the pull failed, with s->error
// saying why.  Bytes decoded before a fault are still given; the call after
// returns -1.  Never writes more than count bytes.
long reduce_read(struct reduce_state *s, uint8_t *out, size_t count);

#endif  // KIVOR_UNPACK_REDUCE_H_
