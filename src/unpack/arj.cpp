// The ARJ container: the CRC, the search for the main header and the
// reading of one header.
#include "unpack/arj.h"

#include <string.h>

#include "unpack/source.h"

namespace {

struct crc_table {
  uint32_t t[256];
};

constexpr crc_table make_crc_table() {
  crc_table c{};
  for (uint32_t i = 0; i < 256; i++) {
    uint32_t r = i;
    for (int k = 0; k < 8; k++)
      r = (r & 1) != 0 ? (r >> 1) ^ 0xEDB88320u : r >> 1;
    c.t[i] = r;
  }
  return c;
}

constexpr crc_table kCrc = make_crc_table();

// Offsets in a basic header.
enum {
  FIRST_SIZE = 0,  // the fixed part's size, where the name starts
  HOST_OS = 3,
  FLAGS = 4,
  METHOD = 5,
  FILE_TYPE = 6,
  DOS_TIME = 8,
  COMPRESSED = 12,
  ORIGINAL = 16,
  CRC = 20,
  FIXED_MIN = 30,  // the fixed part is never shorter
};

// Copies the string at b (up to n bytes) to out, which holds n + 1; the
// length of the string with its NUL, or -1 when no NUL ends it in n bytes.
long take_string(const uint8_t *b, size_t n, char *out) {
  const void *nul = memchr(b, 0, n);
  if (nul == NULL)
    return -1;
  size_t len = (size_t)((const uint8_t *)nul - b);
  memcpy(out, b, len);
  out[len] = '\0';
  return (long)len + 1;
}

}  // namespace

uint32_t arj_crc32(uint32_t crc, const uint8_t *b, size_t n) {
  crc = ~crc;
  for (size_t i = 0; i < n; i++)
    crc = kCrc.t[(crc ^ b[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

long arj_find(const uint8_t *b, long n) {
  for (long i = 0; i + ARJ_PREFIX <= n; i++) {
    if (b[i] != 0x60 || b[i + 1] != 0xEA)
      continue;
    long size = (long)unpack_get16(b + i + 2);
    if (size == 0 || size > ARJ_BASIC_MAX || size + 4 > n - i - ARJ_PREFIX)
      continue;
    const uint8_t *basic = b + i + ARJ_PREFIX;
    if (arj_crc32(0, basic, (size_t)size) == unpack_get32(basic + size))
      return i;
  }
  return -1;
}

long arj_header_length(const uint8_t *b) {
  if (b[0] != 0x60 || b[1] != 0xEA)
    return -1;
  long size = (long)unpack_get16(b + 2);
  if (size > ARJ_BASIC_MAX)
    return -1;
  return size == 0 ? (long)ARJ_PREFIX : ARJ_PREFIX + size + 4;
}

const char *arj_header_parse(const uint8_t *b, size_t n, struct arj_header *h) {
  memset(h, 0, sizeof *h);
  if (n < ARJ_PREFIX)
    return "truncated header";
  if (b[0] != 0x60 || b[1] != 0xEA)
    return "no header id";
  size_t size = unpack_get16(b + 2);
  if (size == 0) {
    h->end = true;
    return NULL;
  }
  if (size > ARJ_BASIC_MAX)
    return "header size over 2600";
  if (n < ARJ_PREFIX + size + 4)
    return "truncated header";
  const uint8_t *p = b + ARJ_PREFIX;
  if (arj_crc32(0, p, size) != unpack_get32(p + size))
    return "header CRC mismatch";
  size_t fixed = p[FIRST_SIZE];
  if (fixed < FIXED_MIN || fixed >= size)
    return "bad header layout";
  long name = take_string(p + fixed, size - fixed, h->name);
  if (name < 0)
    return "bad header layout";
  // The comment's NUL is written too; a header cut right after the name
  // still reads, with the comment running to its end.
  size_t at = fixed + (size_t)name, left = size - at;
  if (take_string(p + at, left, h->comment) < 0) {
    memcpy(h->comment, p + at, left);
    h->comment[left] = '\0';
  }
  h->host_os = p[HOST_OS];
  h->flags = p[FLAGS];
  h->method = p[METHOD];
  h->file_type = p[FILE_TYPE];
  h->dos_time = unpack_get32(p + DOS_TIME);
  h->compressed_size = unpack_get32(p + COMPRESSED);
  h->original_size = unpack_get32(p + ORIGINAL);
  h->crc32 = unpack_get32(p + CRC);
  return NULL;
}

long arj_extended_skip(const uint8_t *b) {
  long size = (long)unpack_get16(b);
  return size == 0 ? 0 : size + 4;
}
