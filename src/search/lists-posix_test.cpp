// Search directories and path arguments with POSIX paths: '/' separators,
// no drives, names that differ by case are different names.
#include "search/lists.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run/globals.h"
#include "run_state.h"
#include "temp_tree.h"

namespace {

std::vector<std::string> listed(char **list) {
  std::vector<std::string> v;
  for (int i = 0; list[i] != nullptr; i++)
    v.push_back(list[i]);
  return v;
}

using names = std::vector<std::string>;

// Empties both lists and frees their copies (a run never does; tests that
// fill the lists again and again must, or the sanitizer sees leaks).
void free_lists() {
  for (char **list : {g_searchdirs, g_filetypes})
    for (int i = 0; i < LIST_SLOTS; i++) {
      free(list[i]);
      list[i] = nullptr;
    }
}

// Every test runs in work/ of a fresh tree that also holds data/ with a
// file KEYS.TXT.
class SearchLists : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_run_state();
    t.write("data/KEYS.TXT", "k");
    t.mkdir("work");
    ASSERT_NE(getcwd(saved_, sizeof saved_), nullptr);
    ASSERT_EQ(chdir(t.path("work").c_str()), 0);
  }
  void TearDown() override {
    free_lists();
    EXPECT_EQ(chdir(saved_), 0);
  }

  names dirs() { return listed(g_searchdirs); }
  names types() { return listed(g_filetypes); }
  std::string p(const std::string &rel) { return t.path(rel); }

  temp_tree t;
  char saved_[PATH_MAX];
};

TEST_F(SearchLists, DirectoriesAreStoredAsFullPathsWithoutATrailingSeparator) {
  add_searchdir("sub/");
  add_searchdir(p("data/").c_str());
  add_searchdir(p("data").c_str());
  add_searchdir("../data/.");
  add_searchdir("");  // the current directory
  add_searchdir("/");
  add_searchdir("//");
  EXPECT_EQ(dirs(), (names{p("work/sub"), p("data"), p("work"), "/"}));
}

TEST_F(SearchLists, DirectoriesDifferingInCaseAreBothKept) {
  add_searchdir("/Data");
  add_searchdir("/data");
  add_searchdir("/DATA/");
  EXPECT_EQ(dirs(), (names{"/Data", "/data", "/DATA"}));
}

// The separator the walk needs is appended in place, once, into the byte
// kept for it (the sanitizer build checks the write); a root has its own.
TEST_F(SearchLists, EachDirectoryIsWalkedWithItsSeparator) {
  add_searchdir(p("data/").c_str());
  add_searchdir("/");
  EXPECT_EQ(std::string(walk_root(0)), p("data/"));
  EXPECT_EQ(std::string(walk_root(0)), p("data/"));
  EXPECT_EQ(std::string(walk_root(1)), "/");
  EXPECT_EQ(walk_root(2), nullptr);
}

TEST_F(SearchLists, ASixteenthDirectoryIsRefusedWithOneLine) {
  for (int i = 0; i < 15; i++)
    add_searchdir(("/d" + std::to_string(i)).c_str());
  testing::internal::CaptureStderr();
  add_searchdir("/d15");
  add_searchdir("/d3/");  // a duplicate
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Too many search directories (at most 15): /d15 not added\n");
  EXPECT_EQ(dirs().size(), 15u);
  EXPECT_EQ(g_searchdirs[LIST_SLOTS - 1], nullptr);
}

TEST_F(SearchLists, APathTooLongForAFullPathIsSkippedWithAMessage) {
  std::string huge = "/" + std::string(PATH_BUF, 'x');
  testing::internal::CaptureStderr();
  add_searchdir(huge.c_str());
  add_path_argument(huge.c_str());
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "couldn't form the full path of " + huge + ", skipped\n" +
                "couldn't form the full path of " + huge + ", skipped\n");
  EXPECT_TRUE(dirs().empty());
  EXPECT_TRUE(types().empty());
}

TEST_F(SearchLists, PathArguments) {
  struct {
    std::vector<std::string> args;
    names dirs, types;
  } cases[] = {
      {{p("data")}, {p("data")}, {}},
      {{p("data/*.PGP")}, {p("data")}, {"*.PGP"}},
      {{p("data/*.PGP"), p("data/*.ASC"), p("data/*.PGP")}, {p("data")}, {"*.PGP", "*.ASC"}},
      {{"*.ASC"}, {p("work")}, {"*.ASC"}},
      {{p("data/KEYS.TXT")}, {p("data")}, {"KEYS.TXT"}},
      {{p("new/")}, {p("new")}, {}},
      {{p("x/-A.TXT"), p("data/*.c")}, {p("x"), p("data")}, {"-A.TXT", "*.c"}},
      {{p("data"), p("data/*.PGP"), p("DATA/*.PGP")}, {p("data"), p("DATA")}, {"*.PGP"}},
      {{"/*.TXT", "/tmp/../"}, {"/"}, {"*.TXT"}},
      {{"a.b.c", ".profile", "noext."}, {p("work")}, {"a.b.c", ".profile", "noext."}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.args[0]);
    free_lists();
    for (const auto &a : c.args)
      add_path_argument(a.c_str());
    EXPECT_EQ(dirs(), c.dirs);
    EXPECT_EQ(types(), c.types);
  }
}

// Links are followed when named: a link to a directory is a directory.
TEST_F(SearchLists, ALinkToADirectoryNamesTheDirectory) {
  t.symlink(p("data"), "work/to-data");
  add_path_argument("to-data");
  EXPECT_EQ(dirs(), (names{p("work/to-data")}));
  EXPECT_TRUE(types().empty());
}

}  // namespace
