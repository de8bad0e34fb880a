// The option parser on any command line: the input is the arguments after
// the program's name, each ended by a zero byte.  The parser must end in one
// of its outcomes without ending the process, leave the lists closed and
// the settings in range, and keep nothing from one input to the next: the
// lists' copies are freed and the accounting file closed after each run.
// Accounting files are opened on /dev/null, so no file is made.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "fuzz_check.h"
#include "log/accounting.h"
#include "run/globals.h"
#include "run/options.h"
#include "run/startup.h"

namespace {

enum { MAX_ARGS = 64 };

// Like the real opening, a second -1 closes the file the first one opened.
FILE *open_nothing(const char *) {
  close_accounting_file();
  return fopen("/dev/null", "a");
}

void free_list(char **list) {
  FUZZ_CHECK(list[LIST_SLOTS - 1] == NULL);
  for (int i = 0; i < LIST_SLOTS; i++) {
    free(list[i]);
    list[i] = NULL;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  allocate_run_state();
  g_open_accounting = open_nothing;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<char> text(data, data + size);
  text.push_back('\0');
  static char program[] = "kivor";
  std::vector<char *> argv = {program};
  for (size_t i = 0; i < size && argv.size() < MAX_ARGS; i += strlen(&text[i]) + 1)
    argv.push_back(&text[i]);
  argv.push_back(NULL);

  memset(g_settings, 0, sizeof *g_settings);
  g_settings->show_dirs = 1;
  g_settings->name_width = DEFAULT_WIDTH;
  g_shorten_style = 1;
  g_hit_file_name[0] = '\0';

  int outcome = parse_options((int)argv.size() - 1, argv.data(), g_settings);
  FUZZ_CHECK(outcome >= OPTIONS_GO_ON && outcome <= OPTIONS_LONG_VERSION);
  if (outcome == OPTIONS_GO_ON)
    FUZZ_CHECK(g_filetypes[0] != NULL);
  FUZZ_CHECK(g_settings->name_width != INT32_MIN);
  FUZZ_CHECK(g_settings->hit_file_mode >= 0 && g_settings->hit_file_mode <= 2 * MAX_ARGS);
  FUZZ_CHECK(g_shorten_style == 1 || g_shorten_style == -1);
  FUZZ_CHECK(strlen(g_hit_file_name) < PATH_BUF);

  free_list(g_filetypes);
  free_list(g_searchdirs);
  close_accounting_file();
  return 0;
}
