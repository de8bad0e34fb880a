// File access: the file-name interpretation flag, and opening and reading a
// candidate file.
#include "platform/platform.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

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

#ifndef O_NOATIME
#define O_NOATIME 0
#endif

// Only regular files are opened: opening a FIFO would block (or take data
// meant for someone else) and opening a device can have side effects.  The
// open never blocks, and the status is checked again on the open descriptor
// in case the name was replaced in between.  O_NOATIME leaves the access
// time alone; the kernel allows it only to the file's owner (or a
// privileged process), so it is asked for only then, and an EPERM from a
// mismatch (a file system that checks differently) falls back to a plain open.
plat_handle plat_open_read(const char *path) {
  struct stat st;
  if (stat(path, &st) != 0 || !S_ISREG(st.st_mode))
    return PLAT_INVALID_HANDLE;
  int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  static const uid_t euid = geteuid();  // asked once: it never changes here
  int noatime = O_NOATIME != 0 && (st.st_uid == euid || euid == 0);
  int fd = open(path, flags | (noatime ? O_NOATIME : 0));
  if (fd < 0 && noatime && errno == EPERM)
    fd = open(path, flags);
  if (fd < 0)
    return PLAT_INVALID_HANDLE;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return PLAT_INVALID_HANDLE;
  }
  return (plat_handle)fd;
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
