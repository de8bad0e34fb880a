// Waiting for the user, with Ctrl-C honoured while the run waits.
#include "run/prompt.h"

#include <stdio.h>

#include "platform/platform.h"

void wait_for_enter(void) {
  (void)getchar();
}

int read_answer_key(void) {
  return plat_raw_key();
}
