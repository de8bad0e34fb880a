#include "unpack/shrink.h"

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "unpack/unpack_test_util.h"

namespace {

// Hand-made code streams: each code of 9 bits, or 10 after "256 1"
// (written as the pair).  The samples are decoded in implode_test.cpp.
std::string codes(std::vector<unsigned> list) {
  bit_writer w;
  int bits = 9;
  for (size_t i = 0; i < list.size(); i++) {
    w.put(list[i], bits);
    if (list[i] == 256 && i + 1 < list.size() && list[i + 1] == 1) {
      w.put(1, bits++);
      i++;
    }
  }
  return w.bytes();
}

TEST(Shrink, HandMadeStreams) {
  struct {
    std::vector<unsigned> codes;
    uint64_t size;
    const char *want;
    const char *error;
  } rows[] = {
      // 257 = ab, 258 = ba, and 259 read before it is made (aba).
      {{97, 98, 257, 259, 98}, 8, "abababab", nullptr},
      {{97, 98, 257, 259, 98}, 5, "ababa", nullptr},
      {{97, 256, 1, 98, 257}, 4, "abab", nullptr},
      // The clear keeps 257 (259's prefix), frees 258 and 259; the code
      // after it adds nothing, the next one reuses 258 (abb).
      {{97, 98, 257, 259, 256, 2, 257, 98, 258}, 13, "abababaabbabb", nullptr},
      {{97, 98, 257, 259, 98}, 9, "abababab", "truncated data"},
      {{300}, 1, "", "bad first code"},
      {{97, 300}, 4, "a", "undefined code"},
      {{97, 98, 256, 2, 257}, 4, "ab", "undefined code"},
      {{97, 256, 3}, 2, "a", "bad control code"},
      {{97, 256, 1, 256, 1, 256, 1, 256, 1, 256, 1}, 2, "a", "code size beyond 13 bits"},
  };
  for (auto &r : rows) {
    std::string data = codes(r.codes);
    for (size_t chunk : {1, 512}) {
      mem_source m = {(const uint8_t *)data.data(), data.size(), 0, chunk, false};
      auto s = std::make_unique<shrink_state>();
      shrink_init(s.get(), mem_pull, &m, r.size);
      const char *error;
      EXPECT_EQ(read_all(s.get(), shrink_read, chunk, &error), r.want) << r.want;
      EXPECT_STREQ(error, r.error) << r.want;
    }
  }
}

}  // namespace
