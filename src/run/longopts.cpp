// --help and --version.
#include "run/longopts.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "log/banner.h"
#include "run/exit.h"
#include "run/options.h"

int run_long_option(const char *arg) {
  if (strcmp(arg, "--help") == 0)
    print_help_text(stdout);
  else if (strcmp(arg, "--version") == 0)
    print_version_line(stdout);
  else
    return 0;
  // A list that never reached its reader is no success.
  if (fflush(stdout) != 0 || ferror(stdout))
    exit_program(WRITE_ERROR);
  exit(NORMAL_EXIT);
}
