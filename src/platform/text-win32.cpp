// Text output: the console shows code page 437 bytes as they are, so every
// byte, the banner's box bytes included, is written unchanged.
#include "platform/platform.h"

// Every byte as a string of its own (0 as "").
struct single_bytes {
  char text[256][2];
};

static constexpr single_bytes make_single_bytes() {
  single_bytes t{};
  for (int i = 0; i < 256; i++) {
    t.text[i][0] = (char)(unsigned char)i;
    t.text[i][1] = '\0';
  }
  return t;
}

static constexpr single_bytes singles = make_single_bytes();

const char *plat_cp437_text(unsigned char byte) {
  return singles.text[byte];
}
