// Run stamps: the start stamp and the closing summary.
#include "log/stamps.h"

#include <stdlib.h>
#include <time.h>

#include "log/accounting.h"
#include "log/shown.h"
#include "log/hitfile.h"
#include "log/report.h"
#include "run/exit.h"
#include "run/globals.h"

// "(8*)": the hours west of UTC, and a star for a zone with daylight saving.
static void write_zone_mark(FILE *f, const struct zone_times *z) {
  fprintf(f, "(%ld%s)", (long)z->hours_west, z->daylight_mark ? "*" : "");
}

// Every argument followed by one blank, unquoted; control bytes as '?'.
static void write_command_line(FILE *f, int argc, char **argv) {
  for (int i = 0; i < argc && argv[i] != NULL; i++) {
    fprint_name(f, argv[i]);
    fputc(' ', f);
  }
}

// The accounting file's stamp: without a zone name it shows the local time
// alone, marked as such.
static void write_account_stamp(FILE *f, const struct zone_times *z, int argc, char **argv) {
  fprintf(f, "\nProgram started %.11s", "");
  if (z->zone_name[0] != '\0') {
    fprintf(f, "%s GMT, ", z->gmt_text);
    fprintf(f, "%.5s %s ", z->local_text + 11, z->zone_name);
    write_zone_mark(f, z);
  } else {
    fprintf(f, "%s Local Time: ", z->local_text);
  }
  fputs("\n", f);
  write_command_line(f, argc, argv);
  fputs("\n", f);
}

// The hit stream's stamp; the command line goes only into a hit file.
static void write_hit_stamp(FILE *f, const struct zone_times *z, int argc, char **argv) {
  fprintf(f, "\nProgram started %.11s", "");
  if (z->zone_name[0] != '\0')
    fprintf(f, "%s GMT, ", z->gmt_text);
  else
    fprintf(f, "%s ", z->local_text);
  fprintf(f, "%.5s %s ", z->local_text + 11, z->zone_name);
  write_zone_mark(f, z);
  fputs("\n", f);
  fputs("\n\n", f);
  if (f != stdout)
    write_command_line(f, argc, argv);
  fputs("\n\n", f);
}

void write_start_stamp(const struct zone_times *z, int argc, char **argv) {
  if (g_acct_file != NULL) {
    begin_accounting_record();
    write_account_stamp(g_acct_file, z, argc, argv);
  }
  if (g_settings->report == REPORT_LINES)
    write_hit_stamp(g_hit_stream, z, argc, argv);
  else
    report_start(g_settings->report, argc, argv);
}

void print_start_stamp(int argc, char **argv) {
  struct zone_times z;
  if (!get_zone_times(&z)) {
    // Nothing of the stamp is written; the run would have no date.
    fputs("\nCan't get timezone information\n", stderr);
    exit(1);
  }
  write_start_stamp(&z, argc, argv);
  // A file that cannot take the stamp (a full disk) ends the run now, not
  // after a walk whose hits it would lose.
  check_hit_stream(1);
  check_accounting_file(1);
}

void write_summary(FILE *f, int32_t files, int32_t hits, long long elapsed) {
  // Division truncates toward zero and the remainder keeps the sign, so a
  // clock set back during the run gives negative numbers throughout.
  long long hours = elapsed / 3600;
  long long rest = elapsed % 3600;
  fprintf(f, "\nSearched %ld files, Found %ld possible hits", (long)files, (long)hits);
  fputs("\nElapsed time:  ", f);
  fprintf(f, " %lld hrs. %lld mins. %lld secs.\n\n", hours, rest / 60, rest % 60);
}

void print_summary(void) {
  long long elapsed = (long long)time(NULL) - (long long)g_start_time;
  say_lost_names_note();
  write_summary(stderr, g_files_searched, g_hits_found, elapsed);
  if (g_acct_file != NULL) {
    write_summary(g_acct_file, g_files_searched, g_hits_found, elapsed);
    fputs("***************************************************\n", g_acct_file);
    if (close_accounting_file() != 0)
      exit_program(WRITE_ERROR);
  }
}
