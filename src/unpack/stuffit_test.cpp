// StuffIt archives made in the test: what each member gives and why one
// fails, and the walks that must end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "unpack/unpack.h"

extern const struct unpack_format unpack_stuffit;

namespace {

uint16_t crc16(const std::string &s) {
  uint16_t c = 0;
  for (unsigned char b : s) {
    c ^= b;
    for (int k = 0; k < 8; k++)
      c = (uint16_t)((c >> 1) ^ ((c & 1) ? 0xA001 : 0));
  }
  return c;
}

std::string be(uint64_t v, int n) {
  std::string s;
  for (int i = n - 1; i >= 0; i--)
    s += (char)(v >> (8 * i));
  return s;
}

// A classic entry: its header (CRC made), then its forks' bytes.
std::string entry(int rmethod, int dmethod, const std::string &name, const std::string &rsrc,
                  const std::string &data, size_t dsize, uint16_t dcrc) {
  std::string h = std::string(1, (char)rmethod) + (char)dmethod + (char)name.size() + name;
  h.resize(84, '\0');
  h += be((uint32_t)rsrc.size(), 4) + be((uint32_t)dsize, 4) + be((uint32_t)rsrc.size(), 4) +
       be((uint32_t)data.size(), 4) + be(crc16(rsrc), 2) + be(dcrc, 2);
  h.resize(110, '\0');
  return h + be(crc16(h), 2) + rsrc + data;
}

std::string classic(const std::string &entries) {
  std::string a = "SIT!" + be(3, 2) + be((uint32_t)(22 + entries.size()), 4) + "rLau";
  a.resize(22, '\0');
  return a + entries;
}

struct listing {
  std::vector<std::string> rows;  // path, then what its reading gave
  std::string end;                // "" or why the archive ended early
};

listing list(const std::string &archive) {
  static uint8_t block[UNPACK_BLOCK];
  unpack_start();
  struct unpack_source src = {};
  src.kind = UNPACK_MEMORY;
  src.depth = 1;
  src.name = "test.sit";
  src.memory = (const uint8_t *)archive.data();
  src.held = archive.size();
  src.block = block;
  src.block_size = sizeof block;
  listing out;
  void *r = NULL;
  int s = unpack_stuffit.open(&src, src.memory, (long)src.held, &r);
  struct unpack_member m;
  while (s == UNPACK_OK && out.rows.size() < 5000 &&
         (s = unpack_stuffit.next(r, &m)) == UNPACK_OK) {
    std::string got;
    uint8_t buf[3];
    long n = 0;
    while (!m.encrypted && (n = unpack_stuffit.read(r, buf, sizeof buf)) > 0)
      got.append((const char *)buf, (size_t)n);
    out.rows.push_back(std::string(m.path) + (m.encrypted ? " encrypted" : " " + got) +
                       (n < 0 ? std::string(": ") + unpack_stuffit.error(r) : ""));
  }
  if (s != UNPACK_END)
    out.end = r != NULL ? unpack_stuffit.error(r) : "not taken";
  return out;
}

TEST(StuffIt, ClassicMembers) {
  std::string hello = "hello", runs = "xxxxx";
  std::string entries = entry(32, 32, "Keys", "", "", 0, 0) +
                        entry(0, 0, "a/b", "", hello, 5, crc16(hello)) +
                        entry(0, 1, "runs", "RSRC", "x\x90\x05", 5, crc16(runs)) +
                        entry(33, 33, "", "", "", 0, 0) +
                        entry(0, 0x10, "secret", "", "zz", 2, 0) +
                        entry(0, 5, "lzah", "", "qq", 2, 0) +
                        entry(0, 2, "lzw", "", std::string("\x61\xc4\0", 3), 2, crc16("ab")) +
                        entry(0, 0, "\x8E" "t\x8E", "", hello, 5, 0x1234);
  listing l = list(classic(entries));
  std::vector<std::string> want = {
      "Keys/a:b hello", "Keys/runs xxxxx", "secret encrypted",
      "lzah : a compression method KIVOR lacks, not searched", "lzw ab",
      "\xC3\xA9t\xC3\xA9 hello: StuffIt data CRC 34d2, expected 1234",
  };
  EXPECT_EQ(l.rows, want);
  EXPECT_EQ(l.end, "");
  // Damage: every cut ends the listing, a header cut short says so, a
  // header changed fails its CRC.
  std::string whole = classic(entries);
  for (size_t cut = 0; cut < whole.size(); cut++)
    EXPECT_LE(list(whole.substr(0, cut)).rows.size(), 6u) << cut;
  EXPECT_EQ(list(whole.substr(0, 22 + 112 + 50)).end, "truncated header");
  whole[22 + 112 + 5] ^= 1;
  EXPECT_EQ(list(whole).end, "StuffIt header CRC e09f, expected 9d23");
}

// A StuffIt 5 archive of one folder, whose first entry is at first and
// holds count entries; a file at 100 + 52, its next entry at next, its
// resource fork "RSRC" and its data fork "hello", both stored.
std::string five(uint32_t first, unsigned count, uint32_t next) {
  std::string a = "StuffIt (c)1997-" + std::string(62, '.');  // the rest of the text varies
  a += "\r\n" + be(0, 4) + be(1000, 4) + be(0, 4) + be(1, 2) + be(100, 4) + be(0, 2);
  auto header = [](int flags, uint32_t next, const std::string &at34, const std::string &name) {
    std::string h = be(0xA5A5A5A5u, 4) + (char)1 + (char)0 + be(48 + name.size(), 2) + (char)0 +
                    (char)flags + std::string(12, '\0') + be(next, 4) + be(0, 4) +
                    be(name.size(), 2) + be(0, 2) + at34 + name;
    uint16_t c = crc16(h);
    h[32] = (char)(c >> 8);
    h[33] = (char)c;
    return h;
  };
  std::string rsrc = "RSRC", data = "hello";
  a += header(0x40, 0, be(first, 4) + be(0, 8) + be(count, 2), "loop");
  a += header(0, next, be(5, 4) + be(5, 4) + be(crc16(data), 2) + be(0, 4), "file");
  a += be(1, 2) + std::string(34, '\0') + be(4, 4) + be(4, 4) + be(crc16(rsrc), 2) + be(0, 4);
  a += rsrc + data;
  a.resize(1000, '\0');
  return a;
}

TEST(StuffIt, FiveMembersAndWalksThatLoop) {
  listing l = list(five(152, 1, 0));
  EXPECT_EQ(l.rows, std::vector<std::string>{"loop/file hello"});
  EXPECT_EQ(l.end, "");
  l = list(five(100, 1, 0));  // the folder holds itself
  EXPECT_EQ(l.end, "a folder tree that loops");
  l = list(five(152, 60000, 152));  // the file is its own next
  EXPECT_EQ(l.end, "a folder tree that loops");
  EXPECT_LT(l.rows.size(), 20u);
}

}  // namespace
