#include "log/hitfile.h"

#include <stdio.h>

#include <string>

#include <gtest/gtest.h>

#include "run/globals.h"
#include "run_state.h"
#include "temp_tree.h"

namespace {

class HitFile : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_run_state();
    fclose(g_hit_stream);  // the capture file the reset made
    g_hit_stream = stdout;
  }
  void TearDown() override {
    if (g_hit_stream != stdout)
      fclose(g_hit_stream);
    g_hit_stream = stdout;
  }

  // Opens the named hit file in mode, writes one line to the hit stream and
  // says whether the stream became a file.
  bool open_and_write(const std::string &path, int mode) {
    snprintf(g_hit_file_name, WIDE_BUF, "%s", path.c_str());
    g_settings->hit_file_mode = mode;
    open_hit_file();
    bool to_file = g_hit_stream != stdout;
    if (to_file) {
      fputs("new hit\n", g_hit_stream);
      fclose(g_hit_stream);
      g_hit_stream = stdout;
    }
    return to_file;
  }

  // The file's lines as the program wrote them in text mode.
  std::string text(const std::string &rel) { return tree.read_text(rel); }

  temp_tree tree;
};

// Mode 1 empties the file, 2 or more append, 0 leaves standard output; a
// file that cannot be opened leaves standard output without a word.
TEST_F(HitFile, ModesAndFailure) {
  tree.write("hits.txt", "old hit\n");
  EXPECT_FALSE(open_and_write(tree.path("hits.txt"), 0));
  EXPECT_TRUE(open_and_write(tree.path("hits.txt"), 3));
  EXPECT_EQ(text("hits.txt"), "old hit\nnew hit\n");
  EXPECT_TRUE(open_and_write(tree.path("hits.txt"), 1));
  EXPECT_EQ(text("hits.txt"), "new hit\n");

  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  EXPECT_FALSE(open_and_write(tree.path("missing/hits.txt"), 1));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
