// Opening, replacing and closing the accounting file.
#include "log/accounting.h"

#include "log/generic7.h"
#include "log/shown.h"
#include "platform/platform.h"
#include "log/written.h"
#include "run/exit.h"
#include "run/globals.h"

// The separator row: 78 asterisks, of which the format prints 40.
static const char star_row[] =
    "******************************************************************************";

static char acct_name[PATH_BUF];        // the open file's name as the option gave it
static struct plat_file_id acct_id;     // and its identity
static bool acct_id_known = false;
static bool separator_due = false;

FILE *open_accounting_file(const char *path) {
  // The file open now is closed (with its override note) only once the new
  // one has been found to be a log, unless they are the same file, which
  // the cleaning could not open while the stream holds it (on Windows).
  struct plat_file_id id;
  bool same = g_acct_file != NULL && plat_path_id(path, &id) && is_accounting_file(&id);
  if (same)
    override_accounting_file(path);
  if (trim_file_at_eof(path) != 0) {
    fprintf(stderr,
            "%s is not an accounting log (it holds other bytes after a NUL or Ctrl-Z); "
            "left as it is\n",
            shown_name(path));
    discard_accounting_file();
    exit_program(OUTPUT_FILE);
  }
  override_accounting_file(path);  // a second -1 closes the first file
  FILE *f = plat_fopen(path, "a+");
  if (f == NULL) {
    printf("Can't open accounting file %s\n", shown_name(path));
    return NULL;
  }
  fseek(f, 0, SEEK_END);
  snprintf(acct_name, sizeof acct_name, "%s", path);
  acct_id_known = plat_stream_id(f, &acct_id) != 0;
  separator_due = true;
  return f;
}

void begin_accounting_record(void) {
  if (g_acct_file != NULL && separator_due)
    fprintf(g_acct_file, "\n%.40s\n", star_row);
  separator_due = false;
}

void override_accounting_file(const char *new_name) {
  if (g_acct_file == NULL)
    return;
  char full[PATH_BUF];
  const char *shown = plat_full_path(new_name, full, sizeof full) != 0 ? full : new_name;
  begin_accounting_record();
  fputs("This file closed.\n", g_acct_file);
  fprintf(g_acct_file, "Accounting file overridden by option -1 file pointing to %s\n", shown_name(shown));
  if (close_accounting_file() != 0)
    exit_program(WRITE_ERROR);
}

int close_accounting_file(void) {
  if (g_acct_file == NULL)
    return 0;
  begin_accounting_record();
  int err = close_stream(g_acct_file);
  g_acct_file = NULL;
  acct_id_known = false;
  if (err != 0)
    report_write_failure("accounting file ", acct_name, err);
  return err != 0 ? -1 : 0;
}

void check_accounting_file(int flush) {
  if (g_acct_file == NULL)
    return;
  int err = stream_failure(g_acct_file, flush);
  if (err == 0)
    return;
  report_write_failure("accounting file ", acct_name, err);
  discard_accounting_file();  // settled: the way out does not report it again
  exit_program(WRITE_ERROR);
}

void discard_accounting_file(void) {
  if (g_acct_file != NULL)
    fclose(g_acct_file);
  g_acct_file = NULL;
  acct_id_known = false;
  separator_due = false;
}

bool is_accounting_file(const struct plat_file_id *id) {
  return g_acct_file != NULL && acct_id_known && plat_same_file(id, &acct_id);
}
