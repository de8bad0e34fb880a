// libFuzzer target for the material routine: packet chains and ASCII armour
// read into the record, with a scratch of full size and one too small.
// Built by fuzz/CMakeLists.txt; scripts/fuzz runs it.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "detect/confirm.h"
#include "detect/material.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static uint8_t *scratch = (uint8_t *)malloc(CONFIRM_SCRATCH);
  static material m;
  if (size > CONFIRM_READ_MAX)
    return 0;
  // A copy of the exact size: a read past it is caught.
  uint8_t *bytes = (uint8_t *)malloc(size ? size : 1);
  if (size > 0)
    memcpy(bytes, data, size);
  read_material(bytes, (long)size, scratch, CONFIRM_SCRATCH, &m, NULL);
  if (m.key_count > MATERIAL_KEYS_MAX || m.signature_count > MATERIAL_SIGNATURES_MAX ||
      m.recipient_count > MATERIAL_RECIPIENTS_MAX)
    abort();
  for (int i = 0; i < m.key_count; i++)
    if (m.keys[i].user_id_count > MATERIAL_USER_IDS_MAX)
      abort();
  uint8_t small[16];
  read_material(bytes, (long)size, small, sizeof small, &m, NULL);
  free(bytes);
  return 0;
}
