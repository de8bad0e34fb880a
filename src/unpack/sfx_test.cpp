// Telling a self-extractor from an ordinary program by its header and the
// bytes where its program ends.
#include "unpack/sfx.h"

#include <string>

#include <gtest/gtest.h>

namespace {

// A DOS program of pages 512-byte pages, the last holding last bytes.
std::string dos(int pages, int last) {
  std::string b(512, '\0');
  b.replace(0, 6, std::string{'M', 'Z', (char)last, (char)(last >> 8), (char)pages, 0});
  return b;
}

// A Windows program whose one section's raw data ends at end.
std::string windows(unsigned end) {
  std::string b = dos(1, 0);
  b[0x3C] = (char)0x80;
  b.replace(0x80, 4, std::string("PE\0\0", 4));
  b[0x80 + 6] = 1;     // one section
  b[0x80 + 20] = 0;    // no optional header
  size_t s = 0x80 + 24;
  b[s + 16] = (char)(end - 0x200), b[s + 17] = (char)((end - 0x200) >> 8);  // raw size
  b[s + 20] = 0, b[s + 21] = 2;                                             // raw data at 0x200
  return b;
}

TEST(Sfx, WhereTheProgramEndsAndWhatFollows) {
  struct {
    std::string head;
    int64_t size, want;
  } overlays[] = {
      {dos(3, 0x10), 5000, 2 * 512 + 0x10},
      {dos(2, 0), 5000, 1024},       // a full last page
      {dos(2, 0), 1024, -1},         // nothing after the program
      {windows(0x1000), 9000, 0x1000},
      {windows(0x1000), 0x1000, -1},
      {"ZM" + std::string(100, '\0'), 5000, -1},
      {"MZ", 5000, -1},              // too short to be a program
  };
  for (auto &o : overlays)
    EXPECT_EQ(sfx_overlay((const uint8_t *)o.head.data(), (long)o.head.size(), o.size), o.want)
        << o.size;

  std::string lha = std::string("\x20\x00-lh5-", 7);
  const std::string yes[] = {"PK\3\4", std::string(50, '\0') + "Rar!\x1A\x07\x00", "MSCF", lha};
  for (const std::string &b : yes)
    EXPECT_TRUE(sfx_archive_at((const uint8_t *)b.data(), (long)b.size())) << b;
  const std::string no[] = {"", "PK\5\6", std::string(100, '\0') + "PK\3\4", "Rar!", "-lh5"};
  for (const std::string &b : no)
    EXPECT_FALSE(sfx_archive_at((const uint8_t *)b.data(), (long)b.size())) << b;

  std::string end("PK\5\6", 4);
  end += std::string(18, '\0');
  EXPECT_TRUE(sfx_zip_end((const uint8_t *)end.data(), SFX_TAIL));
  end[20] = 5;  // a comment follows: not the last 22 bytes
  EXPECT_FALSE(sfx_zip_end((const uint8_t *)end.data(), SFX_TAIL));
}

}  // namespace
