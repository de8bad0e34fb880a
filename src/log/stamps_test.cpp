#include "log/stamps.h"

#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "log/accounting.h"
#include "run/globals.h"
#include "run_state.h"
#include "temp_tree.h"

namespace {

zone_times record(const char *name, int32_t hours, int32_t mark) {
  zone_times z;
  memset(&z, 0, sizeof z);
  snprintf(z.gmt_text, sizeof z.gmt_text, "Wed Jul 02 16:05:07 2008");
  snprintf(z.local_text, sizeof z.local_text, "Wed Jul 02 09:05:07 2008");
  snprintf(z.zone_name, sizeof z.zone_name, "%s", name);
  z.hours_west = hours;
  z.daylight_mark = mark;
  return z;
}

class Stamps : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_run_state();
    g_acct_file = tmpfile();
  }
  void TearDown() override { close_accounting_file(); }

  // Writes the stamp of z for these arguments; returns the accounting file's
  // and the hit file's bytes.
  std::pair<std::string, std::string> stamp(const zone_times &z,
                                            std::vector<const char *> args) {
    write_start_stamp(&z, (int)args.size(), const_cast<char **>(args.data()));
    std::string acct = read_back(g_acct_file);
    g_acct_file = nullptr;
    return {acct, hit_output()};
  }
};

// The same stamp in both destinations; the hit file also gets the command
// line, the program's full path first, every argument as it was given.
TEST_F(Stamps, NamedZoneInBothDestinations) {
  auto out = stamp(record("Pacific Standard Time", 8, 1),
                   {"/opt/kivor", "/data", "-1", "run log.txt"});
  const std::string line =
      "\nProgram started Wed Jul 02 16:05:07 2008 GMT, 09:05 Pacific Standard Time (8*)\n";
  EXPECT_EQ(out.first, line + "/opt/kivor /data -1 run log.txt \n");
  EXPECT_EQ(out.second, line + "\n\n/opt/kivor /data -1 run log.txt \n\n");
}

// Without a zone name the accounting file shows the local time alone; the
// hit stream keeps the hh:mm, two blanks and the zone mark.
TEST_F(Stamps, EmptyZoneName) {
  auto out = stamp(record("", 0, 0), {"/k"});
  EXPECT_EQ(out.first, "\nProgram started Wed Jul 02 09:05:07 2008 Local Time: \n/k \n");
  EXPECT_EQ(out.second, "\nProgram started Wed Jul 02 09:05:07 2008 09:05  (0)\n\n\n/k \n\n");
}

std::string summary(long long elapsed) {
  FILE *f = tmpfile();
  write_summary(f, 12, -3, elapsed);
  return read_back(f);
}

TEST(Summary, ElapsedTimeWithSignedDivision) {
  const std::string counts = "\nSearched 12 files, Found -3 possible hits\nElapsed time:  ";
  EXPECT_EQ(summary(3725), counts + " 1 hrs. 2 mins. 5 secs.\n\n");
  EXPECT_EQ(summary(0), counts + " 0 hrs. 0 mins. 0 secs.\n\n");
  EXPECT_EQ(summary(-3725), counts + " -1 hrs. -2 mins. -5 secs.\n\n");
}

TEST_F(Stamps, SummaryEndsAndClosesTheAccountingRecord) {
  g_files_searched = 7;
  g_hits_found = 2;
  g_start_time = time(nullptr) + 100000;  // a clock set back: hours are negative
  int fd = dup(fileno(g_acct_file));  // to read the file after the summary closes it
  testing::internal::CaptureStderr();
  print_summary();
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(g_acct_file, nullptr);
  FILE *f = fdopen(fd, "rb");
  ASSERT_NE(f, nullptr);
  std::string acct_text = read_back(f);
  const std::string lead =
      "\nSearched 7 files, Found 2 possible hits\nElapsed time:   -27 hrs. -46 mins. -";
  EXPECT_EQ(err.substr(0, lead.size()), lead);
  EXPECT_EQ(acct_text.substr(0, err.size()), err);
  EXPECT_EQ(acct_text.substr(err.size()), std::string(51, '*') + "\n");
  EXPECT_EQ(hit_output(), "");
}

}  // namespace
