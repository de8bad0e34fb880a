/* Makes a tree of ordinary DOS and Windows programs, none self-extracting:
 *   make_programs DIR COUNT
 * COUNT files of 16 KiB in 100 directories: three in four DOS programs
 * whose image is the whole file, one in four Windows programs with data
 * after their last section (as signed programs and installers with
 * resources appended have), which makes -a look there. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

enum { SIZE = 16384 };

static void put16(unsigned char *b, unsigned v) {
  b[0] = (unsigned char)v;
  b[1] = (unsigned char)(v >> 8);
}

static void put32(unsigned char *b, unsigned v) {
  put16(b, v & 0xFFFF);
  put16(b + 2, v >> 16);
}

int main(int argc, char **argv) {
  if (argc != 3)
    return 2;
  long count = atol(argv[2]);
  static unsigned char b[SIZE];
  char path[4096];
  for (long i = 0; i < count; i++) {
    if (i % (count / 100 + 1) == 0) {
      snprintf(path, sizeof path, "%s/d%03ld", argv[1], i / (count / 100 + 1));
      mkdir(path, 0755);
    }
    memset(b, 0, sizeof b);
    for (int k = 64; k < SIZE; k++)
      b[k] = (unsigned char)(k * 31 + i);
    b[0] = 'M', b[1] = 'Z';
    put16(b + 2, 0);
    put16(b + 4, SIZE / 512);  /* the image is the whole file */
    if (i % 4 == 3) {          /* a Windows program: one section to 12 KiB */
      put32(b + 0x3C, 0x80);
      memcpy(b + 0x80, "PE\0\0", 4);
      put16(b + 0x80 + 6, 1);
      put16(b + 0x80 + 20, 0);
      put32(b + 0x98 + 16, 12288 - 512);
      put32(b + 0x98 + 20, 512);
    }
    snprintf(path, sizeof path, "%s/d%03ld/P%05ld.EXE", argv[1], i / (count / 100 + 1), i);
    FILE *f = fopen(path, "wb");
    if (f == NULL || fwrite(b, 1, sizeof b, f) != sizeof b || fclose(f) != 0)
      return 1;
  }
  return 0;
}
