// Run stamps.
#include "log/stamps.h"

void print_start_stamp(int argc, char **argv) {
  (void)argc;
  (void)argv;
}

void print_summary(void) {
}
