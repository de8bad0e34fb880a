// Runs the program under test as a user would, and builds fixture trees.
// Every end-to-end test starts the program through run_kivor, so the same
// tests can be pointed at another build (KIVOR_BINARY in the environment
// names the program, KIVOR_RUNNER a command to start it through): a program
// whose name ends in ".exe" is the Windows build, run under Wine
// (KIVOR_RUNNER=wine), and the tests then expect what Windows prints.
#ifndef KIVOR_TESTS_E2E_RUNNER_H_
#define KIVOR_TESTS_E2E_RUNNER_H_

#include <poll.h>

#include <functional>
#include <string>
#include <vector>

#include "corpus.h"
#include "temp_tree.h"

struct run_result {
  int status;       // exit status, or 128 + signal number
  std::string out;  // standard output
  std::string err;  // error stream
  long peak_kb = 0; // the program's peak resident memory (not for the Windows build)
};

struct run_options {
  std::string program;            // a copy of the program to run ("" for the one under test)
  std::string cwd;                // working directory ("" keeps the test's)
  std::string input;              // bytes fed to standard input
  std::vector<std::string> env;   // extra NAME=VALUE settings
  int timeout_seconds = 60;       // the program is killed after this
  int open_files = 0;             // POSIX: its open-file limit, soft and hard (0: inherited)
  std::function<void()> in_child; // more set-up in the child just before the start
};

// Runs the program with args and returns what it wrote and its status.
// For the Windows build the two streams go to files, not pipes, and the run
// is over when the program ends (a help viewer it started may hold its
// standard output much longer; whatever the run started that still runs is
// ended then).  Its streams are text with CRLF line ends: the runner
// checks that every line end is CRLF (a failure otherwise) and hands the
// text over with LF line ends, as the tests state it.
run_result run_kivor(const std::vector<std::string> &args, const run_options &opt = {});

// True when the program under test is the Windows build.
bool windows_target();

// Reads what the polled descriptors have ready (after poll) into their
// sinks; a descriptor at its end, or failing, is closed and set to -1.
// Returns how many were closed.
int drain_ready(struct pollfd *fds, std::string *const *sinks, int count);

// The program's path as the runner starts it.
std::string kivor_binary();

// KIVOR_RUNNER ("wine", say) split into the words that lead the command.
std::vector<std::string> runner_words();

// The samples folder beside the project (corpus.h) as a real path, or ""
// when it is absent.
std::string corpus_dir();

// In a child just before it starts a program: the signal state a program
// gets from an interactive shell, whatever the test process has (it ignores
// SIGPIPE itself, and CI may start it with SIGINT ignored).
void default_signals();

#endif  // KIVOR_TESTS_E2E_RUNNER_H_
