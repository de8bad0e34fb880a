// Text output: how the banner's code page 437 bytes reach a UTF-8 terminal,
// and whether names go to one; members' names as they are.
#include "platform/platform.h"

#include <langinfo.h>
#include <locale.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "platform/utf8.h"

// The box-drawing bytes and the check mark, with their UTF-8 forms.
static const struct {
  unsigned char byte;
  const char *utf8;
} box_chars[] = {
    {0xBA, "\xE2\x95\x91"},  // double vertical line
    {0xBB, "\xE2\x95\x97"},  // double top-right corner
    {0xBC, "\xE2\x95\x9D"},  // double bottom-right corner
    {0xC8, "\xE2\x95\x9A"},  // double bottom-left corner
    {0xC9, "\xE2\x95\x94"},  // double top-left corner
    {0xCD, "\xE2\x95\x90"},  // double horizontal line
    {0xFB, "\xE2\x88\x9A"},  // square root, the version's check mark
};

const char *plat_cp437_text(unsigned char byte) {
  for (const auto &c : box_chars)
    if (c.byte == byte)
      return c.utf8;
  return NULL;
}

int plat_names_utf8(void) {
  char kept[256];
  const char *now = setlocale(LC_CTYPE, NULL);
  snprintf(kept, sizeof kept, "%s", now != NULL ? now : "C");
  int utf8 = setlocale(LC_CTYPE, "") != NULL && strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
  setlocale(LC_CTYPE, kept);
  return utf8;
}

bool plat_member_name_from_utf8(const char *utf8, char *out, size_t size) {
  size_t n = strlen(utf8);
  if (n >= size)
    return false;
  memcpy(out, utf8, n + 1);
  return true;
}

bool plat_member_name_from_wide(const wchar_t *name, char *out, size_t size) {
  size_t len = 0;
  for (; *name != 0; name++) {
    uint32_t c = (uint32_t)*name;
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
      c = '?';
    char b[4];
    size_t k = utf8_put(c, b);
    if (len + k >= size)
      return false;
    memcpy(out + len, b, k);
    len += k;
  }
  if (size == 0)
    return false;
  out[len] = '\0';
  return true;
}

// The thread's locale while an archive library converts names; one is made
// on first use and kept.
static locale_t utf8_locale;
static thread_local locale_t before;

void plat_archive_names_begin(void) {
  if (utf8_locale == (locale_t)0)
    utf8_locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", (locale_t)0);
  before = utf8_locale != (locale_t)0 ? uselocale(utf8_locale) : (locale_t)0;
}

void plat_archive_names_end(void) {
  if (before != (locale_t)0)
    uselocale(before);
  before = (locale_t)0;
}

const char *plat_dos_names_charset(void) {
  return NULL;
}
