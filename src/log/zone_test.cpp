#include "log/zone.h"

#include <string.h>

#include <string>

#include <gtest/gtest.h>

namespace {

std::string text(const struct tm &tm) {
  char out[TIME_TEXT_SIZE];
  return format_time_text(&tm, out, sizeof out) ? out : "<fail>";
}

struct tm make_tm(int year, int mon, int mday, int wday, int h, int m, int s) {
  struct tm tm;
  memset(&tm, 0, sizeof tm);
  tm.tm_year = year - 1900;
  tm.tm_mon = mon;
  tm.tm_mday = mday;
  tm.tm_wday = wday;
  tm.tm_hour = h;
  tm.tm_min = m;
  tm.tm_sec = s;
  return tm;
}

// English names and a two-digit day; a record the names cannot show, or a
// buffer too small, gives no text rather than a part of one.
TEST(TimeText, FixedLayoutOrNothing) {
  EXPECT_EQ(text(make_tm(2008, 6, 2, 3, 9, 5, 7)), "Wed Jul 02 09:05:07 2008");
  EXPECT_EQ(text(make_tm(1999, 11, 31, 5, 23, 59, 60)), "Fri Dec 31 23:59:60 1999");
  EXPECT_EQ(text(make_tm(2008, 12, 2, 3, 9, 5, 7)), "<fail>");
  EXPECT_EQ(text(make_tm(2008, 6, 2, -1, 9, 5, 7)), "<fail>");
  struct tm tm = make_tm(2008, 6, 2, 3, 9, 5, 7);
  char small[10];
  EXPECT_EQ(format_time_text(&tm, small, sizeof small), 0);
  EXPECT_LT(strlen(small), sizeof small);
}

// The UTC text, the hours and the mark come from the zone state alone; the
// local text follows whatever zone the process is in.
TEST(ZoneTimes, HoursMarkAndName) {
  const time_t jul = 1215014707;  // Wed Jul 02 16:05:07 2008 UTC
  struct {
    plat_zone zone;
    int32_t hours, mark;
  } rows[] = {
      {{28800, 1, "Pacific Standard Time", "Pacific Daylight Time"}, 8, 1},
      {{28800, 1, "PST", ""}, 8, 0},  // rules but no daylight name: no mark
      {{-3600, 1, "CET", "CEST"}, -1, 1},
      {{-19800, 0, "IST", "IST"}, -5, 0},  // five and a half hours east
      {{0, 0, "", ""}, 0, 0},
  };
  for (auto &r : rows) {
    zone_times z;
    ASSERT_EQ(zone_times_from(jul, &r.zone, &z), 1);
    EXPECT_STREQ(z.gmt_text, "Wed Jul 02 16:05:07 2008");
    EXPECT_STREQ(z.zone_name, r.zone.std_name);
    EXPECT_EQ(z.hours_west, r.hours) << r.zone.seconds_west;
    EXPECT_EQ(z.daylight_mark, r.mark) << r.zone.std_name;
    EXPECT_EQ(strlen(z.local_text), 24u);
  }
}

TEST(ZoneTimes, OverlongZoneNameIsCut) {
  std::string name(3 * ZONE_NAME_SIZE, 'Z');
  plat_zone zone = {0, 0, name.c_str(), ""};
  zone_times z;
  ASSERT_EQ(zone_times_from(0, &zone, &z), 1);
  EXPECT_EQ(std::string(z.zone_name), name.substr(0, ZONE_NAME_SIZE - 1));
  EXPECT_STREQ(z.gmt_text, "Thu Jan 01 00:00:00 1970");
}

}  // namespace
