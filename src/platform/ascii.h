// ASCII case folding that never depends on the C library's locale: only the
// 26 letters fold, so bytes of 8-bit code pages compare as they are.
#ifndef KIVOR_PLATFORM_ASCII_H_
#define KIVOR_PLATFORM_ASCII_H_

// c with an ASCII lower-case letter made upper-case; every other byte as it is.
inline unsigned char ascii_upper(unsigned char c) {
  return c >= 'a' && c <= 'z' ? (unsigned char)(c - 'a' + 'A') : c;
}

#endif  // KIVOR_PLATFORM_ASCII_H_
