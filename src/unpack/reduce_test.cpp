#include "unpack/reduce.h"

#include <map>
#include <memory>

#include <gtest/gtest.h>

#include "unpack/unpack_test_util.h"

namespace {

// The follower-set stage written out: the sets, then each byte as an index
// into its predecessor's set where it is in it, else as 8 plain bits.
std::string expand_stage(const std::map<int, std::string> &sets, const std::string &bytes) {
  bit_writer w;
  for (int j = 255; j >= 0; j--) {
    auto it = sets.find(j);
    std::string set = it == sets.end() ? "" : it->second;
    w.put((unsigned)set.size(), 6);
    for (unsigned char c : set)
      w.put(c, 8);
  }
  unsigned last = 0;
  for (unsigned char c : bytes) {
    auto it = sets.find((int)last);
    std::string set = it == sets.end() ? "" : it->second;
    size_t at = set.find((char)c);
    if (set.empty()) {
      w.put(c, 8);
    } else if (at == std::string::npos) {
      w.put(1, 1).put(c, 8);
    } else {
      int width = 1;
      while ((1u << width) < set.size())
        width++;
      w.put(0, 1).put((unsigned)at, width);
    }
    last = c;
  }
  return w.bytes();
}

std::string unreduce(const std::string &data, int method, uint64_t size, const char **error,
                     size_t chunk = 512) {
  mem_source m = {(const uint8_t *)data.data(), data.size(), 0, chunk, false};
  auto s = std::make_unique<reduce_state>();
  reduce_init(s.get(), mem_pull, &m, size, method);
  return read_all(s.get(), reduce_read, chunk, error);
}

TEST(Reduce, HandMadeStreams) {
  const std::map<int, std::string> none, sets = {{'a', "bc"}, {'b', "a"}, {144, "\2"}};
  struct {
    int method;
    std::string bytes;  // what the follower-set stage gives
    uint64_t size;
    std::string want;
  } rows[] = {
      // Factor 1: 144, then length 2 (+3) in the low 7 bits, distance 2 + 1.
      {2, "abc\x90\x02\x02", 8, "abcabcab"},
      {3, std::string("a\x90\0z", 4), 3, "a\x90z"},
      // Factor 4: length 15 fills its 4 bits, so a byte adds 10: 28 bytes,
      // from 1 * 256 + 0 + 1 back, before the start: zeros.
      {5, std::string("x\x90\x1f\x0a\x00", 5), 29, "x" + std::string(28, '\0')},
      // Factor 3: length 31 fills its 5 bits, a byte adds 2: 36 from 2 back.
      {4, "ab\x90\x1f\x02\x01", 38, "ab" + std::string("ababababababababababababababababab") + "ab"},
  };
  for (auto &r : rows) {
    for (auto *s : {&none, &sets}) {
      for (size_t chunk : {1, 512}) {
        const char *error;
        EXPECT_EQ(unreduce(expand_stage(*s, r.bytes), r.method, r.size, &error, chunk), r.want)
            << r.method << " " << s->size();
        EXPECT_EQ(error, nullptr);
      }
    }
  }
}

TEST(Reduce, Rejections) {
  std::string good = expand_stage({{'a', "bcd"}}, "abc");
  // After "a", a follower (bit 0) of index 3 in a set of 3.
  std::string bad_index = expand_stage({{'a', "bcd"}}, "a") + "\x06";
  bit_writer over;
  over.put(33, 6);
  struct {
    std::string data;
    int method;
    std::string want;
    const char *error;
  } rows[] = {
      {good, 2, "abc", nullptr},
      {good.substr(0, 100), 2, "", "truncated data"},
      {good.substr(0, good.size() - 1), 2, "ab", "truncated data"},
      {over.bytes(), 2, "", "follower set over 32"},
      {bad_index, 2, "a", "follower index beyond its set"},
      {good, 6, "", "not a reduce method"},
  };
  for (auto &r : rows) {
    const char *error;
    EXPECT_EQ(unreduce(r.data, r.method, 3, &error), r.want) << r.want;
    EXPECT_STREQ(error, r.error);
  }
}

}  // namespace
