// libFuzzer target for the confirming routine (-c): packet chains and ASCII
// armour, with the bytes taken as a whole file and as a prefix of one.
// Built by fuzz/CMakeLists.txt; scripts/fuzz runs it.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "detect/confirm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static uint8_t *scratch = (uint8_t *)malloc(CONFIRM_SCRATCH);
  if (size > CONFIRM_READ_MAX)
    return 0;
  // A copy of the exact size: a read past it is caught.
  uint8_t *bytes = (uint8_t *)malloc(size ? size : 1);
  if (size > 0)
    memcpy(bytes, data, size);
  bool wants_more;
  int kind = confirm_buffer(bytes, (long)size, false, scratch, CONFIRM_SCRATCH, &wants_more);
  if (kind < 0 || kind >= CONFIRM_KINDS)
    abort();
  confirm_buffer(bytes, (long)size, true, scratch, CONFIRM_SCRATCH, &wants_more);
  free(bytes);
  return 0;
}
