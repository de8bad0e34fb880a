// exit_program, the table of exit reasons, and the Ctrl-C check.
#include "run/exit.h"

#include <stdio.h>
#include <stdlib.h>

#include "log/accounting.h"
#include "log/hitfile.h"
#include "log/inventory.h"
#include "log/report.h"
#include "log/shown.h"
#include "platform/platform.h"
#include "run/globals.h"
#include "search/readahead.h"

// Reason codes and their printed names; the gaps (9, 11) have no name.
static const struct {
  int code;
  const char *name;
} reason_names[] = {
    {NORMAL_EXIT, "NORMAL_EXIT"},
    {USER_ABORTED, "USER_ABORTED"},
    {INPUT_FILE, "INPUT_FILE"},
    {OUTPUT_FILE, "OUTPUT_FILE"},
    {PARAMATER_FILE, "PARAMATER_FILE"},
    {ILLEGAL_OPTION, "ILLEGAL or INCOMPLETE OPTION"},
    {INSUFFICIENT_MEMORY, "INSUFFICIENT MEMORY"},
    {OTHER_EXIT, "OTHER_EXIT"},
    {WRITE_ERROR, "WRITE_ERROR"},
    {READ_ERROR, "READ_ERROR"},
    {NON_SPECIFIC_ERROR, "NON_SPECIFIC ERROR"},
};

const char *exit_reason_name(int reason) {
  for (size_t i = 0; i < sizeof reason_names / sizeof reason_names[0]; i++)
    if (reason_names[i].code == reason)
      return reason_names[i].name;
  return NULL;
}

void exit_program(int reason) {
  static int terminating = 0;
  if (terminating) {  // called again on the way out: end without a second line
    plat_console_restore();
    _Exit(reason);
  }
  terminating = 1;
  // Threads that read ahead are stopped and joined first: nothing is
  // written after this line but by this thread.
  ra_stop();
  finish_reports(reason);

  // Hits or a record that did not reach their file are said; a run that was
  // ending well then ends with WRITE_ERROR.
  if (close_hit_file(0) != 0 && reason < 1)
    reason = WRITE_ERROR;
  if (close_accounting_file() != 0 && reason < 1)
    reason = WRITE_ERROR;
  say_lost_names_note();
  if (reason < 1) {
    fputs("Normal termination\n", stderr);
  } else {
    const char *name = exit_reason_name(reason);
    if (name != NULL)
      fprintf(stderr, "Program termination: reason %s\n", name);
    else
      fprintf(stderr, "Program termination: reason %d\n", reason);
  }
  exit(reason);
}

void finish_reports(int reason) {
  static bool finished = false;
  if (finished || g_settings == NULL)
    return;
  finished = true;
  FILE *f = g_hit_stream;
  if (f == NULL || ferror(f))
    return;
  int form = g_settings->report;
  if (reason == NORMAL_EXIT && g_settings->key_inventory) {
    // A CSV table has room for no other rows: the inventory goes to the
    // console there.
    if (form == REPORT_JSON)
      write_inventory_json(f);
    else
      write_inventory_text(form == REPORT_CSV ? stderr : f);
  }
  if (form == REPORT_JSON && report_started()) {
    const char *name = reason == NORMAL_EXIT ? "Normal termination" : exit_reason_name(reason);
    report_summary(f, (long long)time(NULL) - (long long)g_start_time, name != NULL ? name : "",
                   reason);
  }
}

void install_interrupt_handler(void) {
  plat_catch_interrupt();
}

void check_interrupt(void) {
  switch (plat_interrupted()) {
    case PLAT_STOP_NONE:
      return;
    case PLAT_STOP_TERMINATE:
      exit_program(OTHER_EXIT);
    default:
      exit_program(INPUT_FILE);
  }
}
