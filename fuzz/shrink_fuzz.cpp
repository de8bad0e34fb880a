// The shrink decoder on any data, read in pieces (the method byte is not used); see
// unpack_fuzz.h for the layout and what must hold.
#include "unpack/shrink.h"
#include "unpack_fuzz.h"

static void init(shrink_state *s, unpack_pull pull, void *source, uint64_t size, int /* unused */) {
  shrink_init(s, pull, source, size);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return fuzz_decoder<shrink_state>(data, size, init, shrink_read);
}
