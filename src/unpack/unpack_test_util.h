// What the decoder tests share: a pull over bytes in memory, CRC-32, the
// members of a ZIP file walked by their local headers, and the samples.
#ifndef KIVOR_UNPACK_UNPACK_TEST_UTIL_H_
#define KIVOR_UNPACK_UNPACK_TEST_UTIL_H_

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "corpus.h"
#include "temp_tree.h"
#include "unpack/source.h"

// Bytes in memory, given at most chunk at a time; fail makes the pull fail.
struct mem_source {
  const uint8_t *p;
  size_t n, pos, chunk;
  bool fail;
};

inline long mem_pull(void *source, uint8_t *into, size_t count) {
  mem_source *m = static_cast<mem_source *>(source);
  if (m->fail)
    return -1;
  size_t k = m->n - m->pos;
  if (k > count)
    k = count;
  if (k > m->chunk)
    k = m->chunk;
  memcpy(into, m->p + m->pos, k);
  m->pos += k;
  return (long)k;
}

inline uint32_t crc32_of(const std::string &s) {
  uint32_t c = 0xffffffffu;
  for (unsigned char b : s) {
    c ^= b;
    for (int k = 0; k < 8; k++)
      c = (c >> 1) ^ (0xedb88320u & (0u - (c & 1)));
  }
  return ~c;
}

struct zip_member {
  std::string name;
  int method;
  unsigned flags;
  uint32_t crc;
  std::string data;  // the compressed bytes
  uint64_t size;     // uncompressed
};

inline unsigned le(const std::string &z, size_t at, int n) {
  unsigned v = 0;
  for (int i = n - 1; i >= 0; i--)
    v = v << 8 | (unsigned char)z[at + i];
  return v;
}

// The members of a ZIP file, by its local headers (no data descriptors).
inline std::vector<zip_member> zip_members(const std::string &z) {
  std::vector<zip_member> out;
  size_t at = 0;
  while (at + 30 <= z.size() && z.compare(at, 4, "PK\3\4") == 0) {
    zip_member m;
    m.flags = le(z, at + 6, 2);
    m.method = (int)le(z, at + 8, 2);
    m.crc = le(z, at + 14, 4);
    size_t csize = le(z, at + 18, 4), name = le(z, at + 26, 2), extra = le(z, at + 28, 2);
    m.size = le(z, at + 22, 4);
    m.name = z.substr(at + 30, name);
    m.data = z.substr(at + 30 + name + extra, csize);
    out.push_back(m);
    at += 30 + name + extra + csize;
  }
  return out;
}

// A sample archive's bytes, or "" when the corpus is not beside the checkout.
inline std::string corpus_archive(const char *name) {
  return read_file(corpus_root() + "/archives/" + name);
}

// Bits packed least significant first, as the decoders read them.
struct bit_writer {
  std::string out;
  uint32_t hold = 0;
  int held = 0;
  bit_writer &put(unsigned v, int n) {
    for (int i = 0; i < n; i++) {
      hold |= ((v >> i) & 1u) << held;
      if (++held == 8) {
        out += (char)hold;
        hold = 0;
        held = 0;
      }
    }
    return *this;
  }
  // A Shannon-Fano code as imploded data sends it: first bit first, inverted.
  bit_writer &code(unsigned c, int len) {
    for (int i = len - 1; i >= 0; i--)
      put(((c >> i) & 1u) ^ 1u, 1);
    return *this;
  }
  // A Huffman code as deflate sends it: first bit first.
  bit_writer &huff(unsigned c, int len) {
    for (int i = len - 1; i >= 0; i--)
      put((c >> i) & 1u, 1);
    return *this;
  }
  std::string bytes() const { return held > 0 ? out + (char)hold : out; }
};

// Decodes all of a member through read (X_read on a state set up by the
// caller), count bytes a call: the bytes, with *error the decoder's error
// when a call failed.
template <typename State, typename Read>
std::string read_all(State *s, Read read, size_t count, const char **error) {
  std::string out;
  std::vector<uint8_t> buf(count);
  *error = nullptr;
  for (int calls = 0; calls < 10000000; calls++) {
    long n = read(s, buf.data(), count);
    if (n < 0) {
      *error = s->error;
      break;
    }
    if (n == 0 || (size_t)n > count)
      break;
    out.append((const char *)buf.data(), (size_t)n);
  }
  return out;
}

#endif  // KIVOR_UNPACK_UNPACK_TEST_UTIL_H_
