// Mac Roman names of any bytes into buffers of any size: what must hold is
// that nothing is written past the buffer, that a name that does not fit
// says so and leaves "", and that one that fits ends where its length
// says, holds no '/' (which would read as a folder separator) and grows at
// most threefold.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "fuzz_check.h"
#include "unpack/macroman.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1)
    return 0;
  size_t room = data[0];  // the buffer's size, 0 to 255
  static char out[256 + 1];
  out[room] = '\x7F';  // a guard just past the buffer
  long len = macroman_to_utf8(data + 1, size - 1, out, room);
  FUZZ_CHECK(out[room] == '\x7F' || room == 0);
  if (len < 0) {
    FUZZ_CHECK(room == 0 || out[0] == '\0');
    return 0;
  }
  FUZZ_CHECK((size_t)len < room && out[len] == '\0');  // control bytes, NUL too, are kept
  FUZZ_CHECK((size_t)len <= (size - 1) * MACROMAN_UTF8_MAX && memchr(out, '/', (size_t)len) == NULL);
  return 0;
}
