// Paths formed from a directory and a name within the path limit.
#include "search/pathjoin.h"

#include <stdio.h>
#include <string.h>

#include "log/shown.h"

bool join_path_quietly(char *out, size_t size, const char *dir, const char *name) {
  size_t dir_len = strlen(dir), name_len = strlen(name);
  if (dir_len >= size || name_len >= size - dir_len)
    return false;
  memmove(out, dir, dir_len);
  memcpy(out + dir_len, name, name_len + 1);
  return true;
}

bool join_path(char *out, size_t size, const char *dir, const char *name) {
  if (join_path_quietly(out, size, dir, name))
    return true;
  say_path_too_long(dir, name);
  return false;
}

void say_path_too_long(const char *dir, const char *name) {
  fprintf(stderr, "path too long, skipped: %s%s\n", shown_name(dir), shown_name(name));
}
