#include "platform/pager.h"

#include <string>

#include <gtest/gtest.h>

#include "temp_tree.h"

namespace {

const char *keys = "";  // the keys still to be read, one per prompt
int next_key() {
  return *keys == '\0' ? -1 : *keys++;
}

const std::string kPrompt = PAGER_PROMPT;
const std::string kPause = kPrompt + "\r" + std::string(kPrompt.size(), ' ') + "\r";

// Screens of 3 rows show 2 rows of text, then the prompt.
TEST(Pager, ScreensRowsAndKeys) {
  const struct {
    std::string text;
    int rows, cols;
    const char *keys;
    std::string want;
    int whole;
  } cases[] = {
      {"a\nb\n", 3, 80, "", "a\nb\n", 1},  // one screen: no prompt, even at its end
      {"a\nb\nc\nd\ne\n", 3, 80, "  ", "a\nb\n" + kPause + "c\nd\n" + kPause + "e\n", 1},
      {"a\nb\nc\n", 3, 80, "q", "a\nb\n" + kPause, 0},
      {"a\nb\nc\n", 3, 80, "\x1b", "a\nb\n" + kPause, 0},
      {"a\nb\nc\n", 3, 80, "", "a\nb\n" + kPause, 0},  // end of input
      {std::string(24, '\n'), 0, 0, "x", std::string(23, '\n') + kPause + "\n", 1},
      // Wrapped twice: the line end takes a row of its own.
      {"abcdefgh\nc\n", 3, 4, "x", "abcdefgh" + kPause + "\nc\n", 1},
      {"\tabc\n", 2, 10, "x", "\tab" + kPause + "c\n", 1},  // a tab is 8 columns
      {std::string(23, '\n'), 0, 0, "", std::string(23, '\n'), 1},  // 24 rows
  };
  for (const auto &c : cases) {
    FILE *in = tmpfile(), *out = tmpfile();
    ASSERT_TRUE(in != NULL && out != NULL);
    fputs(c.text.c_str(), in);
    rewind(in);
    keys = c.keys;
    EXPECT_EQ(page_text(in, out, c.rows, c.cols, next_key), c.whole) << c.text;
    fclose(in);
    EXPECT_EQ(read_back(out), c.want) << c.text;
  }
}

}  // namespace
