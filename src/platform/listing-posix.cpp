// Directory listings with the behaviour of the Windows find calls: a search
// string "directory/pattern" lists the directory (or the open directory the
// walk holds) with getdents, keeps the names that match the pattern by
// Windows rules, and hands them out in a reproducible order ("." and ".."
// first, then by name with ASCII letters upper-cased, then by plain bytes).
//
// A listing is read completely when it is opened, so that it can be sorted.
// The walk opens and closes one listing per directory, so listing objects
// are kept on a free list and their buffers only ever grow: after the first
// few directories a listing allocates nothing.
#include "platform/platform.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>

#include "platform/ascii.h"
#include "platform/pseudo-posix.h"
#include "platform/wildcard.h"

namespace {

struct entry {
  size_t name_off;   // into the arena while reading, then ...
  const char *name;  // ... resolved once the arena has stopped moving
  uint32_t attributes;
  int regular;  // the kernel's listing said a regular file
};

}  // namespace

struct plat_find {
  struct plat_find *next_free;
  char *arena;  // the matching names, NUL-terminated, one after another
  size_t arena_len, arena_cap;
  struct entry *entries;
  size_t count, cap;
  size_t pos;  // next entry plat_find_next hands out
};

// Listings are taken by the walk and, for the lookup of a file that could
// not be opened, by the threads that read files ahead of it.
static struct plat_find *g_free_listings = NULL;
static std::mutex g_free_lock;

static struct plat_find *listing_get(void) {
  std::unique_lock<std::mutex> lock(g_free_lock);
  struct plat_find *h = g_free_listings;
  if (h != NULL) {
    g_free_listings = h->next_free;
  } else {
    lock.unlock();
    h = (struct plat_find *)calloc(1, sizeof *h);
    if (h == NULL)
      return NULL;
  }
  h->next_free = NULL;
  h->arena_len = 0;
  h->count = 0;
  h->pos = 0;
  return h;
}

static void listing_put(struct plat_find *h) {
  std::lock_guard<std::mutex> lock(g_free_lock);
  h->next_free = g_free_listings;
  g_free_listings = h;
}

// Appends one entry; 0 when memory runs out.
static int listing_add(struct plat_find *h, const char *name, size_t len, uint32_t attributes,
                       int regular) {
  if (h->arena_cap - h->arena_len < len + 1) {
    size_t cap = h->arena_cap != 0 ? h->arena_cap : 4096;
    while (cap - h->arena_len < len + 1)
      cap *= 2;
    char *p = (char *)realloc(h->arena, cap);
    if (p == NULL)
      return 0;
    h->arena = p;
    h->arena_cap = cap;
  }
  if (h->count == h->cap) {
    size_t cap = h->cap != 0 ? h->cap * 2 : 128;
    struct entry *p = (struct entry *)realloc(h->entries, cap * sizeof *p);
    if (p == NULL)
      return 0;
    h->entries = p;
    h->cap = cap;
  }
  memcpy(h->arena + h->arena_len, name, len + 1);
  h->entries[h->count].name_off = h->arena_len;
  h->entries[h->count].name = NULL;
  h->entries[h->count].attributes = attributes;
  h->entries[h->count].regular = regular;
  h->count++;
  h->arena_len += len + 1;
  return 1;
}

// The attributes of an entry whose lstat status is st; dirfd and name
// (or AT_FDCWD and a path) reach the entry again when it is a symbolic link.  A link carries the
// reparse flag, and the directory flag too when its target is a directory;
// a dangling link is a plain entry.
static uint32_t attributes_of(const struct stat *st, int dirfd, const char *name) {
  if (S_ISLNK(st->st_mode)) {
    struct stat target;
    if (fstatat(dirfd, name, &target, 0) == 0 && S_ISDIR(target.st_mode))
      return PLAT_ATTR_DIRECTORY | PLAT_ATTR_REPARSE;
    return PLAT_ATTR_REPARSE;
  }
  return S_ISDIR(st->st_mode) ? PLAT_ATTR_DIRECTORY : 0;
}

static int dot_rank(const char *s) {
  if (s[0] == '.' && s[1] == '\0')
    return 0;
  if (s[0] == '.' && s[1] == '.' && s[2] == '\0')
    return 1;
  return 2;
}

static int compare_entries(const void *pa, const void *pb) {
  const char *a = ((const struct entry *)pa)->name;
  const char *b = ((const struct entry *)pb)->name;
  int ra = dot_rank(a), rb = dot_rank(b);
  if (ra != rb)
    return ra - rb;
  const unsigned char *x = (const unsigned char *)a, *y = (const unsigned char *)b;
  for (;; x++, y++) {
    unsigned cx = ascii_upper(*x), cy = ascii_upper(*y);
    if (cx != cy)
      return cx < cy ? -1 : 1;
    if (cx == 0)
      break;
  }
  return strcmp(a, b);  // same letters, different case: plain bytes decide
}

static void fill_record(const struct plat_find *h, struct plat_find_data *fd) {
  const struct entry *e = &h->entries[h->pos];
  size_t len = strlen(e->name);  // below PLAT_NAME_MAX: longer names are never added
  memcpy(fd->name, e->name, len + 1);
  fd->attributes = e->attributes;
  fd->regular = e->regular;
}

// The kernel's directory records, read in one go per call.  A listing is
// read completely before it is handed out, so one buffer per thread serves
// them all.
static thread_local union {
  struct dirent64 align;
  char bytes[32768];
} g_dents;

// Reads the open directory dfd from its start and keeps the names that
// match the prepared pattern.  0, with errno set, when the directory cannot
// be read or memory runs out.
static int read_matching(struct plat_find *h, int dfd, const char *prepared) {
  if (lseek(dfd, 0, SEEK_SET) != 0)
    return 0;
  for (;;) {
    ssize_t got = getdents64(dfd, g_dents.bytes, sizeof g_dents.bytes);
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      return got == 0;
    for (ssize_t off = 0; off < got;) {
      const struct dirent64 *de = (const struct dirent64 *)(g_dents.bytes + off);
      off += de->d_reclen;
      const char *name = de->d_name;
      size_t len = strnlen(name, PLAT_NAME_MAX);
      if (len >= PLAT_NAME_MAX || !wild_match(prepared, name))
        continue;
      uint32_t attributes = 0;
      int regular = 0;
      switch (de->d_type) {
        case DT_DIR:
          attributes = PLAT_ATTR_DIRECTORY;
          break;
        case DT_REG:
          regular = 1;
          break;
        case DT_LNK:
        case DT_UNKNOWN: {
          struct stat st;
          if (fstatat(dfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;  // gone since it was listed
          attributes = attributes_of(&st, dfd, name);
          regular = S_ISREG(st.st_mode);  // the open need not ask again
          break;
        }
        default:
          break;
      }
      if (!listing_add(h, name, len, attributes, regular)) {
        errno = ENOMEM;
        return 0;
      }
    }
  }
}

struct plat_find *plat_find_first(const char *search, struct plat_find_data *fd) {
  return plat_find_in(PLAT_NO_DIR, search, fd);
}

// Hands out the listing h from its first entry, or gives it back with
// errno ENOENT when it holds none.
static struct plat_find *listing_start(struct plat_find *h, struct plat_find_data *fd) {
  if (h->count == 0) {
    listing_put(h);
    errno = ENOENT;
    return NULL;
  }
  for (size_t i = 0; i < h->count; i++)
    h->entries[i].name = h->arena + h->entries[i].name_off;
  if (h->count > 1)
    qsort(h->entries, h->count, sizeof h->entries[0], compare_entries);
  fill_record(h, fd);
  h->pos = 1;
  return h;
}

// plat_find_in and plat_find_lookup: apart, a listing of d is read through
// a descriptor of its own.
static struct plat_find *find_in(plat_dir d, const char *search, struct plat_find_data *fd,
                                 bool apart) {
  size_t len = strnlen(search, PLAT_PATH_MAX);
  if (len >= PLAT_PATH_MAX) {
    errno = ENAMETOOLONG;
    return NULL;
  }

  // dir receives the directory part with its separator ("." when there
  // is none); last points at the last component inside search.  An open
  // directory d stands for the directory part.
  char dir[PLAT_PATH_MAX];
  const char *slash = strrchr(search, PLAT_SEP);
  const char *last;
  if (slash == NULL) {
    dir[0] = '.';
    dir[1] = '\0';
    last = search;
  } else {
    size_t dlen = (size_t)(slash - search) + 1;
    memcpy(dir, search, dlen);
    dir[dlen] = '\0';
    last = slash + 1;
  }
  size_t last_len = len - (size_t)(last - search);
  int dfd = d != PLAT_NO_DIR ? (int)d : AT_FDCWD;
  const char *entry = d != PLAT_NO_DIR ? last : search;  // the entry, as dfd reaches it

  struct plat_find *h = listing_get();
  if (h == NULL) {
    errno = ENOMEM;
    return NULL;
  }

  if (!wild_has_wildcards(last)) {
    // An exact lookup of one name (which may hold any byte but '/').
    struct stat st;
    if (last_len > 0 && last_len < PLAT_NAME_MAX &&
        fstatat(dfd, entry, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      if (!listing_add(h, last, last_len, attributes_of(&st, dfd, entry), S_ISREG(st.st_mode))) {
        listing_put(h);
        errno = ENOMEM;  // not "no such file", which is passed over in silence
        return NULL;
      }
      return listing_start(h, fd);
    }
    // Windows drops trailing dots from a name, so "abc." finds "abc":
    // only then is the name matched against the listing.
    if (last_len == 0 || last[last_len - 1] != '.') {
      listing_put(h);
      errno = ENOENT;
      return NULL;
    }
  }

  char prepared[PLAT_PATH_MAX];
  int ok = wild_prepare(last, prepared, sizeof prepared);
  if (!ok) {
    errno = ENOENT;
  } else if (d != PLAT_NO_DIR && !apart) {
    ok = read_matching(h, dfd, prepared);
  } else {
    // The walk reads d's position; a lookup beside it must not move it.
    int own = plat_fd_open_dir(dfd, d != PLAT_NO_DIR ? "." : dir, 0);
    ok = own >= 0 && read_matching(h, own, prepared);
    if (own >= 0) {
      int saved = errno;
      close(own);
      errno = saved;
    }
  }
  if (!ok) {
    listing_put(h);
    return NULL;
  }
  return listing_start(h, fd);
}

struct plat_find *plat_find_in(plat_dir d, const char *search, struct plat_find_data *fd) {
  return find_in(d, search, fd, false);
}

struct plat_find *plat_find_lookup(plat_dir d, const char *search, struct plat_find_data *fd) {
  return find_in(d, search, fd, true);
}

int plat_find_next(struct plat_find *h, struct plat_find_data *fd) {
  if (h == NULL || h->pos >= h->count)
    return 0;
  fill_record(h, fd);
  h->pos++;
  return 1;
}

void plat_find_close(struct plat_find *h) {
  if (h != NULL)
    listing_put(h);
}
