// Generic7: the working buffer and the cleaning of a text file's end.
#include "log/generic7.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "log/shown.h"
#include "platform/platform.h"
#include "run/exit.h"
#include "run/startup.h"

const char g_generic7_module[] = "\\Work\\C70\\Lib70\\Generic7";

enum {
  BUFFER_PLACE = 100,  // number printed when the buffer cannot be had
  OPEN_PLACE = 392,    // number printed when the file cannot be opened
  MIN_TRIM_SIZE = 10,  // shorter files are never changed
  TRIM_UNITS = 16384,  // the cut point is searched 64 KiB at a time
  CTRL_Z = 26,
};

void *get_unit_buffer(size_t units) {
  void *p = units <= SIZE_MAX / 4 ? run_alloc(units * 4) : NULL;
  if (p == NULL) {
    fprintf(stderr, "\n%s\n%d\nnot enough memory for buffer\n", g_generic7_module,
            (int)BUFFER_PLACE);
    exit_program(INSUFFICIENT_MEMORY);
  }
  return p;
}

// Offset of the first NUL or Ctrl-Z among the n bytes at p, or n.
static size_t end_mark(const unsigned char *p, size_t n) {
  const void *nul = memchr(p, 0, n);
  size_t cut = nul != NULL ? (size_t)((const unsigned char *)nul - p) : n;
  const void *ctrl_z = memchr(p, CTRL_Z, cut);
  return ctrl_z != NULL ? (size_t)((const unsigned char *)ctrl_z - p) : cut;
}

// Reads the file open as h from its start, at most size bytes, one chunk at
// a time, and returns the offset of its first NUL or Ctrl-Z; -1 when there
// is none, or when a read fails before one is found (the file is then left
// alone rather than cut at a guess).
static int64_t find_cut(plat_handle h, int64_t size) {
  // One buffer serves every accounting file of the run.  It is taken only
  // for a file long enough to be cut, which is where a failure to get it
  // ends the run.
  static unsigned char *chunk = NULL;
  const size_t chunk_size = (size_t)TRIM_UNITS * 4;
  if (chunk == NULL)
    chunk = (unsigned char *)get_unit_buffer(TRIM_UNITS);

  int64_t done = 0;
  while (done < size) {
    int64_t left = size - done;
    size_t want = left < (int64_t)chunk_size ? (size_t)left : chunk_size;
    long n = plat_read(h, chunk, want);
    if (n <= 0)  // a failure, or the file ended early
      return -1;
    size_t at = end_mark(chunk, (size_t)n);
    if (at < (size_t)n)
      return done + (int64_t)at;
    done += n;
  }
  return -1;
}

void trim_file_at_eof(const char *path) {
  plat_handle h = plat_open_rw_existing(path);
  if (h == PLAT_INVALID_HANDLE)
    h = plat_create_new(path);
  if (h == PLAT_INVALID_HANDLE) {
    fprintf(stderr, "\n%s\n%d\nerror opening %s\n", g_generic7_module, (int)OPEN_PLACE,
            shown_name(path));
    exit(1);
  }
  int64_t size = plat_file_size(h);
  if (size >= MIN_TRIM_SIZE) {
    int64_t cut = find_cut(h, size);
    if (cut >= 0)
      plat_truncate(h, cut);
  }
  plat_close(h);
}
