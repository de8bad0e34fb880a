// Text output: the console shows code page 437 bytes as they are, so every
// byte, the banner's box bytes included, is written unchanged; members'
// names in the OEM code page, or in UTF-8 where the console's code page is
// UTF-8 (wide-win32.h).
#include "platform/platform.h"

#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

#include "platform/wide-win32.h"

const char *plat_cp437_text(unsigned char) {
  return NULL;
}

// Names are written in UTF-8 where the console's code page is UTF-8: their
// widths then count characters.
int plat_names_utf8(void) {
  return shown_code_page(true) == CP_UTF8;
}

bool plat_member_name_from_wide(const wchar_t *name, char *out, size_t size) {
  static wchar_t kept[4 * PLAT_PATH_MAX];  // names are shown from one thread
  size_t len = wcslen(name);
  if (len >= sizeof kept / sizeof kept[0])
    return false;
  memcpy(kept, name, len * sizeof *kept);
  return wide_to_code_page(shown_code_page(true), kept, len, out, size);
}

bool plat_member_name_from_utf8(const char *utf8, char *out, size_t size) {
  static wchar_t wide[4 * PLAT_PATH_MAX];  // names are shown from one thread
  long len = wide_from_utf8(utf8, wide, sizeof wide / sizeof wide[0]);
  return len >= 0 && wide_to_code_page(shown_code_page(true), wide, (size_t)len, out, size);
}

void plat_archive_names_begin(void) {}

void plat_archive_names_end(void) {}

const char *plat_dos_names_charset(void) {
  static char charset[16];
  if (charset[0] == '\0')
    snprintf(charset, sizeof charset, "CP%u", GetOEMCP());
  return charset;
}
