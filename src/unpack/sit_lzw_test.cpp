// StuffIt's method 2, from hand-made codes and a small encoder of the same
// coding (codes in groups of eight, padded where the width grows).
#include "unpack/sit_lzw.h"

#include <map>
#include <memory>

#include <gtest/gtest.h>

#include "unpack/unpack_test_util.h"

namespace {

// Codes of width bits, each group of eight padded to its end when the
// width changes or after a clear.
struct code_writer {
  bit_writer w;
  int width = 9, in_group = 0;
  code_writer &code(unsigned c) {
    w.put(c, width);
    in_group = (in_group + 1) % 8;
    return *this;
  }
  void pad() {
    for (; in_group != 0; in_group = (in_group + 1) % 8)
      w.put(0, width);
  }
};

// The encoder: greedy longest match, a table of up to 2^14 codes.
std::string encode(const std::string &in) {
  code_writer cw;
  std::map<std::string, unsigned> table;
  unsigned next = 257;
  std::string cur;
  for (unsigned char ch : in) {
    std::string longer = cur + (char)ch;
    if (cur.empty() || longer.size() == 1 || table.count(longer)) {
      cur = longer;
      continue;
    }
    cw.code(cur.size() == 1 ? (unsigned char)cur[0] : table[cur]);
    if (next < (1u << 14))
      table[longer] = next++;
    // The decoder defines its codes one behind: it widens when its next
    // code reaches 2^width, that is when ours is one beyond.
    if (cw.width < 14 && next > (1u << cw.width)) {
      cw.pad();
      cw.width++;
    }
    cur = std::string(1, (char)ch);
  }
  if (!cur.empty())
    cw.code(cur.size() == 1 ? (unsigned char)cur[0] : table[cur]);
  return cw.w.bytes();
}

std::string decode(const std::string &data, uint64_t size, const char **error, size_t chunk = 512,
                   size_t count = 4096) {
  mem_source m = {(const uint8_t *)data.data(), data.size(), 0, chunk, false};
  auto s = std::make_unique<sit_lzw_state>();
  sit_lzw_init(s.get(), mem_pull, &m, size);
  return read_all(s.get(), sit_lzw_read, count, error);
}

TEST(SitLzw, HandMadeCodes) {
  code_writer kwk;  // "a" "b" "ab" then the code being defined: "aba"
  kwk.code('a').code('b').code(257).code(259);
  code_writer clear;  // a clear ends its group of eight: the rest is padding
  clear.code('x').code(256);
  clear.pad();
  clear.code('y');  // the first code after a clear stands for a byte
  code_writer undefined, first;
  undefined.code('a').code(300);
  first.code(257);
  struct {
    std::string data;
    uint64_t size;
    std::string plain;
    const char *error;
  } rows[] = {
      {kwk.w.bytes(), 7, "abababa", NULL},
      {clear.w.bytes(), 2, "xy", NULL},
      {undefined.w.bytes(), 5, "a", "a code not yet defined"},
      {first.w.bytes(), 5, "", "a code not yet defined"},
      {kwk.w.bytes().substr(0, 2), 7, "a", "truncated data"},
  };
  for (auto &r : rows) {
    const char *error;
    EXPECT_EQ(decode(r.data, r.size, &error, 1, 3), r.plain);
    EXPECT_STREQ(error, r.error) << r.plain;
  }
}

// Enough text for every width up to 14 bits and a full table.
TEST(SitLzw, RoundTripThroughEveryWidth) {
  std::string text;
  uint32_t x = 1;
  while (text.size() < 300000) {
    x = x * 1103515245u + 12345u;
    text += (char)('a' + (x >> 16) % 7);
    if ((x >> 8) % 5 == 0)
      text += "the same words again ";
  }
  const char *error;
  EXPECT_EQ(decode(encode(text), text.size(), &error, 97, 1000), text);
  EXPECT_EQ(error, nullptr);
}

}  // namespace
