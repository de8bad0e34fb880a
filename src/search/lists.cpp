// The search lists and the leading path arguments.
#include "search/lists.h"

#include <string.h>

#include "run/exit.h"
#include "run/globals.h"
#include "run/startup.h"

// Stores a heap copy of s, with spare extra bytes, in the first free slot.
static void append_copy(char **list, const char *s, size_t spare) {
  int i = 0;
  while (list[i] != NULL)
    i++;
  if (i >= LIST_SLOTS - 1)
    return;
  size_t len = strlen(s);
  char *copy = (char *)run_alloc(len + 1 + spare);
  if (copy == NULL)
    exit_program(INSUFFICIENT_MEMORY);
  memcpy(copy, s, len + 1);
  list[i] = copy;
  list[i + 1] = NULL;
}

void add_filetype(const char *pattern) {
  for (int i = 0; g_filetypes[i] != NULL; i++)
    if (strcmp(g_filetypes[i], pattern) == 0)
      return;
  append_copy(g_filetypes, pattern, 0);
}

void add_searchdir(const char *path) {
  static char full[PATH_BUF];
  if (plat_full_path(path, full, sizeof full) == 0)
    return;
  for (int i = 0; g_searchdirs[i] != NULL; i++)
    if (plat_path_compare(g_searchdirs[i], full) == 0)
      return;
  append_copy(g_searchdirs, full, 1);
}

void add_path_argument(const char *arg) {
  (void)arg;
}
