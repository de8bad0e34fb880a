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

// True when the n bytes at p are all NUL or Ctrl-Z.
static bool only_padding(const unsigned char *p, size_t n) {
  for (size_t i = 0; i < n; i++)
    if (p[i] != 0 && p[i] != CTRL_Z)
      return false;
  return true;
}

enum {
  NO_CUT = -1,   // no mark, or a read failed: the file stays as it is
  FOREIGN = -2,  // other bytes follow the first mark
};

// Reads the file open as h from its start, at most size bytes, one chunk of
// chunk_size bytes at a time into chunk, and returns the offset of its
// first NUL or Ctrl-Z when only such bytes follow it; NO_CUT or FOREIGN.
static int64_t find_cut(plat_handle h, int64_t size, unsigned char *chunk, size_t chunk_size) {
  int64_t done = 0, cut = NO_CUT;
  while (done < size) {
    int64_t left = size - done;
    size_t want = left < (int64_t)chunk_size ? (size_t)left : chunk_size;
    long n = plat_read(h, chunk, want);
    if (n <= 0)  // a failure, or the file ended early: no cut at a guess
      return NO_CUT;
    size_t from = 0;
    if (cut < 0) {
      from = end_mark(chunk, (size_t)n);
      if (from < (size_t)n)
        cut = done + (int64_t)from;
    }
    if (cut >= 0 && !only_padding(chunk + from, (size_t)n - from))
      return FOREIGN;
    done += n;
  }
  return cut;
}

int trim_file_at_eof(const char *path) {
  // One buffer serves every accounting file of the run.  It is taken only
  // for a file long enough to be cut, which is where a failure to get it
  // ends the run; a shorter one fits a small buffer of its own.
  static unsigned char *chunk = NULL;
  unsigned char small[MIN_TRIM_SIZE];

  plat_handle h = plat_open_rw_existing(path);
  if (h == PLAT_INVALID_HANDLE)
    h = plat_create_new(path);
  if (h == PLAT_INVALID_HANDLE) {
    fprintf(stderr, "\n%s\n%d\nerror opening %s\n", g_generic7_module, (int)OPEN_PLACE,
            shown_name(path));
    exit(1);
  }
  int64_t size = plat_file_size(h);
  int64_t cut = NO_CUT;
  if (size >= MIN_TRIM_SIZE) {
    if (chunk == NULL)
      chunk = (unsigned char *)get_unit_buffer(TRIM_UNITS);
    cut = find_cut(h, size, chunk, (size_t)TRIM_UNITS * 4);
    if (cut >= 0)
      plat_truncate(h, cut);
  } else if (size > 0) {
    cut = find_cut(h, size, small, sizeof small);  // looked at, never cut
  }
  plat_close(h);
  return cut == FOREIGN ? 1 : 0;
}
