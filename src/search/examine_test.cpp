#include "search/examine.h"

#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "run/globals.h"
#include "run_state.h"
#include "temp_tree.h"

namespace {

std::string bytes(std::initializer_list<int> head, size_t size = 200, char fill = 'x') {
  std::string s(size, fill);
  size_t i = 0;
  for (int b : head)
    s[i++] = (char)b;
  return s;
}

class Classify : public ::testing::Test {
 protected:
  void SetUp() override { reset_run_state(); }

  // Examines a file holding content and returns the kind its hit line names
  // ("" for no line).  The name field is 50 characters and a blank.
  std::string kind_of(const std::string &content, const char *name = "f") {
    tree.write(name, content);
    int hits = g_hits_found;
    check_file(tree.path("").c_str(), name);
    std::string out = hit_output().substr(consumed);
    consumed += out.size();
    if (out.empty())
      return "";
    EXPECT_EQ(g_hits_found, hits + 1);
    EXPECT_EQ(out.back(), '\n');
    return out.substr(51, out.size() - 52);
  }

  temp_tree tree;
  size_t consumed = 0;
};

TEST_F(Classify, TagsReportedWithoutFurtherTest) {
  EXPECT_EQ(kind_of(bytes({0x95})), "secret key certificate");
  EXPECT_EQ(kind_of(bytes({0x99})), "public key certificate");
  EXPECT_EQ(kind_of(bytes({0xA4})), "conventional key encryption");
  EXPECT_EQ(kind_of(bytes({0xB0})), "key control packet");
  EXPECT_EQ(kind_of(bytes({0xB4})), "user id packet");
  EXPECT_EQ(kind_of(bytes({0xA3, 0x00})), "compressed data");
  EXPECT_EQ(kind_of(bytes({0xA3, 0x01})), "compressed data signature only");
  EXPECT_EQ(g_files_searched, 7);
}

TEST_F(Classify, LengthTestedTags) {
  // Tag 1, 16-bit length 140, header 3: needs 143 bytes.
  EXPECT_EQ(kind_of(bytes({0x85, 0x00, 0x8C}, 143)), "encrypted");
  EXPECT_EQ(kind_of(bytes({0x85, 0x00, 0x8C}, 142)), "");
  // A short file fails the length test and gets no marker test either.
  EXPECT_EQ(kind_of(bytes({0x85, 0x00, 0x8C, 'P', 'G', 'P'}, 100)), "");
  EXPECT_EQ(kind_of(bytes({0x84, 0x00})), "");  // stated length 0
  EXPECT_EQ(kind_of(bytes({0x88, 0x08}, 10)), "packet signed, RSA secret key");
  EXPECT_EQ(kind_of(bytes({0x8C, 0x09}, 10)), "");
  EXPECT_EQ(kind_of(bytes({0x8E, 0, 0, 0, 0x05}, 10)), "encrypted, possibly signed");
  EXPECT_EQ(kind_of(bytes({0x8E, 0xFF, 0xFF, 0xFF, 0xFF})), "");  // no overflow
  EXPECT_EQ(kind_of(bytes({0x87, 0x01})), "");  // indeterminate length never fits
}

TEST_F(Classify, EncryptedAndSignedSuffix) {
  EXPECT_EQ(kind_of(bytes({0x84, 0x10, 0, 0, 1})), "encrypted & signed");
  EXPECT_EQ(kind_of(bytes({0x85, 0x00, 0x10, 0, 0, 1})), "encrypted & signed");
  EXPECT_EQ(kind_of(bytes({0x84, 0x10, 0, 0, 0, 1})), "encrypted");  // b[5] needs length type 1
}

TEST_F(Classify, LiteralDataModeByteFollowsTheLengthField) {
  EXPECT_EQ(kind_of(bytes({0xAC, 0x20, 't'})), "possibly literal plaintext");
  EXPECT_EQ(kind_of(bytes({0xAD, 0x00, 0x20, 'b'})), "possibly literal plaintext");
  EXPECT_EQ(kind_of(bytes({0xAE, 0, 0, 0, 0x20, 't'})), "possibly literal plaintext");
  EXPECT_EQ(kind_of(bytes({0xAF, 'b'})), "possibly literal plaintext");
  EXPECT_EQ(kind_of(bytes({0xAC, 't', 0x00})), "");
  EXPECT_EQ(kind_of(bytes({0xAC, 't', 0x00, 'P', 'G', 'P'})), "DHDSS > PGP5.x encryption");
}

TEST_F(Classify, MarkerTest) {
  EXPECT_EQ(kind_of(bytes({0xA8, 0x03, 'P', 'G', 'P'})), "DHDSS > PGP5.x encryption");
  EXPECT_EQ(kind_of(bytes({0xB8, 'P', 'G', 'P'})), "");  // tag 14: never
  EXPECT_EQ(kind_of(bytes({0xC6})), "");                 // tag 17: marker only
  EXPECT_EQ(kind_of(bytes({0xC6, 0, 0, 0, 0, 0, 0, 0, 0, 'P', 'G', 'P'})),
            "DHDSS > PGP5.x encryption");
  EXPECT_EQ(kind_of(bytes({0xC6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'P', 'G', 'P'})), "");
  EXPECT_EQ(kind_of(bytes({0x80, 'P', 'G', 'P'})), "DHDSS > PGP5.x encryption");
  EXPECT_EQ(kind_of(bytes({0x7F, 'P', 'G', 'P'})), "");  // text branch
}

TEST_F(Classify, TextBranch) {
  EXPECT_EQ(kind_of("hello\n-----BEGIN PGP MESSAGE-----\n"), "possible ascii armor");
  EXPECT_EQ(kind_of("-----BEGIN PGP PUBLIC KEY BLOCK-----\n"), "ascii armored key");
  EXPECT_EQ(kind_of("KEY BLOCK then --BEGIN PGP MESSAGE--"), "possible ascii armor");
  EXPECT_EQ(kind_of(std::string("text\0 --BEGIN PGP MESSAGE--", 28)), "");
  EXPECT_EQ(kind_of("just some text, nothing else"), "");
  EXPECT_EQ(kind_of(std::string(10140, 'a') + "--BEGIN PGP MESSAGE--"), "");
  EXPECT_EQ(kind_of(std::string(10119, 'a') + "--BEGIN PGP MESSAGE--"), "possible ascii armor");
}

TEST_F(Classify, ShortFilesAreCountedButNotJudged) {
  EXPECT_EQ(kind_of(""), "");
  EXPECT_EQ(kind_of(bytes({0x99}, 9)), "");
  EXPECT_EQ(g_files_searched, 2);
  EXPECT_EQ(kind_of(bytes({0x99}, 10)), "public key certificate");
}

TEST_F(Classify, ComFilesAreCountedNotOpened) {
  g_settings->skip_com = 1;
  EXPECT_EQ(kind_of(bytes({0x99}), "A.CoM"), "");
  EXPECT_EQ(g_files_searched, 1);
  EXPECT_EQ(kind_of(bytes({0x99}), "a.com.txt"), "public key certificate");
  g_settings->skip_com = 0;
  EXPECT_EQ(kind_of(bytes({0x99}), "b.com"), "public key certificate");
}

TEST_F(Classify, NameFieldIsPaddedAndCut) {
  g_settings->name_width = 20;
  tree.write("k", bytes({0x99}));
  check_file(tree.path("").c_str(), "k");
  std::string line = hit_output();
  ASSERT_EQ(line.size(), 20u + 1 + 22 + 1);
  EXPECT_EQ(line.substr(20), " public key certificate\n");

  std::string name = tree.path("k");
  g_settings->name_width = (int)name.size() + 5;
  check_file(tree.path("").c_str(), "k");
  EXPECT_EQ(hit_output().substr(line.size()), name + "      public key certificate\n");
}

TEST_F(Classify, HitFileAndVanishedFilesAreNotCounted) {
  tree.write("hits.txt", bytes({0x99}));
  snprintf(g_hit_file_name, WIDE_BUF, "%s", tree.path("hits.txt").c_str());
  check_file(tree.path("").c_str(), "hits.txt");
  check_file(tree.path("").c_str(), "gone");
  EXPECT_EQ(g_files_searched, 0);
  EXPECT_EQ(hit_output(), "");
}

TEST_F(Classify, OverlongFullNameIsSkippedWithAMessage) {
  std::string dir = PLAT_SEP_STR + std::string(PATH_BUF - 10, 'd') + PLAT_SEP_STR;
  testing::internal::CaptureStderr();
  check_file(dir.c_str(), "0123456789");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "path too long, skipped: " + dir + "0123456789\n");
  EXPECT_EQ(g_files_searched, 0);
}

}  // namespace
