// The ARJ reader on any bytes.  The whole input is searched for a main
// header and read as a header; then it is decoded as a member: byte 0
// picks the method (0 to 4), bytes 1 to 3 the size (up to 1 MiB), byte 4
// the read size, the rest are the compressed bytes.  What must hold: a
// found header has a good CRC; a decoder never gives more than it is asked
// for nor more than the size, and gives the same bytes and the same error
// whatever the read and pull sizes.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <memory>
#include <string>

#include "fuzz_check.h"
#include "unpack/arj.h"
#include "unpack/arj_decode.h"

namespace {

struct memory {
  const uint8_t *p;
  size_t n;
  size_t chunk;
};

long pull_memory(void *source, uint8_t *into, size_t count) {
  memory *m = (memory *)source;
  size_t k = count < m->n ? count : m->n;
  if (k > m->chunk)
    k = m->chunk;
  memcpy(into, m->p, k);
  m->p += k;
  m->n -= k;
  return (long)k;
}

// Decodes it all, count bytes a read into a buffer of exactly that size
// and chunk bytes a pull: the bytes, then the error if any.
std::string decode(arj_state *s, int method, const uint8_t *b, size_t n, uint64_t size,
                   size_t count, size_t chunk) {
  memory m = {b, n, chunk};
  arj_decode_init(s, method, pull_memory, &m, size);
  std::unique_ptr<uint8_t[]> out(new uint8_t[count]);
  std::string all;
  long got;
  while ((got = arj_decode_read(s, out.get(), count)) > 0) {
    FUZZ_CHECK((size_t)got <= count);
    all.append((const char *)out.get(), (size_t)got);
    FUZZ_CHECK(all.size() <= size);
  }
  if (got < 0) {
    FUZZ_CHECK(s->error != NULL);
    FUZZ_CHECK(arj_decode_read(s, out.get(), count) == -1);
    return all + "\nerror: " + s->error;
  }
  FUZZ_CHECK(all.size() == size);
  return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  long at = arj_find(data, (long)size);
  FUZZ_CHECK(at >= -1 && at < (long)size);
  arj_header h;
  if (at >= 0) {
    const char *why = arj_header_parse(data + at, size - (size_t)at, &h);
    FUZZ_CHECK(why == NULL || strcmp(why, "bad header layout") == 0);
  }
  if (arj_header_parse(data, size, &h) == NULL && !h.end) {
    FUZZ_CHECK(arj_header_length(data) > ARJ_PREFIX && (size_t)arj_header_length(data) <= size);
    FUZZ_CHECK(strlen(h.name) + strlen(h.comment) < ARJ_BASIC_MAX);
  }

  if (size < 5)
    return 0;
  static arj_state s;
  int method = data[0] % 5;
  uint64_t out_size = (data[1] | data[2] << 8 | (uint32_t)data[3] << 16) & 0xFFFFF;
  size_t count = 1 + data[4] * 37u;
  std::string a = decode(&s, method, data + 5, size - 5, out_size, count, 4096);
  std::string b = decode(&s, method, data + 5, size - 5, out_size, 4096, 1 + data[4] % 7);
  FUZZ_CHECK(a == b);
  return 0;
}
