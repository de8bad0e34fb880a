#include "log/banner.h"

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "temp_tree.h"

namespace {

std::string stamp(const char *date, const char *time, const char *mark = "\xFB") {
  char out[VERSION_STAMP_SIZE];
  make_version_stamp(date, time, mark, out, sizeof out);
  return out;
}

TEST(VersionStamp, FromBuildDateAndTime) {
  EXPECT_EQ(stamp("Apr 15 2008", "14:54:05"), "08.04.15.14.54\xFB");
  EXPECT_EQ(stamp("Dec  1 2008", "23:59:59"), "08.12.01.23.59\xFB");  // one-digit day
  EXPECT_EQ(stamp("Jan 31 1999", "00:00:00", nullptr), "99.01.31.00.00");
  // A month that is not an English abbreviation, exactly so, gives no digits.
  EXPECT_EQ(stamp("Xyz 15 2008", "14:54:05"), "08..15.14.54\xFB");
  EXPECT_EQ(stamp("apr 15 2008", "14:54:05"), "08..15.14.54\xFB");
}

TEST(VersionStamp, ShortTextsAndSmallBuffersStayInBounds) {
  EXPECT_EQ(stamp("Apr", "1"), ".04..1\xFB");
  EXPECT_EQ(stamp("", ""), "...\xFB");
  char out[6];
  make_version_stamp("Apr 15 2008", "14:54:05", "\xFB", out, sizeof out);
  EXPECT_STREQ(out, "08.04");
}

// The banner's lines as written: code page 437 bytes shown as the console
// shows them.
std::string shown(const std::string &cp437) {
  std::string s;
  for (unsigned char c : cp437) {
    const char *text = plat_cp437_text(c);
    s += text != nullptr ? std::string(text) : std::string(1, (char)c);
  }
  return s;
}

std::string centred(const char *text, int width) {
  FILE *f = tmpfile();
  print_centred(f, text, width);
  return read_back(f);
}

TEST(Centred, PadIsHalfTheRoomLeft) {
  EXPECT_EQ(centred("abc", 10), "   abc");
  EXPECT_EQ(centred("abcd", 10), "   abcd");
  EXPECT_EQ(centred("", 80), std::string(40, ' '));
  EXPECT_EQ(centred("too wide", 4), "too wide");
  EXPECT_EQ(centred("\xBA", 3), " " + shown("\xBA"));  // one column
}

std::string frame(const std::string &text) {
  char line[BOX_WIDTH + 1];
  make_frame_line(text.c_str(), line);
  return line;
}

std::string framed(int left, const std::string &text, int right) {
  return "\xBA" + std::string((size_t)left, ' ') + text + std::string((size_t)right, ' ') + "\xBA";
}

TEST(Frame, TextPlacement) {
  EXPECT_EQ(frame("KIVOR"), framed(35, "KIVOR", 34));  // columns 36 to 40
  EXPECT_EQ(frame("ab"), framed(36, "ab", 36));
  EXPECT_EQ(frame(""), framed(74, "", 0));
  std::string t74(74, 'n'), t73(73, 'n');
  EXPECT_EQ(frame(t74), framed(0, t74, 0));
  EXPECT_EQ(frame(t73), framed(1, t73, 0));
  EXPECT_EQ(frame(t74 + "xyz"), framed(0, t74, 0));  // cut, the frame stays
}

std::string banner(uint32_t n) {
  FILE *f = tmpfile();
  write_banner(f, n, "Apr 15 2008", "14:54:05");
  return read_back(f);
}

std::vector<std::string> lines_of(const std::string &s) {
  std::vector<std::string> lines;
  size_t at = 0, nl;
  while ((nl = s.find('\n', at)) != std::string::npos) {
    lines.push_back(s.substr(at, nl - at));
    at = nl + 1;
  }
  EXPECT_EQ(at, s.size()) << "the banner ends with a newline";
  return lines;
}

TEST(Banner, SevenLinesOfTheBoxAfter29Newlines) {
  std::string b = banner(1);
  ASSERT_EQ(b.substr(0, 29), std::string(29, '\n'));
  std::vector<std::string> lines = lines_of(b.substr(29));
  ASSERT_EQ(lines.size(), 7u);
  const std::string margin = "  ";
  EXPECT_EQ(lines[0], margin + shown("\xC9" + std::string(74, '\xCD') + "\xBB"));
  EXPECT_EQ(lines[1], margin + shown(framed(35, "KIVOR", 34)));
  EXPECT_EQ(lines[2], margin + shown(framed(23, "Ver. 08.04.15.14.54\xFB (32 bit)", 22)));
  EXPECT_EQ(lines[3], margin + shown(framed(74, "", 0)));
  EXPECT_EQ(lines[6], margin + shown("\xC8" + std::string(74, '\xCD') + "\xBC"));
  // The notice and the contact line: text centred in a frame line.
  for (size_t i : {4u, 5u}) {
    std::string inner = lines[i].substr(0, lines[i].size() - shown("\xBA").size());
    inner = inner.substr(margin.size() + shown("\xBA").size());
    ASSERT_EQ(inner.size(), 74u) << lines[i];
    size_t first = inner.find_first_not_of(' '), last = inner.find_last_not_of(' ');
    ASSERT_NE(first, std::string::npos) << "line " << i << " is empty";
    EXPECT_EQ(lines[i], margin + shown(frame(inner.substr(first, last - first + 1))));
  }
}

TEST(Banner, NewlinesBeforeTheBoxCountDownToThirty) {
  std::string box = banner(30);
  EXPECT_NE(box[0], '\n');
  EXPECT_EQ(banner(0), std::string(30, '\n') + box);
  EXPECT_EQ(banner(29), "\n" + box);
  EXPECT_EQ(banner(31), box);
  EXPECT_EQ(banner(UINT32_MAX), box);
}

}  // namespace
