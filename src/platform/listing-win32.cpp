// Directory listings through FindFirstFileA / FindNextFileA / FindClose.
// The system does the matching and decides the order; the find record is
// cut down to what the program reads: the directory and reparse-point
// attribute bits and the bare name.
//
// A listing object only carries the search handle.  The walk opens and
// closes one listing per directory, so closed objects are kept on a free
// list and reused: after the deepest level has been reached once, a listing
// allocates nothing.
#include "platform/platform.h"

#include <stdlib.h>
#include <string.h>
#include <windows.h>

struct plat_find {
  HANDLE handle;  // never INVALID_HANDLE_VALUE while the listing is open
  struct plat_find *next_free;
};

static struct plat_find *g_free_listings = NULL;

static struct plat_find *listing_get(void) {
  struct plat_find *h = g_free_listings;
  if (h != NULL) {
    g_free_listings = h->next_free;
  } else {
    h = (struct plat_find *)calloc(1, sizeof *h);
    if (h == NULL)
      return NULL;
  }
  h->next_free = NULL;
  h->handle = INVALID_HANDLE_VALUE;
  return h;
}

static void listing_put(struct plat_find *h) {
  h->handle = INVALID_HANDLE_VALUE;
  h->next_free = g_free_listings;
  g_free_listings = h;
}

// Copies the parts of the system's record that the program reads.  The
// name is cut at the record's size should the system ever leave it
// unterminated.
static void fill_record(const WIN32_FIND_DATAA *w, struct plat_find_data *fd) {
  static_assert(sizeof fd->name >= sizeof w->cFileName, "find record name too small");
  fd->attributes = w->dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
  size_t len = strnlen(w->cFileName, sizeof w->cFileName);
  if (len >= sizeof w->cFileName)
    len = sizeof w->cFileName - 1;
  memcpy(fd->name, w->cFileName, len);
  fd->name[len] = '\0';
}

struct plat_find *plat_find_first(const char *search, struct plat_find_data *fd) {
  // A search string beyond the path limit is refused here rather than
  // handed to the system, which would either fail or, with long-path
  // support, return names the program's buffers cannot hold.
  if (search == NULL || strnlen(search, PLAT_PATH_MAX) >= PLAT_PATH_MAX)
    return NULL;
  struct plat_find *h = listing_get();
  if (h == NULL)
    return NULL;
  WIN32_FIND_DATAA w;
  h->handle = FindFirstFileA(search, &w);
  if (h->handle == INVALID_HANDLE_VALUE) {
    listing_put(h);
    return NULL;
  }
  fill_record(&w, fd);
  return h;
}

int plat_find_next(struct plat_find *h, struct plat_find_data *fd) {
  if (h == NULL)
    return 0;
  WIN32_FIND_DATAA w;
  if (!FindNextFileA(h->handle, &w))
    return 0;
  fill_record(&w, fd);
  return 1;
}

void plat_find_close(struct plat_find *h) {
  if (h == NULL)
    return;
  FindClose(h->handle);
  listing_put(h);
}
