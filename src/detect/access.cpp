// Opening, reading and finding candidates under the two interpretations of
// 8-bit file names.
#include "detect/access.h"

#include <string.h>

#include "run/globals.h"
#include "run/startup.h"

plat_handle open_for_reading(plat_dir dir, const char *path) {
  int was_ansi = plat_file_apis_are_ansi();
  if (!was_ansi)
    plat_set_file_apis_ansi();
  plat_handle h = plat_open_read_in(dir, path);
  if (h != PLAT_INVALID_HANDLE)
    return h;  // the mode stays ANSI
  plat_set_file_apis_oem();
  h = plat_open_read_in(dir, path);
  if (was_ansi)
    plat_set_file_apis_ansi();
  return h;
}

long read_bytes(plat_handle h, void *buffer, size_t count) {
  return plat_read(h, buffer, count);
}

bool find_by_wildcards(plat_dir dir, const char *path) {
  static char *pattern = NULL;  // WIDE_BUF, made on the first call
  if (pattern == NULL) {
    pattern = (char *)run_alloc(WIDE_BUF);
    if (pattern == NULL)
      return false;
  }
  size_t len = strlen(path);
  if (len >= WIDE_BUF)
    return false;
  for (size_t i = 0; i <= len; i++) {
    unsigned char c = (unsigned char)path[i];
    pattern[i] = c > 0x80 ? '?' : (char)c;
  }
  plat_set_file_apis_ansi();
  struct plat_find_data fd;
  struct plat_find *h = plat_find_in(dir, pattern, &fd);
  if (h == NULL)
    return false;
  plat_find_close(h);
  return true;
}
