// Deflated ZIP members (method 8), for the ZIP reader of pkzip.cpp: zlib's
// raw inflate, in the shape of the other decoders of src/unpack.
#ifndef KIVOR_UNPACK_INFLATE_H_
#define KIVOR_UNPACK_INFLATE_H_

#include "unpack/source.h"

enum { INFLATE_INPUT = 4096 };

struct inflate_state {
  unpack_pull pull;
  void *source;
  uint64_t left;               // bytes still to give
  void *stream;                // the library's state (inflate.cpp's own memory)
  uint8_t in[INFLATE_INPUT];
  const char *error;
};

// Starts decoding one member: its compressed bytes come from pull(source,
// ...); it decompresses to exactly size bytes.  Ends what the state decoded
// before.
void inflate_member_init(struct inflate_state *s, unpack_pull pull, void *source, uint64_t size);

// Up to count decompressed bytes into out: how many (0 once size bytes have
// been given or the stream ended), or -1 when the data is bad or the pull
// failed, with s->error saying why.
long inflate_member_read(struct inflate_state *s, uint8_t *out, size_t count);

#endif  // KIVOR_UNPACK_INFLATE_H_
