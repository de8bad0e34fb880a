// The console key test and key reads through _kbhit and _getch, the stream
// read of standard input, and Ctrl-C on Windows.
//
// _kbhit and _getch read the console itself, not standard input.  When
// standard input is not a console (a file, a pipe, or no console at all, as
// for a scheduled run) the key test is always false and the raw read takes
// the next character of the standard input stream, the one plat_read_char
// reads too, as the program does on POSIX: answers to its prompts can then
// be given from a file, and a run without a console never waits for a
// keyboard it does not have.  The same holds when standard output is a
// pipe: the program reading it (a pager) owns the keyboard, and a key read
// here would be taken from it.
#include "platform/platform.h"

#include <conio.h>
#include <signal.h>
#include <stdio.h>
#include <windows.h>

static volatile sig_atomic_t interrupted = 0;

// Nonzero when standard input is a console.  Asked once: the key test runs
// for every file, and asking the console is a round trip to its host.
static int stdin_is_console(void) {
  static int known = -1;
  if (known < 0) {
    DWORD mode;
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    known = in != NULL && in != INVALID_HANDLE_VALUE && GetConsoleMode(in, &mode) ? 1 : 0;
  }
  return known;
}

// Nonzero when standard input is a console and standard output no pipe.
static int keyboard_is_ours(void) {
  static int known = -1;
  if (known < 0) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    int piped = out != NULL && out != INVALID_HANDLE_VALUE && GetFileType(out) == FILE_TYPE_PIPE;
    known = !piped && stdin_is_console();
  }
  return known;
}

int plat_key_waiting(void) {
  return keyboard_is_ours() ? _kbhit() : 0;
}

int plat_raw_key(void) {
  if (!keyboard_is_ours()) {
    int c = getchar();
    return c == EOF ? -1 : c;
  }
  // _getch turns off the console's own Ctrl-C processing while it waits,
  // so Ctrl-C arrives as the key 3.  It is passed on as the interrupt it
  // is, through whatever SIGINT handler is in force, and the read ends.
  int c = _getch();
  if (c == 3) {
    raise(SIGINT);
    return -1;
  }
  return c;
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

// _getch changes no console setting that outlives the call: nothing to give back.
void plat_console_restore(void) {
}

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
