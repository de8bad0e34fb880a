#include "log/generic7.h"

#include <stdint.h>
#include <stdlib.h>

#include <string>

#include <gtest/gtest.h>

#include "temp_tree.h"

namespace {

using testing::ExitedWithCode;
using testing::Matcher;

// An exact match of the whole error stream of a death test.
Matcher<const std::string &> is(const std::string &s) {
  return Matcher<const std::string &>(s);
}

const std::string kModule = "\\Work\\C70\\Lib70\\Generic7";

std::string trimmed(const temp_tree &t, const std::string &name, const std::string &bytes) {
  t.write(name, bytes);
  trim_file_at_eof(t.path(name).c_str());
  return t.read(name);
}

TEST(Trim, ShortFilesAreNeverChanged) {
  temp_tree t;
  EXPECT_EQ(trimmed(t, "empty", ""), "");
  EXPECT_EQ(trimmed(t, "nine", std::string("abc\0de\x1a" "fg", 9)),
            std::string("abc\0de\x1a" "fg", 9));
  EXPECT_EQ(trimmed(t, "first", std::string("\0" "2345678", 9)), std::string("\0" "2345678", 9));
}

TEST(Trim, MissingFileIsCreatedEmpty) {
  temp_tree t;
  trim_file_at_eof(t.path("new.log").c_str());
  FILE *f = fopen(t.path("new.log").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(fgetc(f), EOF);
  fclose(f);
}

// Trailing NUL and Ctrl-Z padding is cut; a file holding anything else after
// its first such byte is no log and keeps every byte, whatever its size.
TEST(Trim, CutsOnlyPaddingFromTenBytesOn) {
  temp_tree t;
  struct {
    std::string in, out;
    int result;
  } rows[] = {
      {std::string("123456789\0", 10), "123456789", 0},
      {std::string("ab\x1a\0\0\x1a\0\0\0\0\x1a\0", 12), "ab", 0},
      {std::string("\0\0\0\0\0\0\0\0\0\0", 10), "", 0},
      {"no marks here, line one\nline two\n", "no marks here, line one\nline two\n", 0},
      {std::string("\x1a" "234567890", 10), std::string("\x1a" "234567890", 10), 1},
      {std::string("ab\0" "cd\x1a" "efghij", 12), std::string("ab\0" "cd\x1a" "efghij", 12), 1},
      {std::string("\x99\x00\x8d" "key ring", 11), std::string("\x99\x00\x8d" "key ring", 11), 1},
      {std::string("nine\0byte", 9), std::string("nine\0byte", 9), 1},
  };
  for (auto &r : rows) {
    t.write("acct", r.in);
    EXPECT_EQ(trim_file_at_eof(t.path("acct").c_str()), r.result) << r.in;
    EXPECT_EQ(t.read("acct"), r.out) << r.in;
  }
}

// The file is read a chunk at a time: a mark on either side of a chunk
// boundary with padding to the end, one byte of data chunks after it, and a
// large file without any mark.
TEST(Trim, CutPointAcrossChunks) {
  temp_tree t;
  const size_t chunk = 65536;
  for (size_t at : {chunk - 1, chunk, chunk + 1, 5 * chunk + 7}) {
    std::string in = std::string(at, 'x') + std::string(6 * chunk - at, '\0');
    in[at + 3] = '\x1a';
    EXPECT_EQ(trimmed(t, "acct", in).size(), at) << "mark at " << at;
    in.back() = 'x';
    EXPECT_EQ(trimmed(t, "acct", in), in) << "data after the mark at " << at;
  }
  std::string plain(3 * chunk + 5, 'y');
  EXPECT_EQ(trimmed(t, "acct", plain), plain);
}

TEST(TrimDeath, UnopenableFileEndsTheProcessWithStatusOne) {
  temp_tree t{shared_with_death_test{}};
  t.mkdir("dir.log");
  std::string dir = t.path("dir.log");
  EXPECT_EXIT(trim_file_at_eof(dir.c_str()), ExitedWithCode(1),
              is("\n" + kModule + "\n392\nerror opening " + dir + "\n"));
  std::string missing = t.path("no/such/dir.log");
  EXPECT_EXIT(trim_file_at_eof(missing.c_str()), ExitedWithCode(1),
              is("\n" + kModule + "\n392\nerror opening " + missing + "\n"));
}

TEST(TrimDeath, NoMemoryForTheBufferEndsTheRunWithReasonSix) {
  const std::string message = "\n" + kModule +
                              "\n100\nnot enough memory for buffer\n"
                              "Program termination: reason INSUFFICIENT MEMORY\n";
  EXPECT_EXIT(get_unit_buffer(SIZE_MAX / 2), ExitedWithCode(6), is(message));

  // The same through the allocation seam, reached by cutting a real file.
  // The death test runs in a fresh process, whose first allocation is the
  // buffer's.
  std::string style = GTEST_FLAG_GET(death_test_style);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  temp_tree t{shared_with_death_test{}};
  t.write("acct", std::string(20, 'a'));
  std::string path = t.path("acct");
  putenv(const_cast<char *>("KIVOR_FAIL_ALLOC=1"));
  EXPECT_EXIT(trim_file_at_eof(path.c_str()), ExitedWithCode(6), is(message));
  putenv(const_cast<char *>("KIVOR_FAIL_ALLOC=0"));
  GTEST_FLAG_SET(death_test_style, style);
  EXPECT_EQ(t.read("acct"), std::string(20, 'a'));
}

}  // namespace
