// Starts the program and keeps it under the test's control while it runs:
// the test can type keys on a pseudo-terminal that is the run's controlling
// terminal (with the run in its foreground, as a shell would start it), send
// it signals, watch the terminal's settings, and hold back its standard
// output so that the run stalls at a known point.  Standard output and the
// error stream stay on pipes of their own, so their bytes can be compared.
#ifndef KIVOR_TESTS_E2E_PTY_RUNNER_H_
#define KIVOR_TESTS_E2E_PTY_RUNNER_H_

#include <sys/types.h>
#include <termios.h>

#include <functional>
#include <string>
#include <vector>

#include "runner.h"

struct live_options {
  std::string program;             // a copy of the program to run ("" for the one under test)
  std::string cwd;                 // working directory ("" keeps the test's)
  std::vector<std::string> env;    // extra NAME=VALUE settings
  bool terminal = false;           // standard input a pseudo-terminal (else /dev/null)
  bool terminal_signals = true;    // the terminal turns Ctrl-C into SIGINT (ISIG)
  bool hold_output = false;        // standard output is left unread until finish: the
                                   // run stalls on it (a one-page pipe fills at once)
  bool output_terminal = false;    // standard output a terminal of its own (raw: bytes
                                   // pass unchanged), not a pipe, as when run at a shell
  int rows = 0;                    // with output_terminal: its height (0: the system's)
  std::function<void()> in_child;  // more set-up in the child just before the start
  int timeout_seconds = 60;        // the run is killed after this
};

class live_run {
 public:
  live_run(const std::vector<std::string> &args, const live_options &opt = {});
  ~live_run();
  live_run(const live_run &) = delete;
  live_run &operator=(const live_run &) = delete;

  pid_t pid() const { return pid_; }  // the program itself

  // Writes keys to the terminal, as typed.
  void type(const std::string &keys);

  // Sends sig to the program.
  void send(int sig);

  // The terminal's settings now; false without a terminal.
  bool terminal_modes(struct termios *modes) const;

  // Changes the terminal's settings, as another program on it would.
  bool set_terminal_modes(const struct termios &modes);

  // True when the terminal echoes and reads by lines, as a user needs it.
  bool terminal_is_usable() const;

  // Bytes typed on the terminal that nobody has read.
  int typed_unread() const;

  // With hold_output: waits until the run has filled its output and waits
  // for room.  False if that does not happen within 20 seconds.
  bool wait_until_stalled();

  // Reads the error stream (and standard output, unless held) until it
  // holds text.  False if it does not within the timeout.
  bool wait_for_err(const std::string &text);

  // Polls cond every few milliseconds for up to ms; its last result.
  bool wait_until(const std::function<bool()> &cond, int ms = 5000);

  // True while the program is stopped (by SIGTSTP or SIGSTOP).
  bool stopped() const;

  // True while sig has been sent to the program and not yet delivered.
  bool pending(int sig) const;

  // True once the program has a handler of its own for sig.
  bool catches(int sig) const;

  // True while the program's main thread sleeps for a time (nanosleep), or
  // where the system does not show what it waits in.
  bool napping() const;

  // Reads everything the run writes until it ends, and its status
  // (128 + the signal's number when a signal ended it).
  run_result finish();

 private:
  void pump(int wait_ms, bool read_out);

  pid_t child_ = -1;  // the process waited for: the program, or the session leader over it
  pid_t pid_ = -1;
  int out_ = -1, err_ = -1;
  int master_ = -1, slave_ = -1;
  int out_tty_ = -1;  // with output_terminal: the terminal's side the program writes to
  size_t out_capacity_ = 0;  // 0: standard output is a terminal
  int timeout_seconds_;
  std::string out_text_, err_text_;
  bool finished_ = false;
};

#endif  // KIVOR_TESTS_E2E_PTY_RUNNER_H_
