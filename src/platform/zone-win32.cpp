// The time-zone state of the C runtime, read from TZ or, without it, from
// the system's time-zone settings by _tzset.
#include "platform/platform.h"

#include <time.h>

void plat_zone_info(struct plat_zone *zone) {
  _tzset();
  zone->seconds_west = _timezone;
  zone->has_daylight = _daylight;
  zone->std_name = _tzname[0] != NULL ? _tzname[0] : "";
  zone->dst_name = _tzname[1] != NULL ? _tzname[1] : "";
}
