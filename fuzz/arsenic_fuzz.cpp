// The Arsenic decoder on any data, read in pieces (byte 0 is unused); see
// unpack_fuzz.h for the layout and what must hold.
#include "unpack/arsenic.h"
#include "unpack_fuzz.h"

static void init(arsenic_state *s, unpack_pull pull, void *source, uint64_t size, int) {
  arsenic_init(s, pull, source, size);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return fuzz_decoder<arsenic_state>(data, size, init, arsenic_read);
}
