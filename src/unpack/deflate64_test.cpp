#include "unpack/deflate64.h"

#include <zlib.h>

#include <memory>
#include <random>

#include <gtest/gtest.h>

#include "unpack/unpack_test_util.h"

namespace {

// Decodes data to at most size bytes, pulling chunk bytes and reading count
// bytes at a time.
std::string inflate64(const std::string &data, uint64_t size, const char **error,
                      size_t chunk = 512, size_t count = 4096, bool fail = false) {
  mem_source m = {(const uint8_t *)data.data(), data.size(), 0, chunk, fail};
  auto s = std::make_unique<deflate64_state>();
  deflate64_init(s.get(), mem_pull, &m, size);
  return read_all(s.get(), deflate64_read, count, error);
}

uint32_t crc(const std::string &s) {
  return (uint32_t)crc32(0, (const Bytef *)s.data(), (uInt)s.size());
}

// Two members compressed at the highest level by an independent archiver
// (its local headers and data only).  far.bin: 64 random bytes, 40,000
// zeros, the 64 again and a dot: a copy from 40,064 back, and lengths past
// 258.  key.asc: an armoured key's first lines, then "abcdefgh" 12,000 times.
const char kZip[] =
    "\x50\x4b\x03\x04\x15\x00\x00\x00\x09\x00\xa0\x30\x89\x5d\x4a\x3a\x12\xdc\xfc"
    "\x00\x00\x00\xc1\x9c\x00\x00\x07\x00\x00\x00\x66\x61\x72\x2e\x62\x69\x6e\xe5"
    "\xde\x31\x0a\x41\x01\x00\x00\x50\x59\xd8\x94\xb2\x18\x24\xb2\x20\xd9\x5c\xc1"
    "\xe8\x04\xf4\x8b\x49\x46\x19\x6c\x46\x83\x85\x2c\x06\x99\x94\x1c\xc2\x62\x21"
    "\x65\xb2\x2b\xf5\x4b\x91\x72\x00\x0e\x61\xd2\x7b\x27\x79\xe1\x33\x0c\x9a\xef"
    "\x56\xf5\xb6\xa8\x57\x52\x87\xb0\x11\xcb\x66\x92\xc1\x30\xf1\x58\x5f\xdb\x83"
    "\xf9\x27\x5a\xba\x4f\xce\xc5\xd1\xaa\x3f\x4d\xe4\x6b\xa7\xda\x6c\x9f\x8b\x47"
    "\x7a\xdd\xf4\x6b\x77\xbc\x14\x3a\xe3\x6d\x79\xb9\x89\xf0\x78\x3c\x1e\x8f\xc7"
    "\xe3\xf1\x78\x3c\x1e\x8f\xc7\xe3\xf1\x78\x3c\x1e\x8f\xc7\xe3\xf1\x78\x3c\x1e"
    "\x8f\xc7\xe3\xf1\x78\x3c\x1e\x8f\xc7\xe3\xf1\x78\x3c\x1e\x8f\xc7\xe3\xf1\x78"
    "\x3c\x1e\x8f\xc7\xe3\xf1\x78\x3c\x1e\x8f\xc7\xe3\xf1\x78\x3c\x1e\x8f\xc7\xe3"
    "\xf1\x78\x3c\x1e\x8f\xc7\xe3\xf1\x78\x3c\x1e\x8f\xc7\xe3\xf1\x78\x3c\x1e\x8f"
    "\xc7\xe3\xf1\x78\x3c\x1e\x8f\xc7\xe3\xf1\x78\x3c\x1e\x8f\xc7\xe3\xf1\x78\x3c"
    "\x1e\x8f\xc7\xe3\xf1\x78\x3c\x1e\x8f\xc7\xe3\xf1\x78\x3c\x1e\x8f\xc7\xe3\xf1"
    "\x78\x3c\x1e\x8f\xc7\xe3\xf1\x78\x3c\x1e\x8f\xc7\xe3\xf1\x78\xbc\x7f\xf0\xeb"
    "\x3f\xae\xf2\x05\x50\x4b\x03\x04\x15\x00\x00\x00\x09\x00\xa0\x30\x89\x5d\x4e"
    "\xe6\x29\xec\xc7\x01\x00\x00\x2b\x77\x01\x00\x07\x00\x00\x00\x6b\x65\x79\x2e"
    "\x61\x73\x63\xe4\xc9\x3b\x0e\x40\x40\x00\x00\xd1\xde\x29\xf6\x02\x2e\xb1\x1b"
    "\x11\x21\xac\x42\xa1\xf4\xd7\xb8\x7f\x2b\x5c\xe3\x4d\xf3\x8a\x29\xbf\x62\x55"
    "\x37\x7d\xc8\x75\x0e\x79\x8a\x5d\x93\x42\x5b\xcd\x21\x76\x43\x6a\xff\x5d\x3c"
    "\x63\xea\x8b\x65\xdd\xf6\xe3\xbc\x6e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e"
    "\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e"
    "\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e"
    "\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e"
    "\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e"
    "\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e"
    "\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e"
    "\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e"
    "\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e"
    "\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e"
    "\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e"
    "\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e"
    "\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\x5e\xde\xb7"
    "\xbc\x38\xa6\x01\x00\x00\x60\x18\xf4\xcf\xbf\xe0\xd9\x68\x02\x0f\xfc\xfc\xfc"
    "\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc"
    "\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc"
    "\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc"
    "\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc"
    "\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc"
    "\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc"
    "\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc\xfc"
    "\x81\x77";

TEST(Deflate64, ArchiverMembersDecodeWithTheirCrc) {
  std::vector<zip_member> members = zip_members(std::string(kZip, sizeof kZip - 1));
  ASSERT_EQ(members.size(), 2u);
  for (const zip_member &z : members) {
    ASSERT_EQ(z.method, 9) << z.name;
    for (size_t pieces : {4096, 7, 1}) {
      const char *error;
      std::string out = inflate64(z.data, z.size, &error, pieces, pieces);
      EXPECT_EQ(error, nullptr) << z.name << ": " << error;
      EXPECT_EQ(out.size(), z.size) << z.name;
      EXPECT_EQ(crc(out), z.crc) << z.name << " in pieces of " << pieces;
    }
  }
}

// Raw deflate from zlib is Deflate64 too while no length reaches 258 (code
// 285 differs): words in random order repeat no such run.  Level 0 makes
// stored blocks, Z_FIXED the fixed code, level 9 dynamic codes.
TEST(Deflate64, ZlibStreamsOfEachBlockType) {
  std::mt19937 rng(5);
  const char *words[] = {"key ", "ring ", "pass phrase ", "sign\n", "clear ", "armour "};
  std::string text;
  while (text.size() < 100000)
    text += words[rng() % 6];
  const int kinds[][2] = {{0, Z_DEFAULT_STRATEGY}, {6, Z_FIXED}, {9, Z_DEFAULT_STRATEGY}};
  for (auto [level, strategy] : kinds) {
    z_stream z = {};
    ASSERT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy), Z_OK);
    std::string packed(deflateBound(&z, text.size()), '\0');
    z.next_in = (Bytef *)text.data();
    z.avail_in = (uInt)text.size();
    z.next_out = (Bytef *)&packed[0];
    z.avail_out = (uInt)packed.size();
    ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    packed.resize(z.total_out);
    deflateEnd(&z);
    const char *error;
    EXPECT_EQ(inflate64(packed, text.size(), &error, 3, 7), text) << level;
    EXPECT_EQ(error, nullptr);
    // A stated size past the final block ends with it; one short stops there.
    EXPECT_EQ(inflate64(packed, text.size() + 9, &error).size(), text.size());
    EXPECT_EQ(error, nullptr);
    EXPECT_EQ(inflate64(packed, 1000, &error), text.substr(0, 1000));
  }
}

// A fixed-code block of literals and back-references.
struct fixed_block {
  bit_writer w;
  fixed_block() { w.put(1, 1).put(1, 2); }
  fixed_block &sym(unsigned s) {
    if (s < 144)
      w.huff(0x30 + s, 8);
    else if (s < 256)
      w.huff(0x190 + s - 144, 9);
    else if (s < 280)
      w.huff(s - 256, 7);
    else
      w.huff(0xc0 + s - 280, 8);
    return *this;
  }
  fixed_block &dist(unsigned d) {
    w.huff(d, 5);
    return *this;
  }
  fixed_block &extra(unsigned v, int n) {
    w.put(v, n);
    return *this;
  }
  std::string end() { return sym(256).w.bytes(); }
};

TEST(Deflate64, LongestLengthAndFarthestDistance) {
  // "xy", 65,534 more 'y' (code 285: 3 + 65,531), then 3 from 65,536 back
  // (code 31: 49,153 + 16,383): the window's oldest byte.
  std::string data = fixed_block().sym('x').sym('y').sym(285).extra(65531, 16).dist(0).sym(257)
                         .dist(31).extra(16383, 14).end();
  const char *error;
  std::string expect = "x" + std::string(65535, 'y') + "xyy";
  EXPECT_EQ(inflate64(data, 1 << 20, &error, 1, 1000), expect);
  EXPECT_EQ(error, nullptr);
}

// A final dynamic block's header: 257 literal/length codes and one distance
// code, each of the given length or none as coded says, through a
// code-length code of two symbols (0 and that length).
std::string dynamic_header(unsigned length, bool (*coded)(int)) {
  static const int order[] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  bit_writer w;
  w.put(1, 1).put(2, 2).put(0, 5).put(0, 5).put(length == 8 ? 1 : 3, 4);
  for (int i = 0; i < (length == 8 ? 5 : 7); i++)
    w.put(order[i] == 0 || order[i] == (int)length, 3);
  for (int i = 0; i < 258; i++)
    w.put(coded(i), 1);
  return w.bytes();
}

TEST(Deflate64, Rejections) {
  std::string member = zip_members(std::string(kZip, sizeof kZip - 1))[1].data;
  bit_writer many;  // 257 + 30 literal/length codes: two past the last
  many.put(1, 1).put(2, 2).put(30, 5).put(0, 5).put(0, 4);
  struct {
    std::string data;
    bool fail;
    const char *error;
  } rows[] = {
      {member.substr(0, member.size() - 2), false, "truncated data"},
      {member, true, "read failed"},
      {std::string("\x07", 1), false, "bad block type"},
      {std::string("\x01\x05\x00\x05\x00xxxxx", 10), false, "stored length mismatch"},
      {many.bytes(), false, "bad code table"},
      {dynamic_header(8, [](int i) { return i != 256; }), false, "bad code table"},  // no end code
      {dynamic_header(9, [](int) { return true; }), false, "bad code table"},  // 257 of 512 codes
      {fixed_block().sym('a').sym(257).dist(1).end(), false, "back-reference before the start"},
      {fixed_block().sym('a').sym(286).end(), false, "bad code"},
  };
  for (auto &r : rows) {
    const char *error;
    inflate64(r.data, 1 << 20, &error, 512, 4096, r.fail);
    EXPECT_STREQ(error, r.error);
  }
}

}  // namespace
