#include "log/shown.h"

#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "run/globals.h"
#include "temp_tree.h"

namespace {

std::string field(const char *name, int width) {
  FILE *f = tmpfile();
  fprint_name_field(f, name, width);
  return read_back(f);
}

// Bytes above 127 are kept where names are shown as their bytes; where they
// are converted for the console first (Windows), platform-win32_test has
// them.
TEST(Shown, ControlBytesBecomeQuestionMarksAndNothingElseChanges) {
  const bool as_bytes = !PLAT_NAMES_BY_MODE;
  struct {
    const char *name, *want;
  } rows[] = {
      {"k\nFAKE.PGP", "k?FAKE.PGP"},
      {"\x1b]0;title\x07\x1b[2J", "?]0;title??[2J"},
      {"\x01\x1f\x20\x7f\x80\xe9\xff", "?? ?\x80\xe9\xff"},
  };
  for (auto &r : rows) {
    if (!as_bytes && strchr(r.name, '\x80') != nullptr)
      continue;
    EXPECT_EQ(shown_name(r.name), std::string(r.want));
    FILE *f = tmpfile();
    fprint_name(f, r.name);
    EXPECT_EQ(read_back(f), r.want);
  }
  const char *plain = as_bytes ? "plain \xe9 name" : "plain name";
  EXPECT_EQ(shown_name(plain), plain);  // no copy
  const char *a = shown_name("a\t"), *b = shown_name("b\t");  // two in one message
  EXPECT_EQ(std::string(a) + b, "a?b?");
  std::string huge(WIDE_BUF + 10, '\n');
  EXPECT_EQ(shown_name(huge.c_str()), std::string(WIDE_BUF - 4, '?') + "...");
}

// The hit line's field, as "%-*.*s" with width, width, counted in
// characters of a valid UTF-8 name when characters count, else in bytes.
TEST(Shown, FieldPadsAndCutsByCharacters) {
  struct {
    bool chars;
    const char *name;
    int width;
    const char *want;
  } rows[] = {
      {false, "abcdef", 3, "abc"},      {false, "abcdef", -3, "abcdef"},
      {false, "a\nb\x7f", 5, "a?b? "},  {false, "ä€", 4, "ä\xe2\x82"},  // bytes split
      {true, "ä€😀x", 3, "ä€😀"},        {true, "ä€", -4, "ä€  "},
      {true, "\xe9\xe9\xe9", 2, "\xe9\xe9"},  // not UTF-8: bytes
      {true, "\xed\xa0\x80x", 2, "\xed\xa0"},  // nor is a surrogate
  };
  for (auto &r : rows) {
    set_names_in_chars(r.chars);
    EXPECT_EQ(field(r.name, r.width), r.want) << r.name << " " << r.width;
  }
  set_names_in_chars(false);
}

}  // namespace
