// The hit file.
#include "log/hitfile.h"

#include "run/globals.h"

void open_hit_file(void) {
  int mode = g_settings->hit_file_mode;
  if (mode == 0)
    return;
  FILE *f = fopen(g_hit_file_name, mode >= 2 ? "a" : "w");
  g_hit_stream = f != NULL ? f : stdout;
}
