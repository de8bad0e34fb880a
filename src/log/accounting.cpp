// Opening, replacing and closing the accounting file.
#include "log/accounting.h"

#include "log/generic7.h"
#include "log/shown.h"
#include "platform/platform.h"
#include "run/globals.h"

// The separator row: 78 asterisks, of which the format prints 40.
static const char star_row[] =
    "******************************************************************************";

FILE *open_accounting_file(const char *path) {
  trim_file_at_eof(path);
  FILE *f = fopen(path, "a+");
  if (f == NULL) {
    printf("Can't open accounting file %s\n", shown_name(path));
    return NULL;
  }
  fseek(f, 0, SEEK_END);
  fprintf(f, "\n%.40s\n", star_row);
  return f;
}

void override_accounting_file(const char *new_name) {
  if (g_acct_file == NULL)
    return;
  char full[PATH_BUF];
  const char *shown = plat_full_path(new_name, full, sizeof full) != 0 ? full : new_name;
  fputs("This file closed.\n", g_acct_file);
  fprintf(g_acct_file, "Accounting file overridden by option -1 file pointing to %s\n", shown_name(shown));
  close_accounting_file();
}

void close_accounting_file(void) {
  if (g_acct_file != NULL)
    fclose(g_acct_file);
  g_acct_file = NULL;
}
