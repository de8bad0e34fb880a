#include <string>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

TEST(Cp437Text, BoxBytesBecomeUtf8) {
  EXPECT_STREQ(plat_cp437_text(0xC9), "\u2554");
  EXPECT_STREQ(plat_cp437_text(0xCD), "\u2550");
  EXPECT_STREQ(plat_cp437_text(0xBB), "\u2557");
  EXPECT_STREQ(plat_cp437_text(0xBA), "\u2551");
  EXPECT_STREQ(plat_cp437_text(0xC8), "\u255A");
  EXPECT_STREQ(plat_cp437_text(0xBC), "\u255D");
  EXPECT_STREQ(plat_cp437_text(0xFB), "\u221A");
}

TEST(Cp437Text, OtherBytesAreWrittenAsTheyAre) {
  EXPECT_EQ(plat_cp437_text('K'), nullptr);
  EXPECT_EQ(plat_cp437_text(0xE9), nullptr);
  EXPECT_EQ(plat_cp437_text(0), nullptr);
}

}  // namespace
