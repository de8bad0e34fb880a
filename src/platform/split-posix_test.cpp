#include <string>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

std::string split(const char *path, size_t size = 64) {
  char drive[64] = "?", dir[64] = "?", fname[64] = "?", ext[64] = "?";
  plat_split_path(path, drive, dir, fname, ext, size);
  return std::string(drive) + "|" + dir + "|" + fname + "|" + ext;
}

TEST(SplitPath, PiecesOfAPosixPath) {
  EXPECT_EQ(split("/data/KEYS.TXT"), "|/data/|KEYS|.TXT");
  EXPECT_EQ(split("/data/a.b.c"), "|/data/|a.b|.c");
  EXPECT_EQ(split("/data/.profile"), "|/data/||.profile");
  EXPECT_EQ(split("/data/noext"), "|/data/|noext|");
  EXPECT_EQ(split("/data/trail."), "|/data/|trail|.");
  EXPECT_EQ(split("/new/"), "|/new/||");
  EXPECT_EQ(split("/"), "|/||");
  EXPECT_EQ(split("/d.x/name"), "|/d.x/|name|");  // a dot in a directory is no extension
  EXPECT_EQ(split("C:\\DATA\\X.PGP"), "||C:\\DATA\\X|.PGP");  // a backslash is a name byte
  EXPECT_EQ(split("name"), "||name|");
  EXPECT_EQ(split(""), "|||");
}

TEST(SplitPath, PiecesAreCutToTheirBuffers) {
  EXPECT_EQ(split("/abcdef/ghijkl.mnopq", 4), "|/ab|ghi|.mn");
  EXPECT_EQ(split("/x/y.z", 1), "|||");
  char dir[16];
  plat_split_path("/x/y.z", nullptr, dir, nullptr, nullptr, sizeof dir);
  EXPECT_EQ(std::string(dir), "/x/");
}

}  // namespace
