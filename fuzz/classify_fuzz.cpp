// classify_bytes on any bytes: it must read only the n bytes given (the
// input is libFuzzer's own exact-size buffer, so ASan sees any byte more),
// name only kinds of the table, and find the armour exactly where a search
// up to the first zero byte finds it.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "detect/classify.h"
#include "fuzz_check.h"

static bool known_kind(const char *kind) {
  if (strcmp(kind, "possible ascii armor") == 0 || strcmp(kind, "ascii armored key") == 0)
    return true;
  for (int i = 0; i < KIND_SLOTS; i++)
    if (kind == g_packet_kinds[i])
      return i != 0 && i != 4 && i != 7 && i != 10 && i != 14;
  return false;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  struct file_class c = classify_bytes(data, (long)size);
  FUZZ_CHECK(c.suffix != NULL);
  if (size < 10) {
    FUZZ_CHECK(c.kind == NULL);
    return 0;
  }
  FUZZ_CHECK(c.kind == NULL || known_kind(c.kind));
  if (data[0] < 0x80) {  // the text branch, against strstr on a terminated copy
    std::string text((const char *)data, size);
    const char *t = text.c_str();
    const char *want = strstr(t, "--BEGIN PGP MESSAGE--") ? "possible ascii armor"
                       : strstr(t, "KEY BLOCK")           ? "ascii armored key"
                                                          : NULL;
    FUZZ_CHECK(want == NULL ? c.kind == NULL : c.kind != NULL && strcmp(c.kind, want) == 0);
  }
  return 0;
}
