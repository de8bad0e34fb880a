// The reduce decoder on any data, read in pieces (byte 0 chooses the method, 2 to 5); see
// unpack_fuzz.h for the layout and what must hold.
#include "unpack/reduce.h"
#include "unpack_fuzz.h"

static void init(reduce_state *s, unpack_pull pull, void *source, uint64_t size, int method) {
  reduce_init(s, pull, source, size, 2 + method % 4);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return fuzz_decoder<reduce_state>(data, size, init, reduce_read);
}
