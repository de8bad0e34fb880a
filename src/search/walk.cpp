// The directory walk: depth-first, post-order, pattern by pattern.
#include "search/walk.h"

#include <stdio.h>
#include <string.h>

#include "detect/classify.h"
#include "run/abort.h"
#include "run/exit.h"
#include "run/globals.h"
#include "search/archive.h"

// Joins a and b into out (size bytes); 0 when the result would not fit.
static int join(char *out, size_t size, const char *a, const char *b) {
  int n = snprintf(out, size, "%s%s", a, b);
  return n >= 0 && (size_t)n < size;
}

// The path of the directory being descended into.  One buffer serves every
// level: a level appends a subdirectory's name and separator after its own
// path and cuts them off again when that subtree is done, so deep trees need
// no path buffer per level on the stack.
static char walk_path[PATH_BUF];

// Walks every subdirectory of dir, in listing order, before dir's own files.
// Links and other reparse points are not entered: a link back to an ancestor
// would walk forever.
static void walk_subdirectories(const char *dir, struct plat_find *h,
                                struct plat_find_data *fd) {
  size_t len = strlen(dir);
  if (dir != walk_path) {  // a search directory: start the path afresh
    if (len >= sizeof walk_path)
      return;
    memcpy(walk_path, dir, len + 1);
  }
  do {
    if ((fd->attributes & PLAT_ATTR_DIRECTORY) == 0 ||
        (fd->attributes & PLAT_ATTR_REPARSE) != 0)
      continue;
    if (strcmp(fd->name, ".") == 0 || strcmp(fd->name, "..") == 0)
      continue;
    size_t room = sizeof walk_path - len;
    int n = snprintf(walk_path + len, room, "%s%c", fd->name, PLAT_SEP);
    if (n < 0 || (size_t)n >= room) {
      walk_path[len] = '\0';
      fprintf(stderr, "path too long, skipped: %s%s\n", walk_path, fd->name);
      continue;
    }
    walk_directory(walk_path);
    walk_path[len] = '\0';
  } while (plat_find_next(h, fd));
}

// True when dir followed by tail is a search string that the listing takes:
// it refuses any beyond the path limit.
static int listable(const char *dir, const char *tail) {
  return strlen(dir) + strlen(tail) < PATH_BUF;
}

int walk_directory(const char *dir) {
  struct plat_find_data fd;

  if (abort_key_pressed())
    exit_program(USER_ABORTED);
  // A directory whose listing would not fit the limit cannot be searched;
  // that is said, so that a summary never hides it.
  if (!listable(dir, "*.*") || !join(g_searchstr, WIDE_BUF, dir, "*.*")) {
    fprintf(stderr, "path too long, skipped: %s\n", dir);
    return 0;
  }
  struct plat_find *h = plat_find_first(g_searchstr, &fd);
  if (h == NULL)
    return 0;
  if (g_settings->recurse)
    walk_subdirectories(dir, h, &fd);
  plat_find_close(h);
  scan_directory(dir);
  return 0;
}

int scan_directory(const char *dir) {
  struct plat_find_data fd;

  if (g_settings->show_dirs)
    fprintf(stderr, "%s\n", dir);
  for (int i = 0; g_filetypes[i] != NULL && g_filetypes[i][0] != '-'; i++) {
    if (!listable(dir, g_filetypes[i]) || !join(g_patternstr, WIDE_BUF, dir, g_filetypes[i])) {
      fprintf(stderr, "path too long, skipped: %s%s\n", dir, g_filetypes[i]);
      continue;
    }
    struct plat_find *h = plat_find_first(g_patternstr, &fd);
    if (h == NULL)
      continue;
    do {
      if (abort_key_pressed())
        exit_program(USER_ABORTED);
      if ((fd.attributes & PLAT_ATTR_DIRECTORY) == 0)
        check_file(dir, fd.name);
    } while (plat_find_next(h, &fd));
    plat_find_close(h);
  }
  if (g_settings->search_archives)
    scan_archives_beyond_patterns(dir);
  return 0;
}
