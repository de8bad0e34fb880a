// Directory listings through FindFirstFileW / FindNextFileW / FindClose.
// The system does the matching and decides the order; the find record is
// cut down to what the program reads: the directory and reparse-point
// attribute bits and the bare name, in UTF-8.
//
// The system's search handle is itself the listing: struct plat_find is
// never defined on Windows, a listing pointer is the HANDLE, and
// INVALID_HANDLE_VALUE becomes NULL.  Nothing is allocated per listing.
#include "platform/platform.h"

#include <string.h>
#include <errno.h>
#include <windows.h>

#include "platform/errors-win32.h"
#include "platform/wide-win32.h"

static HANDLE handle_of(struct plat_find *h) {
  return (HANDLE)h;
}

// Copies the parts of the system's record that the program reads.  The
// name is cut at the record's size should the system ever leave it
// unterminated; in UTF-8 it always fits (three bytes a unit at the most).
static void fill_record(const WIN32_FIND_DATAW *w, struct plat_find_data *fd) {
  static_assert(sizeof fd->name >= 3 * (sizeof w->cFileName / sizeof w->cFileName[0] - 1) + 1,
                "find record name too small");
  fd->attributes = w->dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
  fd->regular = 0;  // the open checks the type in any case
  const size_t units = sizeof w->cFileName / sizeof w->cFileName[0];
  size_t len = wcsnlen(w->cFileName, units);
  if (len >= units)
    len = units - 1;
  if (utf8_from_wide(w->cFileName, len, fd->name, sizeof fd->name) < 0)
    fd->name[0] = '\0';
}

struct plat_find *plat_find_first(const char *search, struct plat_find_data *fd) {
  // A search string beyond the path limit is refused here rather than
  // handed to the system, which would either fail or, with long-path
  // support, return names the program's buffers cannot hold.
  if (search == NULL || strnlen(search, PLAT_PATH_MAX) >= PLAT_PATH_MAX) {
    errno = ENAMETOOLONG;
    return NULL;
  }
  wchar_t wide[WIDE_PATH_MAX];
  if (!wide_path(search, wide))
    return NULL;
  WIN32_FIND_DATAW w;
  HANDLE handle = FindFirstFileW(wide, &w);
  if (handle == INVALID_HANDLE_VALUE || handle == NULL) {
    plat_set_errno_from_last_error();
    return NULL;
  }
  fill_record(&w, fd);
  return (struct plat_find *)handle;
}

// The open directory needs nothing here: it is held so that the path's
// directories stay what they were when listed.
struct plat_find *plat_find_in(plat_dir d, const char *search, struct plat_find_data *fd) {
  (void)d;
  return plat_find_first(search, fd);
}

struct plat_find *plat_find_lookup(plat_dir d, const char *search, struct plat_find_data *fd) {
  return plat_find_in(d, search, fd);
}

int plat_find_next(struct plat_find *h, struct plat_find_data *fd) {
  if (h == NULL)
    return 0;
  WIN32_FIND_DATAW w;
  if (!FindNextFileW(handle_of(h), &w))
    return 0;
  fill_record(&w, fd);
  return 1;
}

void plat_find_close(struct plat_find *h) {
  if (h == NULL)
    return;
  FindClose(handle_of(h));
}
