// The run's settings record and the run-wide globals that the modules share.
// Everything here is allocated once at start-up (run/startup.h) and lives
// until the process ends.
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
extern plat_dir g_scan_dir;              // the open directory whose files check_file
                                         // is handed, or PLAT_NO_DIR (then by path)

#endif  // KIVOR_RUN_GLOBALS_H_
