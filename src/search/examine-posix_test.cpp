// check_file on entries that POSIX lists but that cannot be read.
#include "search/examine.h"

#include <string>

#include <gtest/gtest.h>

#include "run/globals.h"
#include "run_state.h"
#include "temp_tree.h"

namespace {

// A FIFO (which an open would block on) and a dangling link are counted,
// reported as not opened, and the run goes on.
TEST(ClassifyPosix, UnopenableEntriesAreReported) {
  reset_run_state();
  temp_tree tree;
  tree.mkfifo("fifo");
  tree.symlink("nowhere", "dangling");
  testing::internal::CaptureStderr();
  check_file(tree.path("").c_str(), "fifo");
  check_file(tree.path("").c_str(), "dangling");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "couldn't open " + tree.path("fifo") + "\ncouldn't open " +
                     tree.path("dangling") + "\n");
  EXPECT_EQ(g_files_searched, 2);
  EXPECT_EQ(hit_output(), "");
}

}  // namespace
