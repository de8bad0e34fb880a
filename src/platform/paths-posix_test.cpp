#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "temp_tree.h"

namespace {

// Runs the test body with the current directory set to dir, and restores it.
class in_directory {
 public:
  explicit in_directory(const std::string &dir) {
    if (getcwd(saved_, sizeof saved_) == nullptr)
      saved_[0] = '\0';
    EXPECT_EQ(chdir(dir.c_str()), 0);
  }
  ~in_directory() {
    if (saved_[0] != '\0' && chdir(saved_) != 0)
      ADD_FAILURE() << "cannot return to " << saved_;
  }

 private:
  char saved_[PATH_MAX];
};

std::string full(const std::string &path) {
  char out[PLAT_PATH_MAX];
  size_t n = plat_full_path(path.c_str(), out, sizeof out);
  if (n == 0)
    return "<fail>";
  EXPECT_EQ(n, strlen(out));
  return out;
}

TEST(FullPath, LexicalResolution) {
  temp_tree t;
  t.mkdir("a/b");
  in_directory cd(t.path("a"));
  const std::string a = t.path("a");
  EXPECT_EQ(full(""), a);
  EXPECT_EQ(full("."), a);
  EXPECT_EQ(full("x"), a + "/x");
  EXPECT_EQ(full("b//c/./d"), a + "/b/c/d");
  EXPECT_EQ(full("b/"), a + "/b/");  // a trailing separator stays
  EXPECT_EQ(full("b/.."), a);
  EXPECT_EQ(full(".."), t.root());
  EXPECT_EQ(full("../a/b/../x*.?"), a + "/x*.?");
  EXPECT_EQ(full("/x/../../.."), "/");
  EXPECT_EQ(full("/../y/"), "/y/");
  EXPECT_EQ(full("//"), "/");
  // ".." is resolved lexically, not through a link.
  t.symlink(t.path("a/b"), "a/link");
  EXPECT_EQ(full("link/.."), a);
}

TEST(FullPath, ResultMustFit) {
  char out[8];
  EXPECT_EQ(plat_full_path("/abcdef", out, sizeof out), 7u);
  EXPECT_STREQ(out, "/abcdef");
  EXPECT_EQ(plat_full_path("/abcdefg", out, sizeof out), 0u);
  EXPECT_EQ(plat_full_path("/abcdef/", out, sizeof out), 0u);  // the kept '/' does not fit
  EXPECT_EQ(plat_full_path("/abcdefgh/..", out, sizeof out), 1u);
  std::string long_path = "/" + std::string(PLAT_PATH_MAX, 'x');
  EXPECT_EQ(full(long_path), "<fail>");
  EXPECT_EQ(full("/" + std::string(PLAT_PATH_MAX - 2, 'x')).size(), (size_t)PLAT_PATH_MAX - 1);
}

TEST(Paths, CurrentDirectoryAndProgram) {
  temp_tree t;
  char out[PLAT_PATH_MAX];
  {
    in_directory cd(t.root());
    EXPECT_EQ(plat_current_dir(out, sizeof out), t.root().size());
    EXPECT_EQ(t.root(), out);
    EXPECT_EQ(plat_current_dir(out, 2), 0u);
  }
  t.mkdir("gone");
  {
    in_directory cd(t.path("gone"));
    ASSERT_EQ(rmdir(t.path("gone").c_str()), 0);
    EXPECT_EQ(plat_current_dir(out, sizeof out), 0u);
    EXPECT_EQ(plat_full_path("x", out, sizeof out), 0u);
  }
  size_t n = plat_program_path("ignored", out, sizeof out);
  ASSERT_GT(n, 0u);
  char real[PATH_MAX];
  ASSERT_NE(realpath("/proc/self/exe", real), nullptr);
  EXPECT_STREQ(out, real);
}

TEST(Paths, DirectoryTest) {
  temp_tree t;
  t.write("f", "");
  t.mkdir("d");
  t.symlink("d", "ld");
  EXPECT_EQ(plat_is_directory(t.path("d").c_str()), 1);
  EXPECT_EQ(plat_is_directory(t.path("ld").c_str()), 1);  // the link is followed
  EXPECT_EQ(plat_is_directory(t.path("f").c_str()), 0);
  EXPECT_EQ(plat_is_directory(t.path("*.*").c_str()), -1);
}

}  // namespace
