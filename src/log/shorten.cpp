// The two ways of shortening a full name to the display width.
#include "log/shorten.h"

#include <stdio.h>
#include <string.h>

#include "log/shown.h"
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
  bool chars = name_counts_chars(name);
  long len = name_units(name, chars);
  if (width >= len || width < 8) {
    snprintf(buffer, SHORTEN_BUF, "%s", name);
    return buffer;
  }
  // The leftmost separator within the last width - 6 characters opens the
  // longest tail that fits; without one, the last separator of the name.
  const char *cut = strchr(skip_units(name, len - (width - 6), chars), PLAT_SEP);
  if (cut == NULL)
    cut = strrchr(name, PLAT_SEP);
  if (cut == NULL)
    cut = name;
  int head = (int)(skip_units(name, 2, chars) - name);
  snprintf(buffer, SHORTEN_BUF, "%.*s%c...%s", head, name, PLAT_SEP, cut);
  return buffer;
}

const char *shorten_name_middle(const char *name, int width) {
  static char *buffer = NULL;
  bool chars = name_counts_chars(name);
  long len = name_units(name, chars);
  if (width >= len || width < 11)
    return name;
  if (work_buffer(&buffer) == NULL) {
    fputs("Cant get enough memory for filename converstion\n", stderr);
    return NULL;
  }
  const char *tail = strrchr(name, PLAT_SEP);
  if (tail == NULL)
    tail = name;
  // The first k characters, "..." and the tail; when the tail alone is
  // longer than width - 3 (k < 0), the whole name, "..." and the tail.
  long k = width - 3 - name_units(tail, chars);
  int head = (int)(k >= 0 ? skip_units(name, k, chars) - name : (long)strlen(name));
  snprintf(buffer, SHORTEN_BUF, "%.*s...%s", head, name, tail);
  return buffer;
}

const char *display_name(const char *name) {
  int width = g_settings->name_width;
  const char *shown = g_shorten_style < 0 ? shorten_name_middle(name, width)
                                          : shorten_name_prefix(name, width);
  return shown != NULL ? shown : name;
}
