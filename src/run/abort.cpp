// The keyboard poll and the prompt reads.
#include "run/abort.h"

#include "platform/platform.h"
#include "run/exit.h"

// Keys that stop a run when read by the poll.
static const int stop_keys[] = {
    27,  // Esc
    3,   // Ctrl-C read as a character
};

int abort_key_pressed(void) {
  check_interrupt();
  if (!plat_key_waiting())
    return 0;
  int c = plat_read_char();
  check_interrupt();
  for (int key : stop_keys)
    if (c == key)
      return 1;
  return 0;
}

int prompt_char(void) {
  int c = plat_read_char();
  check_interrupt();
  return c;
}

int prompt_raw_key(void) {
  int c = plat_raw_key();
  check_interrupt();
  return c;
}
