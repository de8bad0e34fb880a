// The help file: found beside the program and shown by the platform.
#include <stdio.h>
#include <string.h>

#include "log/generic7.h"
#include "run/globals.h"
#include "run/options.h"

int show_help_file(const char *program_path) {
  char cut[WIDE_BUF];
  snprintf(cut, sizeof cut, "%s", program_path);

  // Cut at the first '.' of the last component: walk back from the end to
  // the last separator, ending the string at every dot passed.
  for (size_t i = strlen(cut); i-- > 1 && cut[i] != PLAT_SEP;)
    if (cut[i] == '.')
      cut[i] = '\0';

  static char *found = NULL;  // kept for the rest of the run
  if (found == NULL)
    found = (char *)get_unit_buffer(PATH_BUF);  // four bytes a unit
  if (plat_search_file(cut, ".hlp", found, PATH_BUF) == 0)
    return 0;
  plat_show_help(found);
  return 1;
}
