// Accounting file access: the handle through which the file is cleaned
// before it is opened for appending.
#include "platform/platform.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

// O_NONBLOCK: a name that turns out to be a FIFO or a device must not hang
// the run at the open; such files are never cut (plat_file_size says -1).
static const int rw_flags = O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

static int to_fd(plat_handle h) {
  return h >= 0 && h <= INT_MAX ? (int)h : -1;
}

plat_handle plat_open_rw_existing(const char *path) {
  int fd;
  do {
    fd = open(path, rw_flags);
  } while (fd < 0 && errno == EINTR);
  return fd < 0 ? PLAT_INVALID_HANDLE : (plat_handle)fd;
}

plat_handle plat_create_new(const char *path) {
  int fd;
  do {
    fd = open(path, rw_flags | O_CREAT | O_EXCL, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd < 0 ? PLAT_INVALID_HANDLE : (plat_handle)fd;
}

int64_t plat_file_size(plat_handle h) {
  struct stat st;
  int fd = to_fd(h);
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    return -1;
  return (int64_t)st.st_size;
}

bool plat_file_mtime(plat_handle h, int64_t *seconds) {
  struct stat st;
  int fd = to_fd(h);
  if (fd < 0 || fstat(fd, &st) != 0)
    return false;
  *seconds = (int64_t)st.st_mtime;
  return true;
}

int plat_truncate(plat_handle h, int64_t offset) {
  int fd = to_fd(h);
  if (fd < 0 || offset < 0)
    return -1;
  int r;
  do {
    r = ftruncate(fd, (off_t)offset);
  } while (r != 0 && errno == EINTR);
  return r == 0 ? 0 : -1;
}
