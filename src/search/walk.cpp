// The directory walk: depth-first, post-order, pattern by pattern.
//
// Every directory is held open while it is walked, and its subdirectories
// and files are reached through that open directory, never again through
// the path text: a subdirectory swapped for a link between its listing and
// its descent is refused, not followed.  The path text is kept for what the
// walk prints and for the names check_file shows.
//
// The walk itself prints nothing: each step is an event (readahead.h),
// and the events are shown and examined in the order the walk makes them,
// on the main thread, while the walk and the reading of files may run
// ahead on threads of their own.
#include "search/walk.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "log/shown.h"
#include "run/abort.h"
#include "run/exit.h"
#include "run/globals.h"
#include "search/access.h"
#include "search/archive.h"
#include "search/examine.h"
#include "search/pathjoin.h"
#include "search/readahead.h"

// The walk's messages, as RA_MESSAGE events carry them.
enum {
  MSG_TOO_LONG,   // "path too long, skipped: " text (and the pattern)
  MSG_UNLISTED,   // "couldn't list " text ": " reason
  MSG_PSEUDO,     // "not a disk file system, skipped: " text
};

// The path of the directory being descended into.  One buffer serves every
// level: a level appends a subdirectory's name and separator after its own
// path and cuts them off again when that subtree is done, so deep trees need
// no path buffer per level on the stack.
static char walk_path[PATH_BUF];

// Hands over an event of kind with text a followed by b (cut to the event's
// room, which every path the walk makes fits); false when the run is being
// stopped.
static bool emit(int kind, const char *a, const char *b = "", int message = 0,
                 int pattern = -1, int err = 0, plat_dir dir = PLAT_NO_DIR) {
  struct ra_event *e = ra_claim();
  if (e == NULL)
    return false;
  e->kind = kind;
  e->message = message;
  e->pattern = pattern;
  e->err = err;
  e->dir = dir;
  snprintf(e->text, PATH_BUF + PLAT_NAME_MAX, "%s%s", a, b);
  ra_publish(e);
  return true;
}

// Hands over the file name of the open directory d (whose path is dir).
// archive_only: the file is opened as an archive only (-a), not examined.
static bool emit_file(plat_dir d, const char *dir, size_t dir_len, const struct plat_find_data *fd,
                      int archive_only) {
  struct ra_event *e = ra_claim();
  if (e == NULL)
    return false;
  e->kind = RA_FILE;
  size_t name_len = strlen(fd->name);
  memcpy(e->text, dir, dir_len);
  memcpy(e->text + dir_len, fd->name, name_len + 1);
  e->file.dir = d;
  e->file.regular = fd->regular;
  e->file.archive_only = archive_only;
  ra_publish(e);
  return true;
}

// The listing calls of the walk, which may run beside the opens of files.
static struct plat_find *list_first(plat_dir d, const char *search, struct plat_find_data *fd) {
  ra_listing_point();
  if (PLAT_NAMES_BY_MODE)
    names_lock_shared();
  struct plat_find *h = plat_find_in(d, search, fd);
  if (PLAT_NAMES_BY_MODE) {
    int saved = errno;
    names_unlock_shared();
    errno = saved;
  }
  return h;
}

static int list_next(struct plat_find *h, struct plat_find_data *fd) {
  if (PLAT_NAMES_BY_MODE) {  // elsewhere the listing was read by list_first
    ra_listing_point();
    names_lock_shared();
  }
  int more = plat_find_next(h, fd);
  if (PLAT_NAMES_BY_MODE)
    names_unlock_shared();
  return more;
}

static bool enter_directory(plat_dir parent, const char *dir, const char *name);

// Lists the open directory d (whose path is dir) once for each pattern and
// hands every entry that is not a directory on as a file.
static bool scan_open_directory(plat_dir d, const char *dir) {
  struct plat_find_data fd;
  size_t dir_len = strlen(dir);
  if (dir_len >= PATH_BUF)
    return emit(RA_MESSAGE, dir, "", MSG_TOO_LONG);

  if (g_settings->show_dirs && !emit(RA_LINE, dir))
    return false;
  for (int i = 0; g_filetypes[i] != NULL && g_filetypes[i][0] != '-'; i++) {
    if (!join_path_quietly(g_patternstr, PATH_BUF, dir, g_filetypes[i])) {
      if (!emit(RA_MESSAGE, dir, "", MSG_TOO_LONG, i))
        return false;
      continue;
    }
    struct plat_find *h = list_first(d, g_patternstr, &fd);
    if (h == NULL) {
      if (errno != ENOENT && !emit(RA_MESSAGE, g_patternstr, "", MSG_UNLISTED, -1, errno))
        return false;  // not "nothing matches": the listing failed
      continue;
    }
    bool going = true;
    do {
      if ((fd.attributes & PLAT_ATTR_DIRECTORY) == 0)
        going = emit_file(d, dir, dir_len, &fd, 0);
    } while (going && list_next(h, &fd));
    plat_find_close(h);
    if (!going)
      return false;
  }
  // -a: the files whose names end in an archive extension but match no
  // pattern, to be opened as archives only.
  if (g_settings->search_archives && archives_beyond_patterns()) {
    if (!join_path_quietly(g_patternstr, PATH_BUF, dir, "*.*"))
      return true;  // said above
    struct plat_find *h = list_first(d, g_patternstr, &fd);
    bool going = true;
    if (h != NULL) {
      do {
        if ((fd.attributes & PLAT_ATTR_DIRECTORY) == 0 && archive_only_candidate(fd.name))
          going = emit_file(d, dir, dir_len, &fd, 1);
      } while (going && list_next(h, &fd));
      plat_find_close(h);
    }
    return going;
  }
  return true;
}

// Walks every subdirectory of the open directory d (path dir), in listing
// order.  Links and other reparse points are not entered: a link back to an
// ancestor would walk forever.
static bool walk_subdirectories(plat_dir d, const char *dir, struct plat_find *h,
                                struct plat_find_data *fd) {
  size_t len = strlen(dir);
  if (dir != walk_path) {  // a search directory: start the path afresh
    if (len >= sizeof walk_path)
      return true;
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
    bool going;
    if (n < 0 || (size_t)n >= room) {
      walk_path[len] = '\0';
      going = emit(RA_MESSAGE, walk_path, fd->name, MSG_TOO_LONG);
    } else {
      going = enter_directory(d, walk_path, fd->name);
      walk_path[len] = '\0';
    }
    if (!going)
      return false;
  } while (list_next(h, fd));
  return true;
}

// Opens dir (the subdirectory name of parent, or with no parent a search
// directory, whose link is followed) and walks it: its subdirectories when
// recursing, then its own files.  A directory that cannot be opened or
// listed, and one on a pseudo file system, is named and passed over with
// everything below it.  The open directory is handed over with the last
// event; false when the run is being stopped.
static bool enter_directory(plat_dir parent, const char *dir, const char *name) {
  if (!emit(RA_ENTER, dir))
    return false;
  // A directory whose listing would not fit the limit cannot be searched;
  // that is said, so that a summary never hides it.
  if (!join_path_quietly(g_searchstr, PATH_BUF, dir, "*.*"))
    return emit(RA_MESSAGE, dir, "", MSG_TOO_LONG);
  plat_dir d = ra_open_dir(parent, dir, name);
  if (d == PLAT_NO_DIR)
    return emit(RA_MESSAGE, dir, "", MSG_UNLISTED, -1, errno);
  bool going = true;
  if (plat_dir_is_pseudo(d)) {
    going = emit(RA_MESSAGE, dir, "", MSG_PSEUDO);
    ra_close_dir(d);
    return going;
  }
  if (g_settings->recurse) {
    struct plat_find_data fd;
    struct plat_find *h = list_first(d, g_searchstr, &fd);
    if (h == NULL && errno != ENOENT) {  // ENOENT: nothing in it (a bare drive root)
      going = emit(RA_MESSAGE, dir, "", MSG_UNLISTED, -1, errno);
      ra_close_dir(d);
      return going;
    }
    if (h != NULL)
      going = walk_subdirectories(d, dir, h, &fd);
    plat_find_close(h);
  }
  if (going)
    going = scan_open_directory(d, dir);
  // The files handed over may still be read through d: it is closed when
  // this last event is consumed, after them.
  if (going && emit(RA_LEAVE, dir, "", 0, -1, 0, d))
    return true;
  ra_close_dir(d);
  return false;
}

// ------------------------------------------------------------ consuming

static void consume(struct ra_event *e) {
  switch (e->kind) {
    case RA_ENTER:
      if (abort_key_pressed())
        exit_program(USER_ABORTED);
      break;
    case RA_LINE:
      fprint_name(stderr, e->text);
      fputc('\n', stderr);
      break;
    case RA_MESSAGE:
      switch (e->message) {
        case MSG_TOO_LONG:
          say_path_too_long(e->text, e->pattern >= 0 ? g_filetypes[e->pattern] : "");
          break;
        case MSG_UNLISTED:
          fprintf(stderr, "couldn't list %s: %s\n", shown_name(e->text), strerror(e->err));
          break;
        default:
          fprintf(stderr, "not a disk file system, skipped: %s\n", shown_name(e->text));
          break;
      }
      break;
    case RA_FILE:
      if (abort_key_pressed()) {
        discard_candidate(&e->file);
        exit_program(USER_ABORTED);
      }
      examine_candidate(&e->file);
      break;
    default:  // RA_LEAVE
      plat_dir_close(e->dir);
      break;
  }
}

// Between events: the keyboard is polled as often while waiting for a
// slow read as between files.
static void idle(void) {
  if (abort_key_pressed())
    exit_program(USER_ABORTED);
}

static void walk_from(void *dir) {
  enter_directory(PLAT_NO_DIR, (const char *)dir, NULL);
}

static void scan_only(void *dir) {
  plat_dir d = ra_open_dir(PLAT_NO_DIR, (const char *)dir, NULL);  // PLAT_NO_DIR: by path
  if (scan_open_directory(d, (const char *)dir) && d != PLAT_NO_DIR &&
      emit(RA_LEAVE, (const char *)dir, "", 0, -1, 0, d))
    return;
  ra_close_dir(d);
}

int walk_directory(const char *dir) {
  ra_run(walk_from, (void *)dir, consume, idle);
  return 0;
}

int scan_directory(const char *dir) {
  ra_run(scan_only, (void *)dir, consume, idle);
  return 0;
}
