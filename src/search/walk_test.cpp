#include "search/walk.h"

#include <string>

#include <gtest/gtest.h>

#include "run/globals.h"
#include "run_state.h"
#include "search/lists.h"
#include "temp_tree.h"

namespace {

const std::string kKey = std::string("\x99") + std::string(20, 'k');

class Walk : public ::testing::Test {
 protected:
  void SetUp() override { reset_run_state(); }

  // Walks the fixture's root and returns the directory lines.
  std::string walk() {
    std::string dir = tree.path("");
    testing::internal::CaptureStderr();
    walk_directory(dir.c_str());
    return testing::internal::GetCapturedStderr();
  }

  std::string dirs(std::initializer_list<const char *> rel) {
    std::string s;
    for (const char *r : rel)
      s += tree.path(r) + (*r ? PLAT_SEP_STR : "") + "\n";
    return s;
  }

  temp_tree tree;
};

TEST_F(Walk, PostOrderInListingOrder) {
  tree.mkdir("B/D");
  tree.mkdir("e");
  tree.mkdir(".x");
  tree.mkdir("..x");
  add_filetype("*.*");
  g_settings->recurse = 1;
  EXPECT_EQ(walk(), dirs({"..x", ".x", "B/D", "B", "e", ""}));
}

TEST_F(Walk, WithoutRecursionOnlyTheDirectoryItself) {
  tree.write("sub/key.pgp", kKey);
  tree.write("top.pgp", kKey);
  add_filetype("*.*");
  EXPECT_EQ(walk(), dirs({""}));
  EXPECT_EQ(g_files_searched, 1);
}

TEST_F(Walk, MissingDirectoryIsNamedWithTheReason) {
  add_filetype("*.*");
  std::string dir = tree.path("missing/");  // with its separator
  testing::internal::CaptureStderr();
  walk_directory(dir.c_str());
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "couldn't list " + dir + ": No such file or directory\n");
}

TEST_F(Walk, EveryPatternInTurnUntilOneBeginsWithDash) {
  tree.write("a.txt", kKey);
  tree.write("b.pgp", kKey);
  add_filetype("*.TXT");
  add_filetype("*.*");
  add_filetype("-stop");
  add_filetype("*.pgp");
  walk();
  EXPECT_EQ(g_files_searched, 3);  // a.txt twice, b.pgp once
  std::string out = hit_output();
  EXPECT_EQ(out.find(tree.path("a.txt")), 0u);
  EXPECT_NE(out.find(tree.path("b.pgp")), std::string::npos);
}

TEST_F(Walk, DashPatternFirstScansNothingButPrintsTheDirectory) {
  tree.write("a.txt", kKey);
  add_filetype("-A.TXT");
  add_filetype("*.*");
  EXPECT_EQ(walk(), dirs({""}));
  EXPECT_EQ(g_files_searched, 0);
}

TEST_F(Walk, DirectoriesMatchingAPatternAreNotChecked) {
  tree.mkdir("x.txt");
  tree.write("y.txt", kKey);
  add_filetype("*.txt");
  walk();
  EXPECT_EQ(g_files_searched, 1);
}

TEST_F(Walk, LinkedDirectoriesAreNotEntered) {
  tree.write("real/k.pgp", kKey);
  tree.symlink(".", "real/loop");
  tree.symlink("real", "alias");
  add_filetype("*.*");
  g_settings->recurse = 1;
  EXPECT_EQ(walk(), dirs({"real", ""}));
  EXPECT_EQ(g_files_searched, 1);
}

TEST_F(Walk, TooDeepSubdirectoryIsSkippedWithAMessage) {
  // A chain of 200-byte names that passes the path limit.
  std::string name(200, 'n');
  std::string rel = name;
  while (tree.root().size() + rel.size() + 2 < PATH_BUF)
    rel += "/" + name;
  if (!tree.try_mkdir(rel))  // Wine: the host's own limit is far below Windows'
    GTEST_SKIP() << "no path as long as the limit here";
  add_filetype("*.*");
  g_settings->show_dirs = 0;
  g_settings->recurse = 1;
  std::string err = walk();
  std::string deepest_ok = tree.path(rel.substr(0, rel.rfind('/'))) + PLAT_SEP_STR;
  EXPECT_EQ(err, "path too long, skipped: " + deepest_ok + name + "\n");
}

// A directory whose path fits the limit but whose listing ("*.*" after it)
// does not, and a pattern that does not fit after a directory: each is
// named on the error stream, not passed over in silence.
TEST_F(Walk, ListingsBeyondTheLimitAreReported) {
  // A chain of names below the root whose path, with its separator, is
  // two bytes short of the limit.
  std::string rel;
  size_t length = tree.path("").size();
  while (length < PATH_BUF - 2) {
    size_t part = PATH_BUF - 2 - length - 1 < 200 ? PATH_BUF - 2 - length - 1 : 150;
    rel += (rel.empty() ? "" : "/") + std::string(part, 'n');
    length += part + 1;
  }
  if (!tree.try_mkdir(rel))
    GTEST_SKIP() << "no path as long as the limit here";
  tree.write(rel + "/k", kKey);
  std::string deep = tree.path(rel) + PLAT_SEP_STR;
  ASSERT_EQ(deep.size(), (size_t)PATH_BUF - 2);
  add_filetype("*.*");
  g_settings->show_dirs = 0;
  g_settings->recurse = 1;
  EXPECT_EQ(walk(), "path too long, skipped: " + deep + "\n");

  std::string pattern(PATH_BUF, '?');
  add_filetype(pattern.c_str());
  g_settings->recurse = 0;
  EXPECT_EQ(walk(), "path too long, skipped: " + tree.path("") + pattern + "\n");
}

}  // namespace
