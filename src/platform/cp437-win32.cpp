// Text output: the console shows code page 437 bytes as they are, so every
// byte, the banner's box bytes included, is written unchanged; members'
// names in the OEM code page, as the walk's.
#include "platform/platform.h"

#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

const char *plat_cp437_text(unsigned char) {
  return NULL;
}

int plat_names_utf8(void) {
  return 0;
}

// Wide to the OEM code page, '?' for what it lacks (never a look-alike:
// no best fit).  A C1 control character becomes DEL, a control byte still,
// which the examination shows as '?' and calls unsafe, as it does C0 ones.
static bool wide_to_oem(const wchar_t *name, int len, char *out, size_t size) {
  static wchar_t kept[4 * PLAT_PATH_MAX];  // names are shown from one thread
  if (size == 0 || size > (size_t)INT_MAX || (size_t)len > sizeof kept / sizeof kept[0])
    return false;
  for (int i = 0; i < len; i++)
    kept[i] = name[i] >= 0x80 && name[i] <= 0x9F ? (wchar_t)0x7F : name[i];
  int n = len == 0 ? 0
                   : WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, kept, len, out, (int)size - 1,
                                         "?", NULL);
  if (len != 0 && n == 0)
    return false;
  out[n] = '\0';
  return true;
}

bool plat_member_name_from_wide(const wchar_t *name, char *out, size_t size) {
  return wide_to_oem(name, (int)wcslen(name), out, size);
}

bool plat_member_name_from_utf8(const char *utf8, char *out, size_t size) {
  static wchar_t wide[4 * PLAT_PATH_MAX];  // names are shown from one thread
  size_t n = strlen(utf8);
  if (n >= sizeof wide / sizeof wide[0])
    return false;
  int len = n == 0 ? 0 : MultiByteToWideChar(CP_UTF8, 0, utf8, (int)n, wide, (int)(sizeof wide / sizeof wide[0]));
  if (n != 0 && len == 0)
    return false;
  return wide_to_oem(wide, len, out, size);
}

void plat_archive_names_begin(void) {}

void plat_archive_names_end(void) {}

const char *plat_dos_names_charset(void) {
  static char charset[16];
  if (charset[0] == '\0')
    snprintf(charset, sizeof charset, "CP%u", GetOEMCP());
  return charset;
}
