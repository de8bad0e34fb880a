// The hit file: where the hit lines and the start stamp go when -o or -O names one.
#ifndef KIVOR_LOG_HITFILE_H_
#define KIVOR_LOG_HITFILE_H_

#include <stdio.h>

// Opens the hit file named by g_hit_file_name when hit_file_mode asks for
// one (1: emptied, 2 or more: appended) and makes it g_hit_stream; leaves
// standard output when the open fails.  No message either way.
void open_hit_file(void);

#endif  // KIVOR_LOG_HITFILE_H_
