// The implode decoder on any data, read in pieces (byte 0 gives the general purpose flags (bits 1 and 2)); see
// unpack_fuzz.h for the layout and what must hold.
#include "unpack/implode.h"
#include "unpack_fuzz.h"

static void init(implode_state *s, unpack_pull pull, void *source, uint64_t size, int flags) {
  implode_init(s, pull, source, size, (unsigned)flags);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return fuzz_decoder<implode_state>(data, size, init, implode_read);
}
