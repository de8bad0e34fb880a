// StuffIt's method 2 decoder on any data, read in pieces (the method byte
// is not used); see unpack_fuzz.h for the layout and what must hold.
#include "unpack/sit_lzw.h"
#include "unpack_fuzz.h"

static void init(sit_lzw_state *s, unpack_pull pull, void *source, uint64_t size,
                 int /* unused */) {
  sit_lzw_init(s, pull, source, size);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return fuzz_decoder<sit_lzw_state>(data, size, init, sit_lzw_read);
}
