#include "log/shorten.h"

#include <string>

#include <gtest/gtest.h>

#include "log/shown.h"
#include "run/globals.h"

namespace {

// The worked example, with this platform's separator.
std::string sep(std::string s) {
  for (auto &c : s)
    if (c == '\\')
      c = PLAT_SEP;
  return s;
}

const std::string kName = sep("C:\\DATA\\PROJECTS\\YEAR\\KEYS\\PUBRING.PGP");  // 38

TEST(ShortenPrefix, WorkedExampleTable) {
  struct {
    int width;
    const char *want;
  } rows[] = {
      {7, "C:\\DATA\\PROJECTS\\YEAR\\KEYS\\PUBRING.PGP"},
      {8, "C:\\...\\PUBRING.PGP"},
      {11, "C:\\...\\PUBRING.PGP"},
      {15, "C:\\...\\PUBRING.PGP"},
      {20, "C:\\...\\PUBRING.PGP"},
      {25, "C:\\...\\KEYS\\PUBRING.PGP"},
      {30, "C:\\...\\YEAR\\KEYS\\PUBRING.PGP"},
      {37, "C:\\...\\PROJECTS\\YEAR\\KEYS\\PUBRING.PGP"},
      {38, "C:\\DATA\\PROJECTS\\YEAR\\KEYS\\PUBRING.PGP"},
      {-5, "C:\\DATA\\PROJECTS\\YEAR\\KEYS\\PUBRING.PGP"},
  };
  for (auto &r : rows)
    EXPECT_EQ(shorten_name_prefix(kName.c_str(), r.width), sep(r.want)) << "width " << r.width;
}

TEST(ShortenMiddle, WorkedExampleTable) {
  struct {
    int width;
    const char *want;
  } rows[] = {
      {7, "C:\\DATA\\PROJECTS\\YEAR\\KEYS\\PUBRING.PGP"},
      {10, "C:\\DATA\\PROJECTS\\YEAR\\KEYS\\PUBRING.PGP"},
      {11, "C:\\DATA\\PROJECTS\\YEAR\\KEYS\\PUBRING.PGP...\\PUBRING.PGP"},
      {15, "...\\PUBRING.PGP"},
      {20, "C:\\DA...\\PUBRING.PGP"},
      {25, "C:\\DATA\\PR...\\PUBRING.PGP"},
      {30, "C:\\DATA\\PROJECT...\\PUBRING.PGP"},
      {38, "C:\\DATA\\PROJECTS\\YEAR\\KEYS\\PUBRING.PGP"},
      {-20, "C:\\DATA\\PROJECTS\\YEAR\\KEYS\\PUBRING.PGP"},
  };
  for (auto &r : rows)
    EXPECT_EQ(shorten_name_middle(kName.c_str(), r.width), sep(r.want)) << "width " << r.width;
}

TEST(ShortenMiddle, UnchangedNameIsReturnedItself) {
  EXPECT_EQ(shorten_name_middle(kName.c_str(), 50), kName.c_str());
}

TEST(Shorten, BoundaryAtTheDefaultWidth) {
  std::string fifty = sep("C:\\") + std::string(47, 'a');
  std::string fiftyone = fifty + "b";
  EXPECT_EQ(shorten_name_prefix(fifty.c_str(), 50), fifty);
  EXPECT_EQ(shorten_name_middle(fifty.c_str(), 50), fifty);
  // One character more and each style cuts as its table says, here keeping
  // the last component whole (the middle style then shows it twice).
  const std::string last = std::string(47, 'a') + "b";
  EXPECT_EQ(shorten_name_prefix(fiftyone.c_str(), 50), sep("C:\\...\\") + last);
  EXPECT_EQ(shorten_name_middle(fiftyone.c_str(), 50), fiftyone + sep("...\\") + last);
}

TEST(Shorten, LongLastComponent) {
  std::string name = sep("C:\\ARCHIVE\\A_VERY_LONG_FILE_NAME_OF_FORTY_CHARACTERS.TXT");
  EXPECT_EQ(shorten_name_prefix(name.c_str(), 20),
            sep("C:\\...\\A_VERY_LONG_FILE_NAME_OF_FORTY_CHARACTERS.TXT"));
  EXPECT_EQ(shorten_name_middle(name.c_str(), 50),
            sep("C...\\A_VERY_LONG_FILE_NAME_OF_FORTY_CHARACTERS.TXT"));
  std::string small = sep("C:\\X\\LONGDIRECTORY\\Q.PGP");
  EXPECT_EQ(shorten_name_middle(small.c_str(), 11), sep("C:...\\Q.PGP"));
}

TEST(Shorten, NameWithoutSeparator) {
  std::string name(30, 'x');
  EXPECT_EQ(shorten_name_prefix(name.c_str(), 10), sep("xx\\...") + name);
  EXPECT_EQ(shorten_name_middle(name.c_str(), 20), std::string(name) + "..." + name);
}

TEST(Shorten, LongestPathFitsTheWorkBuffer) {
  std::string name = sep("/") + std::string(PATH_BUF - 2, 'n');
  std::string prefix = shorten_name_prefix(name.c_str(), 8);
  EXPECT_EQ(prefix.size(), 6 + name.size());
  std::string middle = shorten_name_middle(name.c_str(), 11);
  EXPECT_EQ(middle.size(), 2 * name.size() + 3);
}

// In a UTF-8 locale both styles count characters and never split one (the
// 2-, 3- and 4-byte forms at each cut); a name that is not valid UTF-8 is
// counted in bytes, as everywhere else.
TEST(Shorten, Utf8NamesCountCharacters) {
  struct {
    const char *name;
    int width;
    const char *prefix, *middle;  // NULL: unchanged
  } rows[] = {
      {"😀é\\ab\\€€\\€€\\x", 11, "😀é\\...\\€€\\x", "😀é\\ab\\...\\x"},
      {"é€xxxxxxxxx", 8, "é€\\...é€xxxxxxxxx", nullptr},
      {"€€€€€€€€€€\\x.pgp", 12, "€€\\...\\x.pgp", "€€€...\\x.pgp"},
      {"😀é😀é😀é😀é😀é😀\\y", 11, "😀é\\...\\y", "😀é😀é😀é...\\y"},
      {"😀😀😀😀😀😀😀😀\\x", 10, nullptr, nullptr},
      {"€€€€€€€€\\x\xff", 12, "\xe2\x82\\...\\x\xff", "€€...\\x\xff"},  // invalid: bytes
  };
  set_names_in_chars(true);
  for (auto &r : rows) {
    std::string name = sep(r.name);
    EXPECT_EQ(shorten_name_prefix(name.c_str(), r.width), r.prefix ? sep(r.prefix) : name) << r.name;
    EXPECT_EQ(shorten_name_middle(name.c_str(), r.width), r.middle ? sep(r.middle) : name) << r.name;
  }
  set_names_in_chars(false);
}

}  // namespace
