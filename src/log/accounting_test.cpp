#include "log/accounting.h"

#include <stdio.h>

#include <string>

#include <gtest/gtest.h>

#include "run/globals.h"
#include "run_state.h"
#include "temp_tree.h"

namespace {

const std::string kSeparator = "\n****************************************\n";

class Accounting : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_run_state();
    close_accounting_file();
  }
  void TearDown() override { close_accounting_file(); }

  // Opens the file as the run's accounting file, as option -1 does.
  void open(const std::string &rel) { g_acct_file = open_accounting_file(tree.path(rel).c_str()); }

  // The file's lines as the program wrote them in text mode.
  std::string text(const std::string &rel) { return tree.read_text(rel); }

  temp_tree tree;
};

// Existing content is kept up to its first NUL or Ctrl-Z (from 10 bytes on)
// and the separator follows it; a missing file is created.
TEST_F(Accounting, SeparatorFollowsWhatIsKept) {
  struct {
    const char *name;
    bool exists;
    std::string before, after;
  } rows[] = {
      {"new.log", false, "", kSeparator},
      {"plain.log", true, "run one\n", "run one\n" + kSeparator},
      {"tail.log", true, std::string("old record\n\0\0\0", 14), "old record\n" + kSeparator},
  };
  for (auto &r : rows) {
    if (r.exists)
      tree.write(r.name, r.before);
    open(r.name);
    ASSERT_NE(g_acct_file, nullptr) << r.name;
    close_accounting_file();
    EXPECT_EQ(text(r.name), r.after) << r.name;
  }
}

TEST_F(Accounting, OverrideNamesTheNewFileByItsFullPath) {
  open("a.log");
  std::string b = tree.path("sub/../b.log");
  override_accounting_file(b.c_str());
  EXPECT_EQ(g_acct_file, nullptr);
  EXPECT_EQ(text("a.log"), kSeparator + "This file closed.\n" +
                                    "Accounting file overridden by option -1 file pointing to " +
                                    tree.path("b.log") + "\n");
}

// A name whose full path cannot be formed is shown as it was given.
TEST_F(Accounting, OverrideWithAnOverlongNameShowsTheNameAsGiven) {
  open("a.log");
  std::string longname = tree.path(std::string(2 * PLAT_PATH_MAX, 'n'));
  override_accounting_file(longname.c_str());
  EXPECT_EQ(text("a.log"), kSeparator + "This file closed.\n" +
                                    "Accounting file overridden by option -1 file pointing to " +
                                    longname + "\n");
}

TEST_F(Accounting, OverrideAndCloseWithoutAnOpenFileDoNothing) {
  override_accounting_file(tree.path("b.log").c_str());
  close_accounting_file();
  EXPECT_EQ(g_acct_file, nullptr);
  EXPECT_EQ(text("b.log"), "");
}

}  // namespace
