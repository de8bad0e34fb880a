// JSON strings and CSV fields of names that are anyone's invention.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

#include "log/records.h"

namespace {

template <typename Write>
std::string written(Write write, const std::string &s) {
  FILE *f = tmpfile();
  write(f, s.data(), s.size());
  rewind(f);
  std::string out;
  for (int c; (c = fgetc(f)) != EOF;)
    out += (char)c;
  fclose(f);
  return out;
}

TEST(Records, JsonStringsKeepEveryByte) {
  struct {
    std::string in, json;
    bool replaced;
  } cases[] = {
      {"KEYS.ASC", "\"KEYS.ASC\"", false},
      {"a\"b\\c", "\"a\\\"b\\\\c\"", false},
      {"l1\nl2\t\x1b[2J\x7f", "\"l1\\nl2\\t\\u001b[2J\\u007f\"", false},
      {std::string("n\0ul", 4), "\"n\\u0000ul\"", false},
      {"Cl\xC3\xA9s \xE2\x80\xA6 \xF0\x9F\x94\x91", "\"Cl\xC3\xA9s \xE2\x80\xA6 \xF0\x9F\x94\x91\"", false},
      {"caf\xE9.pgp", "\"caf\\ufffd.pgp\"", true},  // Latin-1, not UTF-8
      // overlong, a surrogate, a sequence cut short
      {"\xC0\xAF \xED\xA0\x80 \xE2\x82", "\"\\ufffd\\ufffd \\ufffd\\ufffd\\ufffd \\ufffd\\ufffd\"", true},
  };
  for (auto &c : cases) {
    bool replaced = false;
    EXPECT_EQ(written([&](FILE *f, const char *s, size_t n) { replaced = json_string(f, s, n); }, c.in),
              c.json)
        << c.in;
    EXPECT_EQ(replaced, c.replaced) << c.in;
  }
  EXPECT_EQ(written(json_hex, std::string("caf\xE9", 4)), "\"636166e9\"");
}

TEST(Records, CsvFieldsStayOneField) {
  struct {
    std::string in, csv;
  } cases[] = {
      {"KEYS.ASC", "KEYS.ASC"},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {" lead", "\" lead\""},
      {"two\r\nlines", "two??lines"},
      {"", ""},
  };
  for (auto &c : cases)
    EXPECT_EQ(written(csv_field, c.in), c.csv) << c.in;
}

}  // namespace
