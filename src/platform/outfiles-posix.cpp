// Output files: the standard streams at start-up, the hit file's open, and
// the identity of a file by stream or by name.
#include "platform/platform.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

void plat_open_standard_streams(void) {
  for (int fd = 0; fd <= 2; fd++) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
      continue;
    // The lowest free number is taken: this one, as the lower ones are open.
    int got = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (got >= 0 && got != fd)  // not expected; keep no stray descriptor
      close(got);
  }
}

static int is_fifo(const char *path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISFIFO(st.st_mode);
}

FILE *plat_open_output(const char *path, int append) {
  const int flags =
      O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
  int fd;
  for (;;) {
    // Non-blocking, so that a FIFO without a reader says ENXIO at once
    // instead of holding the run where Ctrl-C could not end it.
    fd = open(path, flags | O_NONBLOCK, 0666);
    int err = errno;
    if (fd >= 0 || (err != ENXIO && err != EINTR))
      break;
    if (err == ENXIO && !is_fifo(path))  // a socket, or a device not there
      break;
    if (plat_interrupted())
      return NULL;
    if (err == ENXIO) {
      struct timespec pause = {0, 30 * 1000 * 1000};
      nanosleep(&pause, NULL);
    }
  }
  if (fd < 0)
    return NULL;
  int fl = fcntl(fd, F_GETFL);  // writes may wait, as on any file
  if (fl == -1 || fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) == -1) {
    close(fd);
    return NULL;
  }
  FILE *f = fdopen(fd, append ? "a" : "w");
  if (f == NULL)
    close(fd);
  return f;
}

FILE *plat_fopen(const char *path, const char *mode) {
  return fopen(path, mode);
}

static int from_stat(const struct stat *st, struct plat_file_id *id) {
  id->volume = (uint64_t)st->st_dev;
  id->index = (uint64_t)st->st_ino;
  id->size = (int64_t)st->st_size;
  return 1;
}

int plat_stream_id(FILE *f, struct plat_file_id *id) {
  struct stat st;
  if (f == NULL || fstat(fileno(f), &st) != 0)
    return 0;
  return from_stat(&st, id);
}

int plat_path_id(const char *path, struct plat_file_id *id) {
  struct stat st;
  if (path == NULL || stat(path, &st) != 0)
    return 0;
  return from_stat(&st, id);
}
