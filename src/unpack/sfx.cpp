// Finding the archive after a self-extractor's program.
#include "unpack/sfx.h"

#include <string.h>

#include "unpack/arj.h"
#include "unpack/source.h"

enum {
  PADDING = 64,  // how far after the program an archive may begin
};

bool sfx_windows_program(const uint8_t *b, long n) {
  if (n < 64 || b[0] != 'M' || b[1] != 'Z')
    return false;
  uint32_t pe = unpack_get32(b + 0x3C);
  return pe >= 64 && (int64_t)pe + 24 <= n && memcmp(b + pe, "PE\0\0", 4) == 0;
}

int64_t sfx_overlay(const uint8_t *b, long n, int64_t size) {
  if (n < 64 || b[0] != 'M' || b[1] != 'Z')
    return -1;
  unsigned last = unpack_get16(b + 2), pages = unpack_get16(b + 4);
  int64_t end = pages == 0 ? 0 : (int64_t)(pages - (last != 0)) * 512 + last;
  uint32_t pe = unpack_get32(b + 0x3C);
  if (sfx_windows_program(b, n)) {
    unsigned sections = unpack_get16(b + pe + 6), optional = unpack_get16(b + pe + 20);
    int64_t table = (int64_t)pe + 24 + optional;
    if (table + 40 * (int64_t)sections > n)
      return -1;  // a section table past the bytes read: not looked into
    end = 0;
    for (unsigned i = 0; i < sections; i++) {
      const uint8_t *s = b + table + 40 * i;
      int64_t raw_end = (int64_t)unpack_get32(s + 20) + unpack_get32(s + 16);
      if (unpack_get32(s + 16) != 0 && raw_end > end)
        end = raw_end;
    }
  }
  return end > 0 && end < size ? end : -1;
}

bool sfx_archive_at(const uint8_t *b, long n) {
  long reach = n < (long)PADDING ? n : (long)PADDING;
  for (long i = 0; i < reach; i++) {
    const uint8_t *p = b + i;
    long left = n - i;
    if (left >= 7 && p[2] == '-' && p[3] == 'l' && (p[4] == 'h' || p[4] == 'z') && p[6] == '-')
      return true;  // lha: a header's size and sum, then its method
    switch (p[0]) {  // the first byte, so that most places cost one test
      case 'P':
        if (left >= 4 && memcmp(p, "PK\3\4", 4) == 0)
          return true;
        break;
      case 'M':
        if (left >= 4 && memcmp(p, "MSCF", 4) == 0)
          return true;
        break;
      case 'R':
        if (left >= 6 && memcmp(p, "Rar!\x1A\x07", 6) == 0)
          return true;
        break;
      case 0x60:
        if (left >= 2 && p[1] == 0xEA && arj_find(p, left) == 0)
          return true;
        break;
    }
  }
  return false;
}

bool sfx_carries_archive(const uint8_t *look, long looked, const uint8_t *tail) {
  return (looked > 0 && sfx_archive_at(look, looked)) || (tail != NULL && sfx_zip_end(tail, SFX_TAIL));
}

bool sfx_zip_end(const uint8_t *b, long n) {
  return n == SFX_TAIL && memcmp(b, "PK\5\6", 4) == 0 && unpack_get16(b + 20) == 0;
}
