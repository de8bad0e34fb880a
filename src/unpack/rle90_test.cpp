// The run-length decoding and the Mac Roman names the Macintosh containers
// share.
#include <gtest/gtest.h>

#include <string>

#include "unpack/macroman.h"
#include "unpack/rle90.h"
#include "unpack/unpack_test_util.h"

namespace {

TEST(Rle90, RunsLiteralMarkersAndFaults) {
  struct Case {
    std::string coded, plain;
    const char *error;  // NULL: decodes to plain
  } cases[] = {
      {"ab\x90\x04" "c", "abbbbc", NULL},
      {"a\x90\x01", "a", NULL},                              // a run of one adds nothing
      {std::string("\x90\x00", 2), "\x90", NULL},            // a coded 0x90
      {std::string("\x90\x00\x90\x03", 4), "\x90\x90\x90", NULL},  // and runs of it
      {"x\x90\xFF", std::string(255, 'x'), NULL},
      {"ab\x90", "ab", "truncated data"},                    // the count cut off
      {"\x90\x05", "", "a run with nothing to repeat"},
  };
  for (const Case &c : cases) {
    for (size_t chunk : {(size_t)1, (size_t)512}) {
      mem_source m = {(const uint8_t *)c.coded.data(), c.coded.size(), 0, chunk, false};
      rle90_state s;
      rle90_init(&s, mem_pull, &m);
      std::string out;
      uint8_t buf[7];
      long got;
      while ((got = rle90_read(&s, buf, sizeof buf)) > 0)
        out.append((const char *)buf, (size_t)got);
      EXPECT_EQ(out, c.plain) << c.coded;
      EXPECT_EQ(got, c.error ? -1 : 0) << c.coded;
      if (c.error) {
        EXPECT_STREQ(s.error, c.error);
      }
    }
  }
}

TEST(MacRoman, NamesBecomeUtf8WithSlashesAsColons) {
  char out[16];
  EXPECT_EQ(macroman_to_utf8((const uint8_t *)"Cl\x8E" "s/v2\xC9", 8, out, sizeof out), 11);
  EXPECT_STREQ(out, "Cl\xC3\xA9s:v2\xE2\x80\xA6");  // "Clés:v2…"
  EXPECT_EQ(macroman_to_utf8((const uint8_t *)"\xC9\xC9\xC9\xC9\xC9", 5, out, sizeof out), 15);
  EXPECT_EQ(macroman_to_utf8((const uint8_t *)"\xC9\xC9\xC9\xC9\xC9\xC9", 6, out, sizeof out), -1);
  EXPECT_STREQ(out, "");
}

}  // namespace
