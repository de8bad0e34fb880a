// Compact Pro archives made here: what the reader lists and reads, and the
// directories it refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "unpack/unpack.h"
#include "unpack/unpack_test_util.h"

extern const struct unpack_format unpack_compactpro;

namespace {

std::string be(uint32_t v, int n) {
  std::string s;
  for (int i = n - 1; i >= 0; i--)
    s += (char)(v >> (8 * i));
  return s;
}

struct Entry {
  std::string name;
  int folder;                 // entries inside, or -1 for a file
  std::string rsrc, data;     // RLE-coded forks
  std::string rsrc_plain, data_plain;
  unsigned flags = 0, volume = 1;
  uint32_t crc_xor = 0;       // spoils the stored CRC
  uint32_t offset_add = 0;    // moves the forks' stated place
};

Entry file(const std::string &name, const std::string &data, const std::string &plain) {
  Entry e;
  e.name = name;
  e.folder = -1;
  e.data = data;
  e.data_plain = plain;
  return e;
}

Entry folder(const std::string &name, int entries) {
  Entry e = file(name, "", "");
  e.folder = entries;
  return e;
}

// An archive of the entries; count_add and dir_crc_xor make its directory
// lie.
std::string archive(const std::vector<Entry> &entries, int count_add = 0, uint32_t dir_crc_xor = 0) {
  std::string forks, dir;
  for (const Entry &e : entries) {
    dir += (char)(e.name.size() | (e.folder >= 0 ? 0x80 : 0)) + e.name;
    if (e.folder >= 0) {
      dir += be((uint32_t)e.folder, 2);
      continue;
    }
    uint32_t crc = ~crc32_of(e.rsrc_plain + e.data_plain) ^ e.crc_xor;
    dir += (char)e.volume + be(8 + (uint32_t)forks.size() + e.offset_add, 4) + "TEXTttxt" +
           std::string(10, '\0') + be(crc, 4) + be(e.flags, 2) + be((uint32_t)e.rsrc_plain.size(), 4) +
           be((uint32_t)e.data_plain.size(), 4) + be((uint32_t)e.rsrc.size(), 4) +
           be((uint32_t)e.data.size(), 4);
    forks += e.rsrc + e.data;
  }
  dir = be((uint32_t)((int)entries.size() + count_add), 2) + '\0' + dir;
  return std::string("\1\1\0\0", 4) + be(8 + (uint32_t)forks.size(), 4) + forks +
         be(~crc32_of(dir) ^ dir_crc_xor, 4) + dir;
}

// What the reader makes of bytes: each member's path and bytes (or why they
// could not be read), then how the listing ended.
std::string listing(const std::string &bytes, const char *name, bool stream = false) {
  static uint8_t block[UNPACK_BLOCK];
  unpack_start();
  struct unpack_source src = {};
  src.kind = stream ? UNPACK_STREAM : UNPACK_MEMORY;
  src.depth = 1;
  src.name = name;
  src.memory = (const uint8_t *)bytes.data();
  src.held = bytes.size();
  src.block = block;
  src.block_size = sizeof block;
  void *r = NULL;
  int s = unpack_compactpro.open(&src, src.memory, (long)src.held, &r);
  if (s != UNPACK_OK)
    return s == UNPACK_NONE ? "none" : std::string("open: ") + unpack_compactpro.error(r);
  std::string out;
  struct unpack_member m;
  while ((s = unpack_compactpro.next(r, &m)) == UNPACK_OK) {
    out += std::string(m.path) + (m.encrypted ? " (encrypted) " : "=");
    if (m.encrypted)
      continue;
    uint8_t buf[5];
    long got;
    while ((got = unpack_compactpro.read(r, buf, sizeof buf)) > 0)
      out.append((const char *)buf, (size_t)got);
    out += got < 0 ? std::string("!") + unpack_compactpro.error(r) + " " : " ";
  }
  return out + (s == UNPACK_END ? "end" : s == UNPACK_WHOLE ? "whole" : unpack_compactpro.error(r));
}

TEST(CompactPro, MembersAndDirectoriesThatLie) {
  Entry secret = file("secret", "xx", "xx"), bad_crc = file("bad", "abc", "abc"),
        away = file("away", "abc", "abc"), earlier = file("earlier", "abc", "abc");
  secret.flags = 1;
  bad_crc.crc_xor = 1;
  away.offset_add = 1000;
  earlier.volume = 0;
  Entry both = file("both", "da\x81\x82\x03", "daaa");
  both.rsrc = both.rsrc_plain = "res";  // the CRC covers both forks
  std::vector<Entry> good = {folder("Folder", 2), file("inner", "hello", "hello"), both,
                             file("top", "", ""), secret, bad_crc, away, earlier};
  std::vector<Entry> deep = {folder("A", 2), folder("B", 2), file("c", "", "")};
  struct Case {
    std::string bytes;
    const char *name;
    const char *listed;
  } cases[] = {
      {archive(good), "x.bin",
       "Folder/inner=hello Folder/both=daaa top= secret (encrypted) bad=abc!CRC mismatch "
       "away=!no data where the directory says earlier=!begins in an earlier volume, not searched end"},
      {archive(deep, 1), "x.cpt", "open: damaged directory"},  // B holds more than A
      {archive(deep, 1), "x.bin", "none"},
      {archive(good, 1), "x.cpt", "open: truncated directory"},
      {archive(good, 0, 1), "x.cpt", "open: directory CRC mismatch"},
      {archive(good).substr(0, 20), "x.cpt", "open: no directory where the header says"},
      {"\2" + archive(good).substr(1), "x.cpt", "none"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(listing(c.bytes, c.name), c.listed) << c.name;
  EXPECT_EQ(listing(archive(good), "x.cpt", true), "whole");  // the directory is at the end
}

}  // namespace
