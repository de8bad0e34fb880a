// The directory walk: depth-first, post-order, pattern by pattern.
//
// Every directory is held open while it is walked, and its subdirectories
// and files are reached through that open directory, never again through
// the path text: a subdirectory swapped for a link between its listing and
// its descent is refused, not followed.  The path text is kept for what the
// walk prints and for the names check_file shows.
#include "search/walk.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "detect/classify.h"
#include "log/shown.h"
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

// Says that what search names could not be listed, with the system's reason.
static void say_unlistable(const char *search) {
  fprintf(stderr, "couldn't list %s: %s\n", shown_name(search), strerror(errno));
}

// True when dir followed by tail is a search string that the listing takes:
// it refuses any beyond the path limit.
static int listable(const char *dir, const char *tail) {
  return strlen(dir) + strlen(tail) < PATH_BUF;
}

static void enter_directory(plat_dir parent, const char *dir, const char *name);

// Lists the open directory d (whose path is dir) once for each pattern and
// hands every entry that is not a directory to check_file, which reaches
// it through d.
static void scan_open_directory(plat_dir d, const char *dir) {
  struct plat_find_data fd;

  if (g_settings->show_dirs) {
    fprint_name(stderr, dir);
    fputc('\n', stderr);
  }
  plat_dir outer = g_scan_dir;
  g_scan_dir = d;
  for (int i = 0; g_filetypes[i] != NULL && g_filetypes[i][0] != '-'; i++) {
    if (!listable(dir, g_filetypes[i]) || !join(g_patternstr, WIDE_BUF, dir, g_filetypes[i])) {
      fprintf(stderr, "path too long, skipped: %s%s\n", shown_name(dir), shown_name(g_filetypes[i]));
      continue;
    }
    struct plat_find *h = plat_find_in(d, g_patternstr, &fd);
    if (h == NULL) {
      if (errno != ENOENT)  // not "nothing matches": the listing failed
        say_unlistable(g_patternstr);
      continue;
    }
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
  g_scan_dir = outer;
}

// Walks every subdirectory of the open directory d (path dir), in listing
// order.  Links and other reparse points are not entered: a link back to an
// ancestor would walk forever.
static void walk_subdirectories(plat_dir d, const char *dir, struct plat_find *h,
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
      fprintf(stderr, "path too long, skipped: %s%s\n", shown_name(walk_path), shown_name(fd->name));
      continue;
    }
    enter_directory(d, walk_path, fd->name);
    walk_path[len] = '\0';
  } while (plat_find_next(h, fd));
}

// Opens dir (the subdirectory name of parent, or with no parent a search
// directory, whose link is followed) and walks it: its subdirectories when
// recursing, then its own files.  A directory that cannot be opened or
// listed, and one on a pseudo file system, is named on the error stream
// and passed over with everything below it.
static void enter_directory(plat_dir parent, const char *dir, const char *name) {
  if (abort_key_pressed())
    exit_program(USER_ABORTED);
  // A directory whose listing would not fit the limit cannot be searched;
  // that is said, so that a summary never hides it.
  if (!listable(dir, "*.*") || !join(g_searchstr, WIDE_BUF, dir, "*.*")) {
    fprintf(stderr, "path too long, skipped: %s\n", shown_name(dir));
    return;
  }
  plat_dir d = parent == PLAT_NO_DIR ? plat_dir_open(dir) : plat_dir_open_sub(parent, dir, name);
  if (d == PLAT_NO_DIR) {
    say_unlistable(dir);
    return;
  }
  if (plat_dir_is_pseudo(d)) {
    fprintf(stderr, "not a disk file system, skipped: %s\n", shown_name(dir));
    plat_dir_close(d);
    return;
  }
  if (g_settings->recurse) {
    struct plat_find_data fd;
    struct plat_find *h = plat_find_in(d, g_searchstr, &fd);
    if (h == NULL && errno != ENOENT) {  // ENOENT: nothing in it (a bare drive root)
      say_unlistable(dir);
      plat_dir_close(d);
      return;
    }
    if (h != NULL)
      walk_subdirectories(d, dir, h, &fd);
    plat_find_close(h);
  }
  scan_open_directory(d, dir);
  plat_dir_close(d);
}

int walk_directory(const char *dir) {
  enter_directory(PLAT_NO_DIR, dir, NULL);
  return 0;
}

int scan_directory(const char *dir) {
  plat_dir d = plat_dir_open(dir);  // PLAT_NO_DIR: the listings go by path
  scan_open_directory(d, dir);
  plat_dir_close(d);
  return 0;
}
