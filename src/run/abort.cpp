// The keyboard poll.
#include "run/abort.h"

int abort_key_pressed(void) {
  return 0;
}
