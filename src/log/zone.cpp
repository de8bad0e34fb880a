// Time texts and the zone record of the start stamp.
#include "log/zone.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char weekdays[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char g_month_names[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

time_t stamp_clock(void) {
  static int seam_read = 0;
  static int seam_set = 0;
  static time_t seam_time = 0;
  if (!seam_read) {
    seam_read = 1;
    const char *s = getenv("KIVOR_TEST_TIME");
    if (s != NULL && *s != '\0') {
      char *end;
      errno = 0;
      long long v = strtoll(s, &end, 10);
      if (*end == '\0' && errno == 0) {
        seam_time = (time_t)v;
        seam_set = 1;
      }
    }
  }
  return seam_set ? seam_time : time(NULL);
}

int format_time_text(const struct tm *tm, char *out, size_t size) {
  if (size > 0)
    out[0] = '\0';
  if (tm->tm_wday < 0 || tm->tm_wday > 6 || tm->tm_mon < 0 || tm->tm_mon > 11)
    return 0;
  int n = snprintf(out, size, "%s %s %02d %02d:%02d:%02d %04lld", weekdays[tm->tm_wday],
                   g_month_names[tm->tm_mon], tm->tm_mday, tm->tm_hour, tm->tm_min, tm->tm_sec,
                   (long long)tm->tm_year + 1900);
  return n > 0 && (size_t)n < size;
}

int zone_times_from(time_t now, const struct plat_zone *zone, struct zone_times *z) {
  memset(z, 0, sizeof *z);
  // localtime and gmtime share one result record: each is copied at once.
  const struct tm *tm = localtime(&now);
  if (tm == NULL || !format_time_text(tm, z->local_text, sizeof z->local_text))
    return 0;
  // The true UTC time of the moment.  (Adding the zone's standard offset to
  // the local time and taking an hour off for any zone with DST rules would
  // be an hour early whenever daylight saving is not in force.)
  tm = gmtime(&now);
  if (tm == NULL || !format_time_text(tm, z->gmt_text, sizeof z->gmt_text))
    return 0;
  snprintf(z->zone_name, sizeof z->zone_name, "%s", zone->std_name);
  z->hours_west = (int32_t)(zone->seconds_west / 3600);
  z->daylight_mark = zone->has_daylight != 0 && zone->dst_name[0] != '\0';
  return 1;
}

int get_zone_times(struct zone_times *z) {
  struct plat_zone zone;
  plat_zone_info(&zone);
  return zone_times_from(stamp_clock(), &zone, z);
}
