// StuffIt's Arsenic decoding: not written yet, every member refused.
#include "unpack/arsenic.h"

void arsenic_init(struct arsenic_state *s, unpack_pull, void *, uint64_t) {
  s->error = "a compression method KIVOR lacks, not searched";
}

long arsenic_read(struct arsenic_state *s, uint8_t *, size_t) {
  return s->error != NULL ? -1 : 0;
}
