// The time-zone state of the C library.
#include "platform/platform.h"

#include <time.h>

void plat_zone_info(struct plat_zone *zone) {
  tzset();
  zone->seconds_west = timezone;
  zone->has_daylight = daylight;
  zone->std_name = tzname[0] != NULL ? tzname[0] : "";
  zone->dst_name = tzname[1] != NULL ? tzname[1] : "";
}
