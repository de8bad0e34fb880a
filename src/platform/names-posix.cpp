// Names on POSIX: bytes, taken and shown as they are, so nothing here
// changes them.
#include "platform/platform.h"

void plat_arguments(int *argc, char ***argv) {
  (void)argc;
  (void)argv;
}

const char *plat_shown_name(const char *name, char *out, size_t size) {
  (void)out;
  (void)size;
  return name;
}

const char *plat_lost_names_note(void) {
  return NULL;
}

int plat_name_reads_alike(const char *name) {
  (void)name;
  return 1;
}
