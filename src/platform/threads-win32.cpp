// Threads and signals: Windows delivers Ctrl-C on a thread of its own and
// the handler only records it, so nothing needs holding back.
#include "platform/platform.h"

void plat_signals_hold(int hold) {
  (void)hold;
}
