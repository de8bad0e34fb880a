// The console key test, the key reads and Ctrl-C on POSIX.
//
// So that Esc is seen the moment it is pressed, the terminal on standard
// input is switched to non-canonical, no-echo mode by the first key test.
// The user must get the terminal back as it was however the run ends: at
// exit (an atexit routine), and from the handlers of every signal whose
// default action ends or suspends the process.  A suspended run gives the
// terminal back before it stops and takes it again when it is continued in
// the foreground.  The terminal is only ever changed while the run is in its
// foreground, so a background run never stops on SIGTTOU.
//
// When standard output is a pipe (a FIFO or a socket), the run's output goes
// to another program, a pager most likely, that reads the same keyboard:
// the keyboard is then left to it, the terminal is never changed and the
// key test is always false.
//
// Ctrl-C, SIGTERM and SIGHUP are only recorded: the run ends at its next
// safe point, never in the middle of a hit line.  The handler restarts
// interrupted system calls, so no write of a hit line is cut short; waits
// for a key use ppoll, which a signal always ends, so that a prompt ends at
// once too.  A second one ends the process at once.
#include "platform/platform.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

// Whether standard input is a terminal: -1 not yet known, 0 no, 1 yes.
static volatile sig_atomic_t stdin_tty = -1;
// Whether the keyboard is the run's (standard input a terminal, standard
// output no pipe): -1 not yet known, 0 no, 1 yes.
static volatile sig_atomic_t keyboard = -1;
// The run wants keys unechoed and at once (set by the key test and the raw
// read, cleared by plat_console_restore).
static volatile sig_atomic_t raw_wanted = 0;
// The terminal holds the run's settings.  What the run changed, and only
// that, is given back: the local-mode bits it cleared and the two control
// characters it set, with their values before.  Anything else, even what
// another process sharing the terminal changed meanwhile, is left as it is.
static volatile sig_atomic_t raw_applied = 0;
static tcflag_t cleared_lflags;
static int cc_changed;
static cc_t saved_vmin, saved_vtime;
// The first stop asked for (a PLAT_STOP_ value), 0 while none has come.
static volatile sig_atomic_t interrupted = 0;
static int handlers_installed = 0;
// What the last read of standard input brought beyond the character it
// returned, for the next reads (a line, on a terminal in line mode).  The
// key test sees it, so no key hides here.
static unsigned char typed[4096];
static size_t typed_pos = 0, typed_len = 0;

// Signals whose default action ends the process: their handlers give the
// terminal back first, then let that action happen.  SIGTERM and SIGHUP are
// handled this way only until plat_catch_interrupt makes them stops.
static const int ending_signals[] = {SIGTERM, SIGHUP,  SIGQUIT, SIGPIPE, SIGALRM,
                                     SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ};

// The signals plat_catch_interrupt records as a stop, and what each asks.
static const struct {
  int sig;
  int stop;
} stop_signals[] = {
    {SIGINT, PLAT_STOP_INTERRUPT},
    {SIGTERM, PLAT_STOP_TERMINATE},
    {SIGHUP, PLAT_STOP_TERMINATE},
};

// Every signal whose handler touches the terminal or the state above, and
// SIGTTOU so that the terminal can be given back from the background.  They
// are held back while the terminal is changed, so a handler never sees it
// half done.
static void console_signals(sigset_t *set) {
  sigemptyset(set);
  for (int sig : ending_signals)
    sigaddset(set, sig);
  sigaddset(set, SIGINT);
  sigaddset(set, SIGTSTP);
  sigaddset(set, SIGCONT);
  sigaddset(set, SIGTTOU);
}

static int stdin_is_tty(void) {
  if (stdin_tty < 0)
    stdin_tty = isatty(STDIN_FILENO) ? 1 : 0;
  return stdin_tty;
}

// Decided once, at the first look: a run's output does not change hands.
static int keyboard_is_ours(void) {
  if (keyboard < 0) {
    struct stat out;
    int piped = fstat(STDOUT_FILENO, &out) == 0 &&
                (S_ISFIFO(out.st_mode) || S_ISSOCK(out.st_mode));
    keyboard = stdin_is_tty() == 1 && !piped ? 1 : 0;
  }
  return keyboard;
}

static int in_foreground(void) {
  pid_t fg = tcgetpgrp(STDIN_FILENO);
  return fg != -1 && fg == getpgrp();
}

// Takes the terminal when the run wants it and is in the foreground.  Only
// async-signal-safe calls; the console signals must be held back.
static void apply_locked(void) {
  if (raw_applied || !raw_wanted || keyboard_is_ours() != 1 || !in_foreground())
    return;
  struct termios modes;
  if (tcgetattr(STDIN_FILENO, &modes) != 0)
    return;
  tcflag_t cleared = modes.c_lflag & (ICANON | ECHO);
  cc_t vmin = modes.c_cc[VMIN], vtime = modes.c_cc[VTIME];
  int cc = vmin != 1 || vtime != 0;
  if (cleared == 0 && !cc) {  // already as the run needs it: nothing to give back
    raw_applied = 1;
    cleared_lflags = 0;
    cc_changed = 0;
    return;
  }
  modes.c_lflag &= ~cleared;
  modes.c_cc[VMIN] = 1;
  modes.c_cc[VTIME] = 0;
  if (tcsetattr(STDIN_FILENO, TCSANOW, &modes) != 0)
    return;
  cleared_lflags = cleared;
  cc_changed = cc;
  saved_vmin = vmin;
  saved_vtime = vtime;
  raw_applied = 1;
}

// Gives the terminal back what the run changed, on the settings it has now.
// Same rules as apply_locked.
static void restore_locked(void) {
  if (!raw_applied)
    return;
  raw_applied = 0;
  struct termios modes;
  if ((cleared_lflags == 0 && !cc_changed) || tcgetattr(STDIN_FILENO, &modes) != 0)
    return;
  modes.c_lflag |= cleared_lflags;
  if (cc_changed && modes.c_cc[VMIN] == 1 && modes.c_cc[VTIME] == 0) {  // not changed since
    modes.c_cc[VMIN] = saved_vmin;
    modes.c_cc[VTIME] = saved_vtime;
  }
  tcsetattr(STDIN_FILENO, TCSANOW, &modes);
}

// Runs fn with the console signals held back.
static void with_signals_held(void (*fn)(void)) {
  sigset_t set, old;
  console_signals(&set);
  sigprocmask(SIG_BLOCK, &set, &old);
  fn();
  sigprocmask(SIG_SETMASK, &old, NULL);
}

// Lets sig take its default action now (called from its own handler).
static void default_action(int sig) {
  struct sigaction dfl = {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(sig, &dfl, NULL);
  raise(sig);  // pending: the signal is held back inside its handler
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, sig);
  sigprocmask(SIG_UNBLOCK, &only, NULL);  // delivered here
}

static void on_ending_signal(int sig) {
  restore_locked();
  default_action(sig);
}

static void on_stop(int sig);

static void install(int sig, void (*handler)(int)) {
  struct sigaction a = {};
  a.sa_handler = handler;
  a.sa_flags = SA_RESTART;
  console_signals(&a.sa_mask);
  sigaction(sig, &a, NULL);
}

// Ctrl-Z: give the terminal back, stop, and take it again once continued.
static void on_stop(int sig) {
  int saved_errno = errno;
  restore_locked();
  default_action(sig);  // the process stops here until SIGCONT
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, sig);
  sigprocmask(SIG_BLOCK, &only, NULL);
  install(sig, on_stop);
  apply_locked();
  errno = saved_errno;
}

// Continued after a stop that was not ours (SIGSTOP), or brought back to the
// foreground: take the terminal again if it was given back.
static void on_continue(int sig) {
  (void)sig;
  int saved_errno = errno;
  apply_locked();
  errno = saved_errno;
}

static void on_stop_request(int sig) {
  if (interrupted) {  // the second stop: end now
    on_ending_signal(sig);
    return;
  }
  for (const auto &s : stop_signals)
    if (s.sig == sig)
      interrupted = s.stop;
}

// True when the process inherited sig as ignored (a background job of a
// script, nohup): such a signal is left alone.
static int inherited_ignored(int sig) {
  struct sigaction old;
  return sigaction(sig, NULL, &old) == 0 && old.sa_handler == SIG_IGN;
}

static void console_restore_at_exit(void) {
  plat_console_restore();
}

// True when sig is already recorded as a stop.
static int caught_as_stop(int sig) {
  struct sigaction old;
  return sigaction(sig, NULL, &old) == 0 && old.sa_handler == on_stop_request;
}

// Before the terminal is first changed: handlers for every way out, and
// the exit routine.
static void install_console_handlers(void) {
  if (handlers_installed)
    return;
  handlers_installed = 1;
  for (int sig : ending_signals)
    if (!inherited_ignored(sig) && !caught_as_stop(sig))
      install(sig, on_ending_signal);
  if (!inherited_ignored(SIGTSTP))
    install(SIGTSTP, on_stop);
  install(SIGCONT, on_continue);
  atexit(console_restore_at_exit);
}

static void want_raw(void) {
  raw_wanted = 1;
  apply_locked();
}

// Looking at the terminal costs a few system calls, and the walk asks for
// every entry: it is looked at when 10 ms have passed since the last look,
// sooner than anyone can tell, and the clock read costs no system call.
static int look_due(void) {
  static struct timespec last;  // zero: the first look is due at once
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  long long ms = (long long)(now.tv_sec - last.tv_sec) * 1000 +
                 (now.tv_nsec - last.tv_nsec) / 1000000;
  if (last.tv_sec != 0 && ms < 10)
    return 0;
  last = now;
  return 1;
}

int plat_key_waiting(void) {
  if (keyboard_is_ours() != 1)
    return 0;
  if (typed_pos < typed_len)
    return 1;
  if (!look_due())
    return 0;
  install_console_handlers();
  if (!raw_applied || !raw_wanted)
    with_signals_held(want_raw);
  if (typed_pos < typed_len)
    return 1;
  if (!in_foreground())
    return 0;
  struct pollfd p = {STDIN_FILENO, POLLIN, 0};
  return poll(&p, 1, 0) == 1 && (p.revents & POLLIN) != 0;
}

// Waits until standard input can be read; 0 when a stop was asked first.
// The stop signals are let through only inside ppoll, so one that comes
// just before the wait still ends it.
static int wait_for_input(void) {
  sigset_t hold, old;
  sigemptyset(&hold);
  for (const auto &s : stop_signals)
    sigaddset(&hold, s.sig);
  sigprocmask(SIG_BLOCK, &hold, &old);
  int ready = 0;
  for (;;) {
    if (interrupted)
      break;
    struct pollfd p = {STDIN_FILENO, POLLIN, 0};
    int n = ppoll(&p, 1, NULL, &old);
    if (n < 0 && errno == EINTR)
      continue;
    ready = 1;  // readable, at its end, or in error: the read will tell
    break;
  }
  sigprocmask(SIG_SETMASK, &old, NULL);
  return ready;
}

// The next character of what was read.  A special key (an arrow, a
// function key) reaches a terminal program as an escape sequence, Esc, then
// '[' or 'O' and the rest, all in one read: it is handed on as one key of
// its own, 0, so that it is never taken for the Esc that stops the run.
static int next_typed(void) {
  unsigned char c = typed[typed_pos++];
  if (c != 27 || stdin_tty != 1 || typed_pos >= typed_len)
    return c;
  unsigned char kind = typed[typed_pos];
  if (kind != '[' && kind != 'O')
    return c;
  typed_pos++;
  if (kind == 'O') {  // one more byte names the key
    if (typed_pos < typed_len)
      typed_pos++;
    return 0;
  }
  while (typed_pos < typed_len) {  // parameters, then one final byte
    unsigned char b = typed[typed_pos++];
    if (b >= 0x40 && b <= 0x7E)
      break;
  }
  return 0;
}

int plat_read_char(void) {
  if (typed_pos < typed_len)
    return next_typed();
  if (!wait_for_input())
    return -1;
  for (;;) {
    ssize_t n = read(STDIN_FILENO, typed, sizeof typed);
    if (n > 0) {
      typed_len = (size_t)n;
      typed_pos = 0;
      return next_typed();
    }
    if (n < 0 && errno == EINTR && !interrupted)
      continue;
    return -1;
  }
}

static int keep_raw;  // the terminal was wanted raw before plat_raw_key

static void end_raw_read(void) {
  if (!keep_raw) {
    raw_wanted = 0;
    restore_locked();
  }
}

int plat_raw_key(void) {
  if (keyboard_is_ours() != 1)
    return plat_read_char();
  install_console_handlers();
  keep_raw = raw_wanted;
  with_signals_held(want_raw);
  int c = plat_read_char();
  with_signals_held(end_raw_read);
  return c;
}

static void give_back(void) {
  raw_wanted = 0;
  restore_locked();
}

void plat_console_restore(void) {
  with_signals_held(give_back);
}

void plat_catch_interrupt(void) {
  for (const auto &s : stop_signals)
    if (!inherited_ignored(s.sig))
      install(s.sig, on_stop_request);
}

int plat_interrupted(void) {
  return interrupted;
}
