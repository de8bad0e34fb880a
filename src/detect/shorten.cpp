// The two ways of shortening a full name to the display width.
#include "detect/shorten.h"

#include <stdio.h>
#include <string.h>

#include "run/globals.h"
#include "run/startup.h"

// Allocates a shortening work buffer on first use.
static char *work_buffer(char **buffer) {
  if (*buffer == NULL)
    *buffer = (char *)run_alloc(SHORTEN_BUF);
  return *buffer;
}

const char *shorten_name_prefix(const char *name, int width) {
  static char *buffer = NULL;
  if (work_buffer(&buffer) == NULL) {
    fprintf(stderr, "\n%d Cant get enough memory for filename converstion\n", 51);
    return NULL;
  }
  long len = (long)strlen(name);
  if (width >= len || width < 8) {
    snprintf(buffer, SHORTEN_BUF, "%s", name);
    return buffer;
  }
  // The leftmost separator within the last width - 6 characters opens the
  // longest tail that fits; without one, the last separator of the name.
  const char *cut = NULL;
  for (long i = len - 1; i >= 0 && i >= len - (width - 6); i--)
    if (name[i] == PLAT_SEP)
      cut = name + i;
  if (cut == NULL)
    cut = strrchr(name, PLAT_SEP);
  if (cut == NULL)
    cut = name;
  snprintf(buffer, SHORTEN_BUF, "%.2s%c...%s", name, PLAT_SEP, cut);
  return buffer;
}

const char *shorten_name_middle(const char *name, int width) {
  static char *buffer = NULL;
  long len = (long)strlen(name);
  if (width >= len || width < 11)
    return name;
  if (work_buffer(&buffer) == NULL) {
    fputs("Cant get enough memory for filename converstion\n", stderr);
    return NULL;
  }
  const char *tail = strrchr(name, PLAT_SEP);
  if (tail == NULL)
    tail = name;
  int k = width - 3 - (int)strlen(tail);
  snprintf(buffer, SHORTEN_BUF, "%*.*s...%s", k, k, name, tail);
  return buffer;
}
