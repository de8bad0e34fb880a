// Both shortening styles on any name and width: the input is a 32-bit
// width, then the name (up to its first zero byte, at most a full path).
// What must hold is what a hit line relies on: a name that fits, or a width
// too small to shorten, comes back unchanged; a shortened name keeps its
// start and ends with the name's own tail.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "fuzz_check.h"
#include "log/shorten.h"
#include "run/globals.h"

// True when s ends with the last strlen(s) - skip bytes of name.
static bool ends_with_tail_of(const char *s, size_t skip, const char *name) {
  size_t sl = strlen(s), nl = strlen(name);
  return sl >= skip && sl - skip <= nl && memcmp(s + skip, name + nl - (sl - skip), sl - skip) == 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 4)
    return 0;
  int32_t width;
  memcpy(&width, data, 4);
  std::string name((const char *)data + 4, strnlen((const char *)data + 4, size - 4));
  if (name.size() >= PATH_BUF)
    name.resize(PATH_BUF - 1);
  const char *n = name.c_str();
  long len = (long)name.size();

  const char *p = shorten_name_prefix(n, width);
  FUZZ_CHECK(p != NULL);
  if (width >= len || width < 8) {
    FUZZ_CHECK(strcmp(p, n) == 0);
  } else {
    FUZZ_CHECK(strncmp(p, n, 2) == 0 && p[2] == PLAT_SEP && strncmp(p + 3, "...", 3) == 0);
    FUZZ_CHECK(ends_with_tail_of(p, 6, n));
    const char *tail = p + 6;  // a tail that fits starts at a separator
    if (tail[0] == PLAT_SEP && (long)strlen(tail) <= width - 6)
      FUZZ_CHECK((long)strlen(p) <= width);
  }

  const char *m = shorten_name_middle(n, width);
  FUZZ_CHECK(m != NULL);
  if (width >= len || width < 11) {
    FUZZ_CHECK(m == n);
  } else {
    const char *last = strrchr(n, PLAT_SEP);
    long t = (long)strlen(last != NULL ? last : n);
    long k = width - 3 - t;
    FUZZ_CHECK(strncmp(m, n, k > 0 ? (size_t)k : 0) == 0);
    FUZZ_CHECK(ends_with_tail_of(m, strlen(m) - (size_t)t, n));
    if (k >= 0)
      FUZZ_CHECK((long)strlen(m) == width);
  }
  return 0;
}
