// The search lists and the leading path arguments.
#include "search/lists.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "log/shown.h"
#include "platform/wildcard.h"
#include "run/exit.h"
#include "run/globals.h"
#include "run/startup.h"

// What a list holds, for its messages.
struct list_kind {
  const char *one;   // "search directory"
  const char *many;  // "search directories"
};
static const struct list_kind dir_kind = {"search directory", "search directories"};
static const struct list_kind type_kind = {"file type", "file types"};

// Stores a heap copy of s, with spare extra bytes, in the first free slot
// of list.  The last of the LIST_SLOTS slots always stays NULL.
static void append_copy(char **list, const struct list_kind *kind, const char *s,
                        size_t spare) {
  int i = 0;
  while (i < LIST_SLOTS - 1 && list[i] != NULL)
    i++;
  if (i >= LIST_SLOTS - 1) {
    fprintf(stderr, "Too many %s (at most %d): %s not added\n", kind->many, LIST_SLOTS - 1, shown_name(s));
    return;
  }
  size_t len = strlen(s);
  char *copy = (char *)run_alloc(len + 1 + spare);
  if (copy == NULL) {
    fprintf(stderr, "Not enough memory to add the %s %s\n", kind->one, shown_name(s));
    exit_program(INSUFFICIENT_MEMORY);
  }
  memcpy(copy, s, len + 1);
  list[i] = copy;
  list[i + 1] = NULL;
}

// Drops a trailing separator unless no other separator stays before it: a
// root ("/", or a drive root such as "C:\") keeps its separator, so it
// still names the root.
static void drop_trailing_separator(char *path) {
  size_t len = strlen(path);
  if (len < 2 || path[len - 1] != PLAT_SEP)
    return;
  if (memchr(path, PLAT_SEP, len - 1) == NULL)
    return;
  path[len - 1] = '\0';
}

// The full path of path in out (PATH_BUF bytes); 0, with a message, when it
// cannot be formed (too long, or the current directory cannot be read).
static int full_path_of(const char *path, char *out) {
  if (plat_full_path(path, out, PATH_BUF) != 0)
    return 1;
  fprintf(stderr, "couldn't form the full path of %s, skipped\n", shown_name(path));
  return 0;
}

static unsigned named_files;  // a bit per g_filetypes slot: filetype_names_one_file

// add_filetype, which says where the pattern came from.
static void add_type(const char *pattern, bool from_path) {
  int i = 0;
  for (; g_filetypes[i] != NULL; i++)
    if (strcmp(g_filetypes[i], pattern) == 0)
      break;
  if (g_filetypes[i] == NULL) {
    append_copy(g_filetypes, &type_kind, pattern, 0);
    if (g_filetypes[i] == NULL)
      return;  // refused
    if (from_path && !wild_has_wildcards(pattern))
      named_files |= 1u << i;
  } else if (!from_path) {
    named_files &= ~(1u << i);  // also a -f type
  }
}

void add_filetype(const char *pattern) {
  add_type(pattern, false);
}

bool filetype_names_one_file(int i) {
  return (named_files >> i) & 1;
}

void add_searchdir(const char *path) {
  static char full[PATH_BUF];
  if (!full_path_of(path, full))
    return;
  drop_trailing_separator(full);
  for (int i = 0; g_searchdirs[i] != NULL; i++)
    if (plat_path_compare(g_searchdirs[i], full) == 0)
      return;
  append_copy(g_searchdirs, &dir_kind, full, 1);
}

char *walk_root(int i) {
  char *dir = g_searchdirs[i];
  if (dir == NULL)
    return NULL;
  size_t len = strlen(dir);
  if (len == 0 || dir[len - 1] != PLAT_SEP) {
    dir[len] = PLAT_SEP;
    dir[len + 1] = '\0';
  }
  return dir;
}

void add_path_argument(const char *arg) {
  static char full[PATH_BUF];
  static char drive[PATH_BUF], dir[PATH_BUF], fname[PATH_BUF], ext[PATH_BUF];
  static char piece[PATH_BUF];

  if (!full_path_of(arg, full))
    return;
  int is_dir = plat_is_directory(full);
  int reason = errno;
  if (is_dir == 1) {
    add_searchdir(full);
    return;
  }
  plat_split_path(full, drive, dir, fname, ext, PATH_BUF);

  // The directory part.  add_searchdir drops its trailing separator and any
  // duplicate, so a directory named twice is walked once.
  int n = snprintf(piece, sizeof piece, "%s%s", drive, dir);
  if (n < 0 || (size_t)n >= sizeof piece)
    return;  // cannot happen: the pieces come from a full path that fits
  add_searchdir(piece);

  // The last component as a pattern, unless there is none (a path that
  // ends in a separator).  A name that is all extension (".profile") is a
  // name too.
  n = snprintf(piece, sizeof piece, "%s%s", fname, ext);
  if (n <= 0 || (size_t)n >= sizeof piece)
    return;
  // A name without wildcards that does not exist (a mistyped directory
  // becomes such a name) is said, or the run would search for it and
  // report 0 files searched without a word.  The name stays a pattern.  A
  // name that begins with '-' ends the patterns and is never looked for.
  if (is_dir < 0 && piece[0] != '-' && !wild_has_wildcards(piece))
    fprintf(stderr, "couldn't find %s: %s\n", shown_name(full), strerror(reason));
  add_type(piece, true);
}
