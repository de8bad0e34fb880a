/* Makes a benchmark tree: CHAINS top directories, each a chain of DEPTH
 * nested directories, each holding FILES small files.  Usage:
 * make_tree DIR CHAINS DEPTH FILES */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char **argv) {
  if (argc < 5)
    return 2;
  long chains = atol(argv[2]), depth = atol(argv[3]), files = atol(argv[4]);
  char path[4096];
  for (long c = 0; c < chains; c++) {
    int n = snprintf(path, sizeof path, "%s/c%05ld", argv[1], c);
    for (long l = 0; l < depth; l++) {
      if (l > 0)
        n += snprintf(path + n, sizeof path - n, "/d%02ld", l);
      if (mkdir(path, 0755) != 0)
        return 1;
      for (long f = 0; f < files; f++) {
        char name[4200];
        snprintf(name, sizeof name, "%s/file%04ld.txt", path, f);
        int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0)
          return 1;
        dprintf(fd, "small file %ld %ld %ld\n", c, l, f);
        close(fd);
      }
    }
  }
  return 0;
}
