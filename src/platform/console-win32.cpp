// The console key test and raw key read through _kbhit and _getch.
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

// Nonzero when standard input is a console and standard output no pipe.
// Asked once: the key test runs for every file, and asking the console is
// a round trip to its host.
static int keyboard_is_ours(void) {
  static int known = -1;
  if (known < 0) {
    DWORD mode;
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    int piped = out != NULL && out != INVALID_HANDLE_VALUE && GetFileType(out) == FILE_TYPE_PIPE;
    known = !piped && in != NULL && in != INVALID_HANDLE_VALUE && GetConsoleMode(in, &mode) ? 1 : 0;
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

// _getch changes no console setting that outlives the call: nothing to give back.
void plat_console_restore(void) {
}
