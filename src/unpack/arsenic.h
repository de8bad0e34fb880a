// StuffIt's method 15 ("Arsenic"): blocks sorted with the Burrows-Wheeler
// transform, then move-to-front and run coding, coded with an adaptive
// arithmetic coder.
#ifndef KIVOR_UNPACK_ARSENIC_H_
#define KIVOR_UNPACK_ARSENIC_H_

#include "unpack/source.h"

// One member being decoded.  Large: a reader allocates it once, when it
// first meets the method.
struct arsenic_state {
  const char *error;
};

// Starts decoding one member: its compressed bytes come from pull(source,
// ...); it decompresses to exactly size bytes (the size the archive states).
void arsenic_init(struct arsenic_state *s, unpack_pull pull, void *source, uint64_t size);

// Up to count decompressed bytes into out: how many (0 once size bytes have
// been given), or -1 when the data is bad or the pull failed, with s->error
// saying why.  Bytes decoded before a fault are still given; the call after
// returns -1.  Never writes more than count bytes.
long arsenic_read(struct arsenic_state *s, uint8_t *out, size_t count);

#endif  // KIVOR_UNPACK_ARSENIC_H_
