#include "platform/wildcard.h"

#include <string>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

bool matches(const char *pattern, const std::string &name) {
  char prepared[PLAT_PATH_MAX];
  EXPECT_TRUE(wild_prepare(pattern, prepared, sizeof prepared));
  return wild_match(prepared, name.c_str()) != 0;
}

struct row {
  const char *pattern;
  const char *name;
  bool want;
};

void check(const row *rows, size_t count) {
  for (size_t i = 0; i < count; i++)
    EXPECT_EQ(matches(rows[i].pattern, rows[i].name), rows[i].want)
        << "pattern \"" << rows[i].pattern << "\" name \"" << rows[i].name << "\"";
}

TEST(Wildcard, WindowsDotRules) {
  const row rows[] = {
      {"*.*", "readme", true},      {"*.*", "a.b.c", true},      {"*.*.", "readme", true},
      {"*.", "readme", true},       {"*.", "a.txt", false},      {"*.", "a.b.c", false},
      {"abc*.", "abc", true},       {"abc*.", "abcd", true},     {"abc*.", "abc.txt", false},
      {"abc.", "abc", true},        {"abc..", "abc", true},      {"abc.", "abc.d", false},
      {"*.TXT", "a.b.txt", true},   {"*.txt", "a.txt.bak", false},
      {"*.?", "abc", true},         {"*.?", "a.b", true},        {"*.?", "a.bc", false},
      {"a.*", "a", true},           {"a.*", "a.x.y", true},      {"a.*", "ab", false},
      // A DOS star may pass dots other than the last one, and may run on
      // to the end once the last dot is behind it.
      {"*.c", "x.y.c", true},       {"a*.b*.", "a.bcd", true},   {"a*.b*.", "a.b.c", false},
  };
  check(rows, sizeof rows / sizeof rows[0]);
}

TEST(Wildcard, QuestionMarks) {
  const row rows[] = {
      {"ab??", "ab", true},          {"ab??", "abc", true},         {"ab??", "abcd", true},
      {"ab??", "abcde", false},      {"file?.txt", "file.txt", true}, {"file?.txt", "file1.txt", true},
      {"file?.txt", "file12.txt", false}, {"a?c", "abc", true},     {"a?c", "ac", false},
      {"a?c", "a.c", false},         {"?", "", true},               {"?", ".", false},
  };
  check(rows, sizeof rows / sizeof rows[0]);
}

TEST(Wildcard, StarsAndLiterals) {
  const row rows[] = {
      {"*", "", true},               {"*", ".hidden", true},       {"*a*b*c*", "xaybzc", true},
      {"*a*b*c*", "xcybza", false},  {"a**b", "ab", true},         {"*ab", "aab", true},
      {"*.pgp", "KEY.PGP", true},    {"KEY.PGP", "key.pgp", true}, {"", "", true},
      {"", "a", false},              {"a*", "", false},            {"[a]", "[a]", true},
      // Literal '*' and '?' in a name are matched by the wildcards.
      {"a*b", "a*b", true},          {"a?b", "a?b", true},
  };
  check(rows, sizeof rows / sizeof rows[0]);
}

TEST(Wildcard, BytesAboveAsciiAreExact) {
  EXPECT_TRUE(matches("\xe9t\xe9.txt", "\xe9t\xe9.TXT"));
  EXPECT_FALSE(matches("\xe9*", "\xc9x"));  // no case folding beyond ASCII
  EXPECT_TRUE(matches("?x", "\xffx"));
  EXPECT_FALSE(matches("a", "\xe1"));       // 'a' + 0x80 is not 'a'
  EXPECT_FALSE(matches("\x01*", "\x02x"));  // control bytes are plain literals
}

TEST(Wildcard, PrepareKeepsItsBounds) {
  char out[8];
  EXPECT_FALSE(wild_prepare("abcdefgh", out, sizeof out));
  EXPECT_TRUE(wild_prepare("abcdefg", out, sizeof out));
  EXPECT_TRUE(wild_prepare("*.*", out, 4));
  EXPECT_STREQ(out, "*");
  EXPECT_TRUE(wild_has_wildcards("a?"));
  EXPECT_TRUE(wild_has_wildcards("*"));
  EXPECT_FALSE(wild_has_wildcards("a.b c\xff"));
}

TEST(Wildcard, LongNames) {
  std::string longest(PLAT_NAME_MAX - 1, 'x');
  EXPECT_TRUE(matches("*", longest));
  EXPECT_TRUE(matches("x*x", longest));
  EXPECT_FALSE(matches("*", longest + "x"));  // beyond any real name
  // Many stars over a long name stay quick and correct.
  std::string stars(200, '*');
  EXPECT_TRUE(matches((stars + "y").c_str(), longest.substr(1) + "y"));
  EXPECT_FALSE(matches((stars + "y").c_str(), longest));
}

}  // namespace
