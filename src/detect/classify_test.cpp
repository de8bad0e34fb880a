// The first-byte test's bounds, on bytes in memory.  How whole files are
// classified is tested through their examination (search/examine_test.cpp).
#include "detect/classify.h"

#include <string.h>

#include <gtest/gtest.h>

namespace {

TEST(ClassifyBytes, MarkerBoundsFollowTheBytesRead) {
  unsigned char b[16] = {0};
  memcpy(b, "\x90xxxxxxxPGP", 11);
  EXPECT_TRUE(has_pgp_marker(b, 11));   // "PGP" at 8 ends at 11
  memcpy(b, "\x90xxxxxxxxPGP", 12);
  EXPECT_FALSE(has_pgp_marker(b, 11));  // at 9 it would end past the bytes read
  EXPECT_TRUE(has_pgp_marker(b, 12));
}

TEST(ClassifyBytes, LengthFitsAtTheExactBoundary) {
  unsigned char b[16] = {0};
  b[0] = 0x84;
  b[1] = 8;
  EXPECT_TRUE(packet_length_fits(b, 10));
  b[1] = 9;
  EXPECT_FALSE(packet_length_fits(b, 10));
}

}  // namespace
