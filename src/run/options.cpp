// The option parser.
#include "run/options.h"

#include "search/lists.h"

int parse_options(int argc, char **argv, struct run_settings *settings) {
  (void)argc;
  (void)argv;
  (void)settings;
  if (g_filetypes[0] == NULL)
    add_filetype("*.*");
  return 0;
}
