// JSON strings and CSV fields of names that are anyone's invention.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

#include "log/records.h"

namespace {

std::string written(void (*write)(FILE *, const char *, size_t), const std::string &s) {
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
  } cases[] = {
      {"KEYS.ASC", "\"KEYS.ASC\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {"l1\nl2\t\x1b[2J\x7f", "\"l1\\nl2\\t\\u001b[2J\\u007f\""},
      {std::string("n\0ul", 4), "\"n\\u0000ul\""},
      {"Cl\xC3\xA9s \xE2\x80\xA6 \xF0\x9F\x94\x91", "\"Cl\xC3\xA9s \xE2\x80\xA6 \xF0\x9F\x94\x91\""},
      {"caf\xE9.pgp", "\"caf\\udce9.pgp\""},                // Latin-1, not UTF-8
      {"\xC0\xAF \xED\xA0\x80 \xE2\x82", "\"\\udcc0\\udcaf \\udced\\udca0\\udc80 \\udce2\\udc82\""},
  };
  for (auto &c : cases)
    EXPECT_EQ(written(json_string, c.in), c.json) << c.in;
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
