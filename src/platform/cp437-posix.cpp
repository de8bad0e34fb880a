// Text output: how the banner's code page 437 bytes reach a UTF-8 terminal,
// and whether names go to one.
#include "platform/platform.h"

#include <langinfo.h>
#include <locale.h>
#include <stdio.h>
#include <string.h>

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
