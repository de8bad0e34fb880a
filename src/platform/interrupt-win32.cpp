// Ctrl-C and the stream read of standard input on Windows.
#include "platform/platform.h"

#include <signal.h>
#include <stdio.h>
#include <windows.h>

static volatile sig_atomic_t interrupted = 0;

// Runs on the console's control thread.  The C runtime has set SIGINT back
// to its default before calling it, so a second Ctrl-C ends the process at
// once.
static void on_interrupt(int sig) {
  (void)sig;
  interrupted = PLAT_STOP_INTERRUPT;
}

void plat_catch_interrupt(void) {
  if (signal(SIGINT, on_interrupt) == SIG_IGN)
    signal(SIGINT, SIG_IGN);  // inherited as ignored: stays so
}

int plat_interrupted(void) {
  return interrupted;
}

// Nonzero when standard input is a console.
static int stdin_is_console(void) {
  DWORD mode;
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  return in != NULL && in != INVALID_HANDLE_VALUE && GetConsoleMode(in, &mode) ? 1 : 0;
}

int plat_read_char(void) {
  int c = getchar();
  if (c != EOF)
    return c;
  // Ctrl-C ends a console read before its handler, on another thread, has
  // recorded it: give the handler a moment, so the caller sees the interrupt.
  if (stdin_is_console())
    for (int i = 0; i < 20 && !interrupted; i++)
      Sleep(10);
  return -1;
}
