// --help and --version.
#include "run/longopts.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "log/banner.h"
#include "log/report.h"
#include "log/written.h"
#include "run/exit.h"
#include "run/options.h"

int long_option_outcome(const char *arg) {
  if (strcmp(arg, "--help") == 0)
    return OPTIONS_LONG_HELP;
  if (strcmp(arg, "--version") == 0)
    return OPTIONS_LONG_VERSION;
  return OPTIONS_GO_ON;
}

int apply_report_option(const char *arg, struct run_settings *settings) {
  int form = strcmp(arg, "--json") == 0 ? REPORT_JSON : strcmp(arg, "--csv") == 0 ? REPORT_CSV : -1;
  if (form >= 0) {
    if (settings->report != REPORT_LINES && settings->report != form) {
      fputs("--json and --csv cannot be given together\n", stderr);
      return OPTIONS_ILLEGAL;
    }
    settings->report = form;
    return OPTIONS_GO_ON;
  }
  if (strcmp(arg, "--keys") == 0) {
    settings->key_inventory = 1;
    settings->confirm = 1;
    return OPTIONS_GO_ON;
  }
  return OPTIONS_HELP;
}

void run_long_option(int outcome) {
  if (outcome == OPTIONS_LONG_HELP)
    print_help_text(stdout);
  else
    print_version_line(stdout);
  // A list that never reached its reader is no success.
  int err = stream_failure(stdout, 1);
  if (err != 0) {
    report_write_failure(outcome == OPTIONS_LONG_HELP ? "option list" : "version line",
                         " to standard output", err);
    exit_program(WRITE_ERROR);
  }
  exit(NORMAL_EXIT);
}
