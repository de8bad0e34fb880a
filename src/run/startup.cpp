// The allocations made once at start-up, and the run's defaults.
#include "run/startup.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "run/exit.h"
#include "run/globals.h"

// Test seam: the number of the allocation that is made to fail, 0 for none.
static long fail_at = -1;  // -1: not read yet
static long alloc_count = 0;

void *run_alloc(size_t size) {
  if (fail_at < 0) {
    const char *s = getenv("KIVOR_FAIL_ALLOC");
    fail_at = s != NULL ? strtol(s, NULL, 10) : 0;
    if (fail_at < 0)
      fail_at = 0;
  }
  if (fail_at != 0 && ++alloc_count == fail_at)
    return NULL;
  return calloc(1, size);
}

// Allocates a path buffer or ends the run with the buffer's message.
static char *path_buffer(void) {
  char *p = (char *)run_alloc(PATH_BUF);
  if (p == NULL) {
    fputs("Couldn't create pg_complete_path buffer\n", stderr);
    exit_program(INSUFFICIENT_MEMORY);
  }
  return p;
}

// Allocates one of the wide buffers or ends the run naming its line.
static char *wide_buffer(int line, const char *what) {
  char *p = (char *)run_alloc(WIDE_BUF);
  if (p == NULL) {
    fprintf(stderr, "\nLine #: %d,  %smemory error", line, what);
    exit_program(INSUFFICIENT_MEMORY);
  }
  return p;
}

// Allocates one 16-slot search list, all slots NULL.
static char **search_list(void) {
  char **list = (char **)run_alloc(LIST_SLOTS * sizeof(char *));
  if (list == NULL) {
    fputs("Couldn't create the search lists\n", stderr);
    exit_program(INSUFFICIENT_MEMORY);
  }
  return list;
}

void allocate_run_state(void) {
  g_settings = (struct run_settings *)run_alloc(sizeof *g_settings);
  if (g_settings == NULL)
    exit_program(INSUFFICIENT_MEMORY);
  pg_complete_path = path_buffer();
  pg_check_path = path_buffer();
  g_filetypes = search_list();
  g_searchdirs = search_list();
  g_searchstr = wide_buffer(571, "g_searchstr ");
  g_patternstr = wide_buffer(579, "");
  g_hit_file_name = wide_buffer(587, "");
}

void allocate_work_buffers(void) {
  g_inbuf = (unsigned char *)run_alloc(INBUF_SIZE);
  if (g_inbuf == NULL) {
    fputs("Couldn't create input buffer", stdout);
    exit_program(INSUFFICIENT_MEMORY);
  }
}

void set_defaults(void) {
  setvbuf(stdout, NULL, _IONBF, 0);
  install_interrupt_handler();
  allocate_work_buffers();
  g_settings->recurse = 0;
  g_settings->show_dirs = 1;
  g_shorten_style = 1;
  g_settings->name_width = DEFAULT_WIDTH;
  plat_set_file_apis_oem();
}
