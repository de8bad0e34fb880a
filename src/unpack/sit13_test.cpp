// StuffIt's method 13, from streams made by hand: codes sent as lengths,
// the fixed code sets, and each fault.
#include "unpack/sit13.h"

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "unpack/unpack_test_util.h"

namespace {

// The code-length code's entries the streams below use: symbol L-1 gives
// length L, symbol 31 leaves a symbol out.
void length_symbol(bit_writer &w, int len) {
  static const unsigned bits[] = {0x5d8, 0x058, 0x040, 0x0c0};
  static const int size[] = {11, 8, 8, 8};
  if (len < 0)
    w.put(0x004, 5);
  else
    w.put(bits[len - 1], size[len - 1]);
}

// A code of n symbols: those listed get length len, the rest none.
void code_lengths(bit_writer &w, int n, std::vector<int> listed, int len) {
  for (int i = 0; i < n; i++) {
    bool in = false;
    for (int k : listed)
      in = in || k == i;
    length_symbol(w, in ? len : -1);
  }
}

// Header 0x08: one literal-and-length code for both ('a' 00, 'b' 01, a
// length of 3 10, the end 11), and distance lengths 0 and 1 of one bit
// each.  Then the symbols of body.
std::string stream(std::vector<int> first, const std::string &body_bits) {
  bit_writer w;
  w.put(0x08, 8);
  code_lengths(w, 321, first, 2);
  code_lengths(w, 10, {0, 1}, 1);
  for (char c : body_bits)
    w.put(c == '1', 1);
  return w.bytes();
}

std::string decode(const std::string &data, uint64_t size, const char **error) {
  mem_source m = {(const uint8_t *)data.data(), data.size(), 0, 3, false};
  auto s = std::make_unique<sit13_state>();
  sit13_init(s.get(), mem_pull, &m, size);
  return read_all(s.get(), sit13_read, 2, error);
}

TEST(Sit13, HandMadeStreams) {
  std::vector<int> four = {'a', 'b', 256, 320};
  // 'a' 'b', then 3 bytes from distance 2 (distance symbol 1), then the end.
  std::string good = stream(four, "00" "01" "10" "1" "11");
  struct {
    std::string data;
    uint64_t size;
    std::string plain;
    const char *error;
  } rows[] = {
      {good, 5, "ababa", NULL},
      {good, 4, "abab", NULL},
      {good, 6, "ababa", "data ends before its stated size"},
      {good.substr(0, good.size() - 1), 5, "", "truncated data"},
      {stream(four, "00" "10" "1"), 5, "a", "a back-reference before the start of the data"},
      {stream({'a', 'b', 'c', 256, 320}, ""), 5, "", "code table over-subscribed"},
      {stream({'a', 'b', 256}, ""), 5, "", "code table incomplete"},
      {std::string("\x60", 1), 5, "", "unknown code set"},
  };
  for (auto &r : rows) {
    const char *error;
    EXPECT_EQ(decode(r.data, r.size, &error), r.plain) << r.size;
    EXPECT_STREQ(error, r.error) << r.plain;
  }
  for (size_t cut = 0; cut < good.size(); cut++) {
    const char *error;
    EXPECT_LE(decode(good.substr(0, cut), 5, &error).size(), 5u);
    EXPECT_STREQ(error, "truncated data") << cut;
  }
}

// Each fixed set makes prefix codes: whatever the bits, no table fault.
TEST(Sit13, FixedSetsAreWholeCodes) {
  for (int set = 1; set <= 5; set++) {
    std::string data(1, (char)(set << 4));
    data += std::string(64, '\xA5');
    const char *error;
    decode(data, 16, &error);
    EXPECT_TRUE(error == NULL || strstr(error, "table") == NULL) << set << error;
  }
}

}  // namespace
