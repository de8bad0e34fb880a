// KIVOR: finds files that look like PGP 2.x material.  The order of a run.
#include <stdio.h>
#include <string.h>

#include "log/hitfile.h"
#include "log/report.h"
#include "platform/ascii.h"
#include "log/shown.h"
#include "log/stamps.h"
#include "run/exit.h"
#include "run/globals.h"
#include "run/options.h"
#include "run/startup.h"
#include "search/lists.h"
#include "search/walk.h"

static char program_path[PATH_BUF];  // argument 0 as a full path

int main(int argc, char **argv) {
  plat_open_standard_streams();  // before anything can take their numbers
  plat_arguments(&argc, &argv);  // the names in them as the platform carries names
  set_names_in_chars(plat_names_utf8() != 0);
  if (plat_program_path(argv[0], program_path, sizeof program_path) != 0)
    argv[0] = program_path;
  g_hit_stream = stdout;
  allocate_run_state();

  // Leading path arguments: up to the first that begins with '-' or '+'.
  for (int i = 1; i < argc && argv[i][0] != '-' && argv[i][0] != '+'; i++)
    add_path_argument(argv[i]);

  set_defaults();
  int outcome = parse_options(argc, argv, g_settings);
  if (outcome != OPTIONS_GO_ON)
    end_run_on_options(outcome, argv[0]);
  // A report is for programs: written in blocks, not a call at a time (a
  // buffer of its own: the unbuffered stream's is one byte).
  static char report_buffer[1 << 16];
  if (g_settings->report != REPORT_LINES)
    setvbuf(stdout, report_buffer, _IOFBF, sizeof report_buffer);
  g_start_time = time(NULL);
  open_hit_file();
  print_start_stamp(argc, argv);

  // No directory named: the current one.  When it cannot be read (removed,
  // or longer than the path limit) the run ends with a nonzero status: a
  // walk of nothing would pass for a clean search.
  if (g_searchdirs[0] == NULL) {
    char cwd[PATH_BUF];
    if (plat_current_dir(cwd, sizeof cwd) != 0)
      add_searchdir(cwd);
    if (g_searchdirs[0] == NULL) {
      fputs("Can't read the current directory; name the directories to search\n", stderr);
      exit_program(OTHER_EXIT);
    }
  }
  fputs("\n", stderr);

  for (int i = 0; g_searchdirs[i] != NULL; i++) {
    char *dir = walk_root(i);
    dir[0] = (char)ascii_upper((unsigned char)dir[0]);
    walk_directory(dir);
  }

  check_interrupt();  // Ctrl-C after the last file: no summary either
  finish_reports(NORMAL_EXIT);
  // Every hit must have reached its file before the summary counts it.
  if (close_hit_file(1) != 0)
    exit_program(WRITE_ERROR);
  print_summary();
  return 0;
}
