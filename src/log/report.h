// The reports for other programs (--json, --csv): the hit stream carries
// JSON Lines (an object for the run, one per hit, the key inventory's, one
// for the summary) or CSV (a header row, then a row per hit) in place of
// the start stamp and the hit lines.  The console's output is unchanged.
#ifndef KIVOR_LOG_REPORT_H_
#define KIVOR_LOG_REPORT_H_

#include <stdint.h>
#include <stdio.h>

#include "detect/material.h"

enum report_form {
  REPORT_LINES = 0,  // the hit lines
  REPORT_JSON = 1,
  REPORT_CSV = 2,
};

// What reading a hit through found (search/hit_read.h).
struct hit_facts {
  bool has_size;  // the bytes were read to their end
  int64_t size;
  bool has_sha256;
  uint8_t sha256[32];
  const material *m;  // NULL when not read (no -c)
};

// One hit as the reports give it.
struct hit_record {
  const char *path;                 // the file on disk, its full name
  int containers;                   // containers nested inside it that hold the member
  const char *const *container;     // their paths, each in its parent, outermost first
  const char *member;               // the member's path in the innermost; NULL for a file
  const char *kind, *suffix;        // as the hit line says it
  bool confirmed;                   // -c parsed it
  bool has_mtime;
  int64_t mtime;                    // seconds since 1970, UTC
  const struct hit_facts *facts;
};

// The run's first object (start time, command line, version), or the
// header row; nothing in REPORT_LINES.  To g_hit_stream.
void report_start(int form, int argc, char **argv);

// True once report_start has written the start of a report.
bool report_started(void);

// One hit's object or row.
void report_hit(int form, const struct hit_record *h);

// The summary object of JSON Lines: files searched, hits, elapsed seconds,
// how the run ended (termination, the words of the termination line) and
// its status.
void report_summary(FILE *f, long long elapsed, const char *termination, int status);

#endif  // KIVOR_LOG_REPORT_H_
