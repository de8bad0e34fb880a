#include "run_state.h"

#include <stdio.h>
#include <string.h>

#include "run/globals.h"
#include "run/startup.h"
#include "temp_tree.h"

void clear_search_lists() {
  for (int i = 0; i < LIST_SLOTS; i++) {
    g_filetypes[i] = nullptr;  // the copies stay allocated: lists never free
    g_searchdirs[i] = nullptr;
  }
}

void reset_run_state() {
  static bool allocated = false;
  if (!allocated) {
    allocate_run_state();
    allocate_work_buffers();
    allocated = true;
  }
  memset(g_settings, 0, sizeof *g_settings);
  g_settings->show_dirs = 1;
  g_settings->name_width = DEFAULT_WIDTH;
  g_shorten_style = 1;
  g_files_searched = 0;
  g_hits_found = 0;
  g_hit_file_name[0] = '\0';
  clear_search_lists();
  if (g_hit_stream != nullptr && g_hit_stream != stdout)
    fclose(g_hit_stream);
  g_hit_stream = tmpfile();
}

std::string hit_output() {
  fflush(g_hit_stream);
  long end = ftell(g_hit_stream);
  rewind(g_hit_stream);
  std::string s = read_stream(g_hit_stream);
  fseek(g_hit_stream, end, SEEK_SET);
  return s;
}
