// File access: the file-name interpretation flag, and opening and reading a
// candidate file.
#include "platform/platform.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "platform/pseudo-posix.h"

// POSIX names are plain bytes under either interpretation; the flag is kept
// only so that the order of attempts and the restore rule behave as on
// Windows.  The process starts in ANSI mode, as a Windows process does.
static int g_file_apis_ansi = 1;

int plat_file_apis_are_ansi(void) {
  return g_file_apis_ansi;
}

void plat_set_file_apis_ansi(void) {
  g_file_apis_ansi = 1;
}

void plat_set_file_apis_oem(void) {
  g_file_apis_ansi = 0;
}

static const int read_flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

static void set_id(const struct statx *sx, struct plat_file_id *id) {
  if (id != NULL) {
    id->volume = (uint64_t)makedev(sx->stx_dev_major, sx->stx_dev_minor);  // st_dev's value
    id->index = (uint64_t)sx->stx_ino;
    id->size = (sx->stx_mask & STATX_SIZE) != 0 ? (int64_t)sx->stx_size : -1;
  }
}

// 1 when the open file may lie on another file system than its directory:
// the root of a mount (a file bound over an entry of a disk tree: /proc's
// files can be bound so), or any file where the kernel cannot say (before
// Linux 5.8).
static int may_be_mounted_over(const struct statx *sx) {
  if ((sx->stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) == 0)
    return 1;
  return (sx->stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
}

int plat_open_quietly(int dfd, const char *name, int flags, int may_noatime) {
  if (O_NOATIME == 0 || !may_noatime)
    return openat(dfd, name, flags);
  int fd = openat(dfd, name, flags | O_NOATIME);
  if (fd < 0 && errno == EPERM)
    fd = openat(dfd, name, flags);
  return fd;
}

// Only regular files are opened: opening a FIFO would block (or take data
// meant for someone else) and opening a device can have side effects.  The
// open never blocks, and the status is checked again on the open descriptor
// in case the name was replaced in between.  O_NOATIME leaves the access
// time alone where the kernel allows it.
//
// A link is followed (a link to a key is examined like the key), but not
// onto a pseudo file system: a link to /proc/kmsg must not drain the
// kernel's log.  Nor is a file of a pseudo file system bound over an entry
// of the tree read: the status of the open file tells a mount's root.  The name is opened without following a link unless the
// status said it is one, so a file swapped for a link in between is refused.
//
// An entry the listing knew as a regular file costs one open and one fstat:
// it is opened without following a link, and only when it has become one
// since (ELOOP) does the open go the long way, through its status.
plat_handle plat_open_read_in(plat_dir d, const char *path, int regular,
                              struct plat_file_id *id) {
  int dfd = AT_FDCWD;
  const char *name = path;
  if (d != PLAT_NO_DIR) {
    const char *slash = strrchr(path, PLAT_SEP);
    dfd = (int)d;
    name = slash != NULL ? slash + 1 : path;
  }
  static const uid_t euid = geteuid();  // asked once: it never changes here
  struct stat st;
  int link = 0;
  int fd = -1;
  if (regular) {
    // The owner is not known before the open: O_NOATIME is tried, and a
    // file of someone else's costs a second open (for root, never).
    fd = plat_open_quietly(dfd, name, read_flags | O_NOFOLLOW, 1);
    if (fd < 0 && errno != ELOOP)
      return PLAT_INVALID_HANDLE;
  }
  if (fd < 0) {
    if (fstatat(dfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
      return PLAT_INVALID_HANDLE;
    link = S_ISLNK(st.st_mode);
    if (link && fstatat(dfd, name, &st, 0) != 0)
      return PLAT_INVALID_HANDLE;
    if (!S_ISREG(st.st_mode)) {
      errno = EINVAL;
      return PLAT_INVALID_HANDLE;
    }
    fd = plat_open_quietly(dfd, name, read_flags | (link ? 0 : O_NOFOLLOW),
                      st.st_uid == euid || euid == 0);
    if (fd < 0)
      return PLAT_INVALID_HANDLE;
  }
  struct statx sx;
  if (statx(fd, "", AT_EMPTY_PATH, STATX_TYPE | STATX_INO | STATX_SIZE, &sx) != 0 || !S_ISREG(sx.stx_mode) ||
      ((link || may_be_mounted_over(&sx)) && plat_fd_on_pseudo_fs(fd))) {
    close(fd);
    errno = EINVAL;
    return PLAT_INVALID_HANDLE;
  }
  set_id(&sx, id);
  return (plat_handle)fd;
}

plat_handle plat_open_read(const char *path) {
  return plat_open_read_in(PLAT_NO_DIR, path, 0, NULL);
}

long plat_read(plat_handle h, void *buffer, size_t count) {
  if (h < 0 || h > INT_MAX)
    return -1;
  if (count > (size_t)SSIZE_MAX)  // read()'s own limit, and the result fits a long
    count = (size_t)SSIZE_MAX;
  ssize_t n;
  do {
    n = read((int)h, buffer, count);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : (long)n;
}

void plat_close(plat_handle h) {
  if (h >= 0 && h <= INT_MAX)
    close((int)h);
}

int64_t plat_seek(plat_handle h, int64_t offset, int whence) {
  static const int from[3] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (h < 0 || h > INT_MAX || whence < 0 || whence > 2)
    return -1;
  off_t pos = lseek((int)h, (off_t)offset, from[whence]);
  return pos < 0 ? -1 : (int64_t)pos;
}
