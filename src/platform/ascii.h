// ASCII case folding that never depends on the C library's locale: only the
// 26 letters fold, so bytes of 8-bit code pages compare as they are.
#ifndef KIVOR_PLATFORM_ASCII_H_
#define KIVOR_PLATFORM_ASCII_H_

// c with an ASCII lower-case letter made upper-case; every other byte as it is.
inline unsigned char ascii_upper(unsigned char c) {
  return c >= 'a' && c <= 'z' ? (unsigned char)(c - 'a' + 'A') : c;
}

// True when text equals upper (which is upper case) with ASCII letter case
// ignored: ".com" and ".COM" are equal.
inline bool ascii_equal_upper(const char *text, const char *upper) {
  for (; *upper != '\0'; text++, upper++)
    if (ascii_upper((unsigned char)*text) != (unsigned char)*upper)
      return false;
  return *text == '\0';
}

#endif  // KIVOR_PLATFORM_ASCII_H_
