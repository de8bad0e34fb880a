#include "search/lists.h"

#include <stdlib.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run/globals.h"
#include "run_state.h"

namespace {

class FileTypes : public ::testing::Test {
 protected:
  void SetUp() override { reset_run_state(); }
  void TearDown() override {
    for (int i = 0; i < LIST_SLOTS; i++) {
      free(g_filetypes[i]);  // a run never frees them; the sanitizer would see leaks
      g_filetypes[i] = nullptr;
    }
  }

  std::vector<std::string> held() {
    std::vector<std::string> v;
    for (int i = 0; g_filetypes[i] != nullptr; i++)
      v.push_back(g_filetypes[i]);
    return v;
  }
};

TEST_F(FileTypes, DuplicatesAreDroppedByExactBytesOnly) {
  add_filetype("*.*");
  add_filetype("*.PGP");
  add_filetype("*.*");
  add_filetype("*.pgp");  // differs in case: kept
  add_filetype("*.PGP ");
  EXPECT_EQ(held(), (std::vector<std::string>{"*.*", "*.PGP", "*.pgp", "*.PGP "}));
}

TEST_F(FileTypes, TheListKeepsACopy) {
  char pattern[] = "*.ASC";
  add_filetype(pattern);
  pattern[2] = 'X';
  EXPECT_EQ(held(), (std::vector<std::string>{"*.ASC"}));
}

// Fifteen entries and the closing NULL: a sixteenth is refused with one
// line naming it, and refusing again changes nothing.
TEST_F(FileTypes, ASixteenthIsRefusedWithOneLine) {
  for (int i = 0; i < 15; i++)
    add_filetype(("*." + std::to_string(i)).c_str());
  testing::internal::CaptureStderr();
  add_filetype("*.X");
  add_filetype("*.Y");
  add_filetype("*.0");  // a duplicate is still only a duplicate
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Too many file types (at most 15): *.X not added\n"
            "Too many file types (at most 15): *.Y not added\n");
  EXPECT_EQ(held().size(), 15u);
  EXPECT_EQ(held().back(), "*.14");
  EXPECT_EQ(g_filetypes[LIST_SLOTS - 1], nullptr);
}

}  // namespace
