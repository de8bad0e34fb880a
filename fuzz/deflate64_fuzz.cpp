// The Deflate64 decoder on any data, read in pieces (byte 0 unused but for
// its top bit); see unpack_fuzz.h for the layout and what must hold.  The
// final block may end before the stated size.
#include "unpack/deflate64.h"
#include "unpack_fuzz.h"

static void init(deflate64_state *s, unpack_pull pull, void *source, uint64_t size, int) {
  deflate64_init(s, pull, source, size);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return fuzz_decoder<deflate64_state>(data, size, init, deflate64_read, true);
}
