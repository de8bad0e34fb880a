// The signatures of containers that are recognised, not read.
#include "unpack/known.h"

#include <string.h>

// ARC (and PAK, which extends it): 0x1A, a method from 1 to 11, then a
// 13-byte name of printable characters ending in NUL.
static bool arc_header(const unsigned char *b, long n) {
  if (n < 29 || b[0] != 0x1A || b[1] < 1 || b[1] > 11)
    return false;
  int len = 0;
  while (len < 13 && b[2 + len] != 0) {
    if (b[2 + len] < 0x21 || b[2 + len] > 0x7E)
      return false;
    len++;
  }
  return len > 0 && len < 13;
}

const char *unpack_known_unread(const unsigned char *b, long n) {
  static const struct {
    const char *name;
    long at;
    const char *magic;
    long len;
  } known[] = {
      {"StuffIt", 0, "SIT!", 4},
      {"StuffIt", 0, "StuffIt (c)1997", 15},
      {"ZOO", 20, "\xDC\xA7\xC4\xFD", 4},
      {"HPack", 0, "HPAK", 4},
      {"UC2", 0, "UC2\x1A", 4},
      {"InstallShield cabinet", 0, "ISc(", 4},
  };
  for (const auto &k : known)
    if (n >= k.at + k.len && memcmp(b + k.at, k.magic, (size_t)k.len) == 0)
      return k.name;
  return arc_header(b, n) ? "ARC" : NULL;
}
