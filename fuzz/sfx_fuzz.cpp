// The self-extractor tests on any bytes, taken as the start of a program of
// several sizes.  What must hold: an overlay lies inside the file, after
// the MZ header; the archive and end-record tests read within their bytes.
#include <stddef.h>
#include <stdint.h>

#include "fuzz_check.h"
#include "unpack/sfx.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  long n = (long)size;
  const int64_t files[] = {(int64_t)size, (int64_t)size + 1, (int64_t)1 << 32};
  for (int64_t file : files) {
    int64_t at = sfx_overlay(data, n, file);
    FUZZ_CHECK(at == -1 || (at > 0 && at < file));
  }
  sfx_archive_at(data, n);
  if (n >= SFX_TAIL)
    sfx_zip_end(data + n - SFX_TAIL, SFX_TAIL);
  return 0;
}
