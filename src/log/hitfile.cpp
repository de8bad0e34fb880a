// The hit file.
#include "log/hitfile.h"

#include "log/accounting.h"
#include "log/shown.h"
#include "log/written.h"
#include "run/exit.h"
#include "run/globals.h"

static struct plat_file_id hit_id;  // the open hit file's identity
static bool hit_id_known = false;

void open_hit_file(void) {
  int mode = g_settings->hit_file_mode;
  if (mode == 0)
    return;
  struct plat_file_id id;
  if (g_acct_file != NULL && plat_path_id(g_hit_file_name, &id) && is_accounting_file(&id)) {
    fprintf(stderr, "%s is the accounting file too: nothing written, nothing changed\n",
            shown_name(g_hit_file_name));
    discard_accounting_file();
    exit_program(OUTPUT_FILE);
  }
  FILE *f = plat_open_output(g_hit_file_name, mode >= 2);
  if (f == NULL)
    check_interrupt();  // Ctrl-C while a FIFO waited for its reader
  g_hit_stream = f != NULL ? f : stdout;
  hit_id_known = f != NULL && plat_stream_id(f, &hit_id);
}

bool is_hit_id(const struct plat_file_id *id) {
  return hit_id_known && plat_same_file(id, &hit_id);
}

// The message for a failure of the hit stream.
static void report(int err) {
  if (g_hit_stream == stdout)
    report_write_failure("hit lines to standard output", "", err);
  else
    report_write_failure("hit file ", g_hit_file_name, err);
}

void check_hit_stream(int flush) {
  int err = stream_failure(g_hit_stream, flush);
  if (err != 0) {
    report(err);
    // Settled here, so that the way out does not report it again.
    if (g_hit_stream != stdout)
      fclose(g_hit_stream);
    else
      clearerr(stdout);
    g_hit_stream = stdout;
    hit_id_known = false;
    exit_program(WRITE_ERROR);
  }
}

int close_hit_file(int check_stdout) {
  bool is_file = g_settings != NULL && g_settings->hit_file_mode != 0 && g_hit_stream != NULL &&
                 g_hit_stream != stdout;
  if (!is_file && !check_stdout)
    return 0;
  int err = is_file ? close_stream(g_hit_stream) : stream_failure(stdout, 1);
  if (err != 0)
    report(err);
  g_hit_stream = stdout;
  hit_id_known = false;
  return err != 0 ? -1 : 0;
}
