// The Macintosh wrappers read through their rows of the format table:
// BinHex and MacBinary written by tests/support/mac_writer.h, AppleSingle
// made here, read from memory and from a stream.
#include <gtest/gtest.h>

#include <string>

#include "search/archive.h"
#include "mac_writer.h"
#include "unpack/macwrap.h"
#include "unpack/unpack.h"
#include "unpack/unpack_test_util.h"

extern const struct unpack_format unpack_binhex, unpack_macbinary, unpack_applesingle;

namespace {

struct outcome {
  int open = -1, next = -1;  // the first next's status
  std::string path, data, error;
};

long nothing_more(void *, uint8_t *, size_t) {
  return 0;
}

// Only read is asked of the row a stream's held bytes end in.
const struct unpack_format end_of_stream = {"end", nullptr, nullptr, nothing_more, nullptr, nullptr};

// Reads bytes with f as a file named name holds them, or as a stream whose
// first held bytes are in memory.
outcome read_with(const unpack_format &f, const std::string &bytes, const char *name = "F.X",
                  size_t held = std::string::npos) {
  static uint8_t block[UNPACK_BLOCK];
  outcome o;
  struct unpack_stream tail = {&end_of_stream, nullptr, nullptr, nullptr, 0};
  struct unpack_source src = {};
  src.kind = held == std::string::npos ? UNPACK_MEMORY : UNPACK_STREAM;
  src.depth = 1;
  src.name = name;
  src.memory = (const uint8_t *)bytes.data();
  src.held = held < bytes.size() ? held : bytes.size();
  tail.held = src.memory + src.held;
  tail.held_len = bytes.size() - src.held;
  src.rest = &tail;
  src.block = block;
  src.block_size = sizeof block;
  void *r = nullptr;
  unpack_start();
  o.open = f.open(&src, src.memory, (long)src.held, &r);
  if (o.open == UNPACK_FAILED)
    o.error = f.error(r);
  if (o.open != UNPACK_OK)
    return o;
  struct unpack_member m;
  o.next = f.next(r, &m);
  if (o.next == UNPACK_OK) {
    o.path = m.path;
    uint8_t buf[7];
    long got;
    while ((got = f.read(r, buf, sizeof buf)) > 0)
      o.data.append((const char *)buf, (size_t)got);
    if (got < 0)
      o.error = f.error(r);
    EXPECT_EQ(f.next(r, &m), UNPACK_END);
  }
  f.close(r);
  return o;
}

void expect(const outcome &o, int open, const std::string &path, const std::string &data,
            const std::string &error, const std::string &what) {
  EXPECT_EQ(o.open, open) << what;
  EXPECT_EQ(o.path, path) << what;
  EXPECT_EQ(o.data, data) << what;
  EXPECT_EQ(o.error, error) << what;
}

const std::string kData = "key \x90\x90 " + std::string(300, 'k') + std::string(40, '\0') + "end";

TEST(MacWrappers, BinHex) {
  std::string good = binhex("Cl\x8E" "s/v1", kData);
  std::string spoilt = good;
  spoilt.insert(spoilt.find(':') + 46, "g");  // after the header and 4 bytes of the data fork
  struct {
    std::string bytes;
    int open;
    std::string path, data, error;
  } cases[] = {
      {good, UNPACK_OK, "Cl\xC3\xA9s:v1", kData, ""},
      {"From: a@b\nSubject: x\n\n" + good, UNPACK_OK, "Cl\xC3\xA9s:v1", kData, ""},
      {spoilt, UNPACK_OK, "Cl\xC3\xA9s:v1", "key \x90", "a character BinHex does not use"},
      {binhex("K", kData, 1), UNPACK_FAILED, "", "", "header CRC mismatch"},
      {binhex("K", kData, 2), UNPACK_OK, "K", kData, "data fork CRC mismatch"},
      {binhex("K", ""), UNPACK_OK, "", "", ""},  // no data fork, no member
      {binhex("K", "abc", 0, 40), UNPACK_OK, "K", "abc" + mac_crc("abc") + mac_crc(""), "truncated data"},
      {"(This file must be converted with BinHex 4.0) by hand.\n", UNPACK_NONE, "", "", ""},
  };
  for (auto &c : cases) {
    expect(read_with(unpack_binhex, c.bytes), c.open, c.path, c.data, c.error, c.error);
    EXPECT_EQ(archive_signature((const unsigned char *)c.bytes.data(), (long)c.bytes.size()),
              c.open != UNPACK_NONE) << c.error;
  }
  // A stream: its text read on past the first bytes.
  expect(read_with(unpack_binhex, good, "F.HQX", 100), UNPACK_OK, "Cl\xC3\xA9s:v1", kData, "", "stream");
}

TEST(MacWrappers, MacBinary) {
  std::string bad_crc = macbinary("K", kData, 2);
  bad_crc[125] ^= 1;
  std::string utf16 = std::string("\0H\0e\0l\0l\0o\0\n", 12) + std::string(200, '\0');
  std::string zeros = std::string("\0\5ab\1de", 7) + std::string(200, '\0');
  std::string short_fork = macbinary("K", kData, 2).substr(0, 200);
  struct {
    std::string bytes;
    int version;  // 0: not taken
    std::string path, data, error;
  } cases[] = {
      {macbinary("Cl\x8E" "s/v2", kData, 2), 2, "Cl\xC3\xA9s:v2", kData, ""},
      {macbinary("K", kData, 3, 10), 3, "K", kData, ""},
      {macbinary("K", kData, 1), 1, "K", kData, ""},
      {macbinary("K", kData, 1) + std::string(128, '\0'), 0, "", "", ""},  // longer than its forks
      {bad_crc, 0, "", "", ""},
      {utf16, 0, "", "", ""},
      {zeros, 0, "", "", ""},
      {macbinary("a:b", kData, 2), 0, "", "", ""},
      {short_fork, 2, "K", short_fork.substr(128), "truncated data"},
  };
  for (auto &c : cases) {
    const std::string what = c.path + "/" + std::to_string(c.version);
    struct macbinary_info info = {};
    const uint8_t *b = (const uint8_t *)c.bytes.data();
    EXPECT_EQ(macbinary_header(b, (long)c.bytes.size(), (int64_t)c.bytes.size(), &info), c.version != 0) << what;
    EXPECT_EQ(info.version, c.version) << what;
    expect(read_with(unpack_macbinary, c.bytes), c.version ? UNPACK_OK : UNPACK_NONE, c.path, c.data,
           c.error, what);
  }
}

// An AppleSingle (or Double) file: its entries (id, bytes) stored after the
// table in the order given, listed in the order of ids.
std::string applesingle(uint32_t magic, uint32_t version, std::vector<std::pair<int, std::string>> entries) {
  std::string out = mac_be(magic, 4) + mac_be(version, 4) + (version == 0x10000 ? "Macintosh       " : std::string(16, '\0')) +
                    mac_be((uint32_t)entries.size(), 2);
  std::string table, stored;
  size_t at = out.size() + 12 * entries.size();
  for (auto &e : entries) {
    table += mac_be((uint32_t)e.first, 4) + mac_be((uint32_t)(at + stored.size()), 4) +
             mac_be((uint32_t)e.second.size(), 4);
    stored += e.second;
  }
  return out + table + stored;
}

TEST(MacWrappers, AppleSingleAndDouble) {
  std::string v2 = applesingle(0x51600, 0x20000, {{1, kData}, {9, std::string(32, 'f')}, {3, "Cl\x8Es"}});
  struct {
    std::string bytes;
    size_t held;  // npos: in memory
    int open, next;
    std::string path, data;
  } cases[] = {
      {v2, std::string::npos, UNPACK_OK, UNPACK_OK, "Cl\xC3\xA9s", kData},
      {applesingle(0x51600, 0x10000, {{1, kData}}), std::string::npos, UNPACK_OK, UNPACK_OK, "notes", kData},
      {applesingle(0x51607, 0x20000, {{2, "resource"}, {9, "finder"}}), std::string::npos, UNPACK_OK,
       UNPACK_END, "", ""},
      {v2, 80, UNPACK_OK, UNPACK_WHOLE, "", ""},  // a stream with the name past the data fork
      {applesingle(0x51600, 0x30000, {{1, kData}}), std::string::npos, UNPACK_NONE, -1, "", ""},
  };
  for (auto &c : cases) {
    outcome o = read_with(unpack_applesingle, c.bytes, "notes.as", c.held);
    expect(o, c.open, c.path, c.data, "", c.path);
    EXPECT_EQ(o.next, c.next) << c.path;
  }
}

}  // namespace
