// Text output: the console shows code page 437 bytes as they are, so every
// byte, the banner's box bytes included, is written unchanged.
#include "platform/platform.h"

const char *plat_cp437_text(unsigned char) {
  return NULL;
}

int plat_names_utf8(void) {
  return 0;
}
