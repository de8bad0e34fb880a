#include "unpack/implode.h"

#include <memory>

#include <gtest/gtest.h>

#include "unpack/shrink.h"
#include "unpack/unpack_test_util.h"

namespace {

// Decodes data (imploded with flags) to size bytes, pulling chunk bytes and
// reading count bytes at a time.
std::string explode(const std::string &data, unsigned flags, uint64_t size, const char **error,
                    size_t chunk = 512, size_t count = 4096, bool fail = false) {
  mem_source m = {(const uint8_t *)data.data(), data.size(), 0, chunk, fail};
  auto s = std::make_unique<implode_state>();
  implode_init(s.get(), mem_pull, &m, size, flags);
  return read_all(s.get(), implode_read, count, error);
}

// Every member of both samples, imploded with each kind of flags or shrunk,
// with the CRC and size the archive states, read in odd pieces.
TEST(Implode, SampleArchivesDecodeWithTheirCrc) {
  int members = 0;
  for (const char *name : {"PGP23LT1.ZIP", "cryptbas.zip"}) {
    std::string zip = corpus_archive(name);
    SKIP_WITHOUT_CORPUS(!zip.empty());
    for (const zip_member &z : zip_members(zip)) {
      mem_source m = {(const uint8_t *)z.data.data(), z.data.size(), 0, 3, false};
      const char *error;
      std::string out;
      if (z.method == 6) {
        auto s = std::make_unique<implode_state>();
        implode_init(s.get(), mem_pull, &m, z.size, z.flags);
        out = read_all(s.get(), implode_read, 1000, &error);
      } else {
        ASSERT_EQ(z.method, 1) << z.name;
        auto s = std::make_unique<shrink_state>();
        shrink_init(s.get(), mem_pull, &m, z.size);
        out = read_all(s.get(), shrink_read, 7, &error);
      }
      EXPECT_EQ(error, nullptr) << name << " " << z.name << ": " << error;
      EXPECT_EQ(out.size(), z.size) << z.name;
      EXPECT_EQ(crc32_of(out), z.crc) << name << " " << z.name;
      if (z.name == "PGP23LTK.PGP") {
        EXPECT_EQ((unsigned char)out[0], 0x99u);
      }
      members++;
    }
  }
  EXPECT_EQ(members, 14);
}

// Two trees of 64 six-bit codes each: every symbol's code is itself.
std::string flat_trees() {
  return std::string("\3\xf5\xf5\xf5\xf5", 5) + std::string("\3\xf5\xf5\xf5\xf5", 5);
}

// "ab", then a copy of 5 from 2 back (length symbol 3 + 2), then a copy of
// 4 from 12 back: before the start, so zeros.
std::string small_stream() {
  bit_writer w;
  w.put(1, 1).put('a', 8).put(1, 1).put('b', 8);
  w.put(0, 1).put(1, 6).code(0, 6).code(3, 6);
  w.put(0, 1).put(11, 6).code(0, 6).code(2, 6);
  return flat_trees() + w.bytes();
}

TEST(Implode, HandMadeStreams) {
  const char *error;
  EXPECT_EQ(explode(small_stream(), 0, 11, &error), std::string("abababa\0\0\0\0", 11));
  EXPECT_EQ(error, nullptr);
  // One byte in and one out at a time resumes mid-copy.
  EXPECT_EQ(explode(small_stream(), 0, 11, &error, 1, 1), std::string("abababa\0\0\0\0", 11));
  // A stated size short of the data ends there; a long run stops at it.
  EXPECT_EQ(explode(small_stream(), 0, 4, &error), "abab");
  bit_writer w;  // 8 KB window, length 63 + 255 + 2 = 320 from 1 back
  w.put(1, 1).put('z', 8).put(0, 1).put(0, 7).code(0, 6).code(63, 6).put(255, 8);
  std::string run = explode(flat_trees() + w.bytes(), IMPLODE_FLAG_8K, 1 << 20, &error);
  EXPECT_EQ(run, std::string(321, 'z'));
  EXPECT_STREQ(error, "truncated data");
}

TEST(Implode, Rejections) {
  std::string good = small_stream();
  struct {
    std::string data;
    bool fail;
    const char *error;
  } rows[] = {
      {good.substr(0, good.size() - 1), false, "truncated data"},
      {good.substr(0, 3), false, "truncated data"},
      {good, true, "read failed"},
      {std::string("\3\xf4\xf4\xf4\xf4", 5) + good.substr(5), false, "code table over-subscribed"},
      {std::string("\3\xf6\xf6\xf6\xf6", 5) + good.substr(5), false, "code table incomplete"},
      {std::string("\4\xf5\xf5\xf5\xf5\xf5", 6) + good.substr(5), false, "bad code table"},
      {std::string("\2\xf5\xf5\xf5", 4) + good.substr(5), false, "bad code table"},
  };
  for (auto &r : rows) {
    const char *error;
    explode(r.data, 0, 11, &error, 512, 4096, r.fail);
    EXPECT_STREQ(error, r.error);
  }
}

}  // namespace
