#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "temp_tree.h"

namespace {

struct found {
  std::string name;
  uint32_t attributes;
};

// Every entry a search returns, in order; empty when the search fails.
std::vector<found> list(const std::string &search) {
  std::vector<found> out;
  struct plat_find_data fd;
  struct plat_find *h = plat_find_first(search.c_str(), &fd);
  if (h == nullptr)
    return out;
  do
    out.push_back({fd.name, fd.attributes});
  while (plat_find_next(h, &fd));
  plat_find_close(h);
  return out;
}

std::vector<std::string> names(const std::vector<found> &v) {
  std::vector<std::string> out;
  for (const auto &f : v)
    out.push_back(f.name);
  return out;
}

TEST(Listing, DotsFirstThenUpperCasedOrder) {
  temp_tree t;
  for (const char *n : {"b", "A", "_x", "a", "-", "B.txt", "\xe9"})
    t.write(n, "");
  t.mkdir("dir");
  std::vector<found> all = list(t.path("*.*"));
  // '_' (0x5F) sorts after upper-case letters; "A" before "a" on a tie.
  EXPECT_EQ(names(all), (std::vector<std::string>{".", "..", "-", "A", "a", "b", "B.txt", "dir", "_x",
                                                  "\xe9"}));
  EXPECT_EQ(all[0].attributes, (uint32_t)PLAT_ATTR_DIRECTORY);
  EXPECT_EQ(all[7].attributes, (uint32_t)PLAT_ATTR_DIRECTORY);
  EXPECT_EQ(all[3].attributes, 0u);
  EXPECT_EQ(names(list(t.path("*.TXT"))), (std::vector<std::string>{"B.txt"}));
  EXPECT_TRUE(list(t.path("*.none")).empty());
  EXPECT_TRUE(list(t.path("missing/*")).empty());
}

TEST(Listing, ExactLookupOfAwkwardNames) {
  temp_tree t;
  for (const char *n : {"a*b", "q?", "two words ", "\xe9t\xe9", "abc", "end."})
    t.write(n, "x");
  for (const char *n : {"two words ", "\xe9t\xe9", "abc", "end."})
    EXPECT_EQ(names(list(t.path(n))), (std::vector<std::string>{n})) << n;
  // Lookups are exact: another case is a different name on POSIX.
  EXPECT_TRUE(list(t.path("ABC")).empty());
  // Names holding wildcards are found through the listing, which matches
  // them too.
  EXPECT_EQ(names(list(t.path("a*b"))), (std::vector<std::string>{"a*b"}));
  EXPECT_EQ(names(list(t.path("q?"))), (std::vector<std::string>{"q?"}));
  // A bad byte replaced by '?' still finds the file.
  EXPECT_EQ(names(list(t.path("?t?"))), (std::vector<std::string>{"\xe9t\xe9"}));
  // Trailing dots are dropped when the exact name is missing.
  EXPECT_EQ(names(list(t.path("abc."))), (std::vector<std::string>{"abc"}));
  EXPECT_EQ(names(list(t.path("abc..."))), (std::vector<std::string>{"abc"}));
  EXPECT_TRUE(list(t.path("abd.")).empty());
  EXPECT_TRUE(list(t.root() + "/").empty());  // no name at all
}

TEST(Listing, SymbolicLinksCarryTheReparseFlag) {
  temp_tree t;
  t.mkdir("real");
  t.write("file", "");
  t.symlink("real", "to_dir");
  t.symlink("file", "to_file");
  t.symlink("nowhere", "dangling");
  const uint32_t link_dir = PLAT_ATTR_DIRECTORY | PLAT_ATTR_REPARSE;
  std::vector<found> all = list(t.path("*"));
  ASSERT_EQ(names(all), (std::vector<std::string>{".", "..", "dangling", "file", "real", "to_dir", "to_file"}));
  EXPECT_EQ(all[2].attributes, (uint32_t)PLAT_ATTR_REPARSE);
  EXPECT_EQ(all[5].attributes, link_dir);
  EXPECT_EQ(all[6].attributes, (uint32_t)PLAT_ATTR_REPARSE);
  // The exact lookup agrees with the listing.
  EXPECT_EQ(list(t.path("to_dir"))[0].attributes, link_dir);
  EXPECT_EQ(list(t.path("dangling"))[0].attributes, (uint32_t)PLAT_ATTR_REPARSE);
}

TEST(Listing, LimitsAndReuse) {
  temp_tree t;
  t.write("f", "");
  EXPECT_TRUE(list(std::string(PLAT_PATH_MAX, 'a')).empty());
  EXPECT_TRUE(list(t.path(std::string(PLAT_NAME_MAX, 'n'))).empty());
  // Listings open at the same time stay independent, and closed ones are
  // reused without mixing up their entries.
  struct plat_find_data a, b;
  struct plat_find *ha = plat_find_first(t.path("*").c_str(), &a);
  struct plat_find *hb = plat_find_first(t.path("f").c_str(), &b);
  ASSERT_NE(ha, nullptr);
  ASSERT_NE(hb, nullptr);
  EXPECT_FALSE(plat_find_next(hb, &b));
  plat_find_close(hb);
  EXPECT_TRUE(plat_find_next(ha, &a));
  EXPECT_STREQ(a.name, "..");
  EXPECT_TRUE(plat_find_next(ha, &a));
  EXPECT_STREQ(a.name, "f");
  EXPECT_FALSE(plat_find_next(ha, &a));
  plat_find_close(ha);
  plat_find_close(nullptr);
}

TEST(FileAccess, OpensOnlyRegularFiles) {
  temp_tree t;
  t.write("five", "12345");
  t.write("empty", "");
  t.mkfifo("pipe");  // a FIFO without writer: an open for reading would block
  t.mkdir("dir");
  t.symlink("five", "link");
  char buf[10140];
  for (const char *n : {"five", "link"}) {
    plat_handle h = plat_open_read(t.path(n).c_str());
    ASSERT_NE(h, PLAT_INVALID_HANDLE) << n;
    EXPECT_EQ(plat_read(h, buf, sizeof buf), 5);
    EXPECT_EQ(plat_read(h, buf, sizeof buf), 0);
    plat_close(h);
  }
  plat_handle h = plat_open_read(t.path("empty").c_str());
  ASSERT_NE(h, PLAT_INVALID_HANDLE);
  EXPECT_EQ(plat_read(h, buf, sizeof buf), 0);
  plat_close(h);
  for (const char *n : {"pipe", "dir", "missing"})
    EXPECT_EQ(plat_open_read(t.path(n).c_str()), PLAT_INVALID_HANDLE) << n;
  EXPECT_EQ(plat_open_read("/dev/null"), PLAT_INVALID_HANDLE);
  EXPECT_EQ(plat_read(PLAT_INVALID_HANDLE, buf, 1), -1);
}

TEST(FileAccess, AccessTimeIsLeftAlone) {
  temp_tree t;
  t.write("f", "data");
  struct timespec old_times[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, t.path("f").c_str(), old_times, 0), 0);
  plat_handle h = plat_open_read(t.path("f").c_str());
  ASSERT_NE(h, PLAT_INVALID_HANDLE);
  char buf[8];
  EXPECT_EQ(plat_read(h, buf, sizeof buf), 4);
  plat_close(h);
  struct stat st;
  ASSERT_EQ(stat(t.path("f").c_str(), &st), 0);
  EXPECT_EQ(st.st_atime, (time_t)1000000000);
}

}  // namespace
