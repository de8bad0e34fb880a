// Writing one character in UTF-8, for the backends that make UTF-8 names.
#ifndef KIVOR_PLATFORM_UTF8_H_
#define KIVOR_PLATFORM_UTF8_H_

#include <stddef.h>
#include <stdint.h>

// The UTF-8 bytes of code c (at most U+10FFFF; a surrogate code is written
// as any other) into b; returns their count, 1 to 4.
inline size_t utf8_put(uint32_t c, char b[4]) {
  size_t k = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  if (k == 1) {
    b[0] = (char)c;
    return 1;
  }
  for (size_t i = k - 1; i > 0; i--, c >>= 6)
    b[i] = (char)(0x80 | (c & 0x3F));
  b[0] = (char)((k == 2 ? 0xC0 : k == 3 ? 0xE0 : 0xF0) | c);
  return k;
}

#endif  // KIVOR_PLATFORM_UTF8_H_
