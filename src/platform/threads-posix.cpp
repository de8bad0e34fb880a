// Threads and signals: the console and interrupt handlers run on the thread
// that polls for what they record, never on a helper thread.
#include "platform/platform.h"

#include <signal.h>

#include <initializer_list>

void plat_signals_hold(int hold) {
  static thread_local sigset_t before;
  if (hold) {
    sigset_t all;
    sigfillset(&all);
    // Faults stay where they happen.
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP})
      sigdelset(&all, sig);
    pthread_sigmask(SIG_BLOCK, &all, &before);
  } else {
    pthread_sigmask(SIG_SETMASK, &before, NULL);
  }
}
