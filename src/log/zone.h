// The times and the time zone that the start stamp shows.
#ifndef KIVOR_LOG_ZONE_H_
#define KIVOR_LOG_ZONE_H_

#include <stddef.h>
#include <stdint.h>
#include <time.h>

#include "platform/platform.h"

// The English three-letter month names, January first: the time texts use
// them, and so does the version stamp to read the build date.
extern const char g_month_names[12][4];

enum {
  TIME_TEXT_SIZE = 32,   // "Wed Jul 02 09:05:07 2008": 24 characters and room
  ZONE_NAME_SIZE = 128,  // a zone name longer than this is cut
};

// One reading of the clock and the time zone, as the start stamp prints it.
struct zone_times {
  char gmt_text[TIME_TEXT_SIZE];    // the moment in UTC, as a time text
  char local_text[TIME_TEXT_SIZE];  // the moment in local time, as a time text
  char zone_name[ZONE_NAME_SIZE];   // the standard zone's name; may be ""
  int32_t hours_west;               // offset of standard time / 3600, toward zero
  int32_t daylight_mark;            // 1: the zone has DST rules and a DST name
};

// The current time in seconds since 1970-01-01 00:00 UTC, for the stamp.
// KIVOR_TEST_TIME=<seconds> in the environment fixes it (a test seam, read
// once; a value that is not a whole number is ignored).
time_t stamp_clock(void);

// Writes the 24-character time text of *tm, "Www Mmm DD hh:mm:ss YYYY",
// with English names and a two-digit day whatever the locale, into out
// (size bytes, always terminated).  Returns 0 when tm holds a weekday or
// month out of range, or the text does not fit; 1 otherwise.
int format_time_text(const struct tm *tm, char *out, size_t size);

// Fills *z for the moment now and the zone state *zone.  Returns 0 when
// now cannot be rendered as a calendar time.
int zone_times_from(time_t now, const struct plat_zone *zone, struct zone_times *z);

// Reads the time zone and the clock (stamp_clock) and fills *z; returns 0
// when the times cannot be rendered.
int get_zone_times(struct zone_times *z);

#endif  // KIVOR_LOG_ZONE_H_
