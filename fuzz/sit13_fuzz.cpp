// StuffIt's method 13 decoder on any data, read in pieces (the method byte
// is not used); see unpack_fuzz.h for the layout and what must hold.
#include "unpack/sit13.h"
#include "unpack_fuzz.h"

static void init(sit13_state *s, unpack_pull pull, void *source, uint64_t size, int /* unused */) {
  sit13_init(s, pull, source, size);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return fuzz_decoder<sit13_state>(data, size, init, sit13_read);
}
