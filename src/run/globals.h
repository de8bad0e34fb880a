// The run's settings record and the run-wide globals that the modules share.
// Everything here is allocated once at start-up (run/startup.h) and lives
// until the process ends.  The state a single module keeps to itself, and
// what the program reads from its environment, is listed at the end.
#ifndef KIVOR_RUN_GLOBALS_H_
#define KIVOR_RUN_GLOBALS_H_

#include <stdint.h>
#include <stdio.h>
#include <time.h>

#include "platform/platform.h"

// Sizes of the fixed buffers.  The path limit is the platform's; the
// pattern and hit-name buffers are four times it, the shortening buffers forty.
enum {
  PATH_BUF = PLAT_PATH_MAX,
  WIDE_BUF = 4 * PLAT_PATH_MAX,
  SHORTEN_BUF = 40 * PLAT_PATH_MAX,
  INBUF_SIZE = 61442,  // 60 KiB and 2 bytes
  READ_SIZE = 10140,   // bytes of a candidate that are examined
  LIST_SLOTS = 16,     // search lists: 15 entries and the closing NULL
  DEFAULT_WIDTH = 50,
  NAME_WIDTH_MAX = 2 * PLAT_PATH_MAX + 3,  // no display name is longer (run/options.cpp)
};

// One record per run, zero-filled, then given its defaults, then changed by
// the options; fixed once the options have been read.
struct run_settings {
  int32_t show_dirs;      // nonzero: print each directory as it is scanned
  int32_t name_width;     // display width of names in hit lines
  int32_t hit_file_mode;  // 0 stdout, 1 hit file emptied, 2+ appended
  int32_t recurse;        // nonzero: descend into subdirectories
  int32_t skip_com;       // nonzero: count ".COM" files but do not open them
  int32_t confirm;        // nonzero: report only material that parses (-c)
  int32_t search_archives;  // nonzero: search inside archives (-a)
  int32_t report;         // REPORT_LINES, REPORT_JSON (--json) or REPORT_CSV (--csv)
  int32_t key_inventory;  // nonzero: the key inventory after the hits (--keys)
};

// ---------------------------------------------------------------- globals
extern struct run_settings *g_settings;  // the run's settings, never freed
extern char *pg_complete_path;           // PATH_BUF: directory + name being examined
extern char *pg_check_path;              // PATH_BUF: copy used by every file operation
extern char **g_filetypes;               // LIST_SLOTS patterns, NULL-terminated
extern char **g_searchdirs;              // LIST_SLOTS directories, NULL-terminated
extern char *g_searchstr;                // WIDE_BUF: directory + "*.*"
extern char *g_patternstr;               // WIDE_BUF: directory + one pattern
extern char *g_hit_file_name;            // WIDE_BUF: full path of the hit file, or ""
extern unsigned char *g_inbuf;           // INBUF_SIZE: first bytes of a candidate
extern FILE *g_hit_stream;               // hit lines: stdout or the hit file
extern FILE *g_acct_file;                // accounting file, or NULL
extern int32_t g_files_searched;         // files examined
extern int32_t g_hits_found;             // hit lines written
extern time_t g_start_time;              // start of the run, for the elapsed time
extern int32_t g_shorten_style;          // >= 0 prefix shortening, < 0 middle

// ------------------------------------------------ state kept by its module
// Run-lifetime state that only its own module touches stays static there.
// "Lazy": taken with run_alloc on the module's first call that needs it
// (so a run that never needs it never asks for it) and kept, never freed.
//
//   search/access.cpp      the lock on the file-name interpretation
//   search/confirm_read.cpp  read_and_confirm: the file's bytes, CONFIRM_READ_MAX,
//                          and the decoded radix-64, CONFIRM_SCRATCH, lazy
//   search/hit_read.cpp    --json, --csv, --keys: the window of a hit's bytes,
//                          CONFIRM_READ_MAX, its decoded armour, CONFIRM_SCRATCH,
//                          and a read chunk, lazy; the reading under way
//   log/inventory.cpp      --keys: the key records, in blocks of 4096 as keys
//                          come, their index, the store of first places, lazy
//   log/report.cpp         whether the report's start was written
//   log/shorten.cpp        shorten_name_prefix and shorten_name_middle: one
//                          SHORTEN_BUF each for the shortened name, lazy
//   log/generic7.cpp       trim_file_at_eof: the cleaning chunk, TRIM_UNITS
//                          units, lazy (only for a file long enough to cut)
//   run/help.cpp           show_help_file: the found help file's path, PATH_BUF, lazy
//   search/walk.cpp        walk_path, PATH_BUF: the directory being descended into
//   search/lists.cpp       add_searchdir and add_path_argument: PATH_BUF work
//                          buffers for the full path and its pieces
//   log/shown.cpp          shown_name: SHOWN_SLOTS copies of WIDE_BUF, used in
//                          turn; fprint_name and shown_form: a WIDE_BUF each
//                          for a converted name; whether names are measured
//                          in characters
//   log/accounting.cpp     the accounting file's name, PATH_BUF, its identity,
//                          and whether a separator row is due
//   log/hitfile.cpp        the open hit file's identity
//   log/zone.cpp           stamp_clock: the KIVOR_TEST_TIME time, read once
//   run/startup.cpp        run_alloc: the KIVOR_FAIL_ALLOC number, read once,
//                          and the count of allocations
//   run/exit.cpp           exit_program: whether the run is already ending
//   run/main.cpp           argument 0 as a full path, PATH_BUF, and standard
//                          output's buffer under --json and --csv
//   run/options.cpp        g_open_accounting: the accounting file's opener (a
//                          test points it elsewhere)
//   platform/console-*     the stop recorded (Ctrl-C, POSIX also SIGTERM and
//                          SIGHUP); whether the keyboard is the run's; POSIX:
//                          the terminal settings the run changed and their
//                          old values, the bytes typed ahead (4096)
//   platform/files-*       POSIX: the file-name interpretation flag
//   platform/names-win32   the command line in UTF-8, allocated once; the
//                          code page a shown name first lost a character in
//   search/readahead.cpp   the ring of RING events, each with its path and a
//                          READ_SIZE buffer, allocated once per run; the walker
//                          and reader threads, the lock and its conditions;
//                          the reader count and the record of slow reads;
//                          ra_test, the settings its unit test changes
//   search/archive-*.cpp   -a: the nested-archive buffers (8 MiB a level, lazy),
//                          the drain block, the work counted per archive
//   platform/listing-posix.cpp  closed listings kept for the next one
//   platform/dirs-posix.cpp     whether the open-file limit has been raised
//
// ------------------------------------------------------- environment
// What the program reads from its environment:
//   KIVOR_TEST_TIME   a test hook: the seconds since 1970 the stamps show (log/zone.h)
//   KIVOR_FAIL_ALLOC  a test hook: the Nth run_alloc fails (run/startup.h)
//   KIVOR_READERS     the number of reader threads, 1 to 64; 1: no thread at
//                     all (search/readahead.h)
//   KIVOR_READS_SLOW  a test hook: 1 takes every read for slow, so the
//                     readers read ahead even on a tree in the page cache
//   PAGER             POSIX: the pager for the help file on a terminal
//   LC_ALL, LC_CTYPE, LANG  POSIX: whether names go to a UTF-8 terminal
//                     (plat_names_utf8)
//   TZ                the time zone of the stamps (plat_zone_info)

#endif  // KIVOR_RUN_GLOBALS_H_
