// The start stamp and the closing summary of a run.
#ifndef KIVOR_LOG_STAMPS_H_
#define KIVOR_LOG_STAMPS_H_

#include <stdint.h>
#include <stdio.h>

#include "log/zone.h"

// Writes the start stamp to the accounting file (when open) and the hit
// stream (there, with --json or --csv, the report's start instead): the time in UTC and local time with the zone, and the command
// line (argv[0] to argv[argc - 1]; on standard output it is not echoed).
// When the clock cannot be rendered, writes
// "\nCan't get timezone information\n" to the error stream and ends the
// process at once with status 1.  Both files are then flushed: one that
// did not take the stamp ends the run with WRITE_ERROR (check_hit_stream,
// check_accounting_file).
void print_start_stamp(int argc, char **argv);

// The writing part of print_start_stamp, for the times in *z.
void write_start_stamp(const struct zone_times *z, int argc, char **argv);

// Writes files searched, possible hits and the elapsed time since
// g_start_time to the error stream and the accounting file, then ends the
// accounting file's record with a row of 51 asterisks and closes it; a
// record that did not reach the file ends the run with WRITE_ERROR.
void print_summary(void);

// The count and elapsed-time lines of the summary, to f.
void write_summary(FILE *f, int32_t files, int32_t hits, long long elapsed);

#endif  // KIVOR_LOG_STAMPS_H_
