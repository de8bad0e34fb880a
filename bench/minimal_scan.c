/* The least a scan of one directory can do with the calls KIVOR makes per
 * file: list the directory, look the entry up, check it is a regular file,
 * open it, check the open file again, read its first 10140 bytes and close
 * it.  The yardstick for
 * bench/scan-bench. */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char **argv) {
  static char buf[10141];
  char path[4096];
  long files = 0;
  if (argc < 2)
    return 2;
  DIR *d = opendir(argv[1]);
  if (d == NULL)
    return 1;
  struct dirent *e;
  while ((e = readdir(d)) != NULL) {
    struct stat st;
    snprintf(path, sizeof path, "%s/%s", argv[1], e->d_name);
    if (lstat(path, &st) != 0 || stat(path, &st) != 0 || !S_ISREG(st.st_mode))
      continue;
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOATIME);
    if (fd < 0)
      continue;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && read(fd, buf, 10140) > 0)
      files++;
    close(fd);
  }
  closedir(d);
  printf("%ld\n", files);
  return 0;
}
