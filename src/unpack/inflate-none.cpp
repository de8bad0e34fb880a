// Deflated members in a build without zlib: none can be read.
#include "unpack/inflate.h"

void inflate_member_init(struct inflate_state *s, unpack_pull, void *, uint64_t) {
  s->error = "no deflate decoder in this build";
}

long inflate_member_read(struct inflate_state *, uint8_t *, size_t) {
  return -1;
}
