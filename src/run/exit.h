// The one way out of a run that does not reach its natural end, and Ctrl-C.
#ifndef KIVOR_RUN_EXIT_H_
#define KIVOR_RUN_EXIT_H_

// Exit reasons: at once the process exit status and the index of the name
// printed in the termination line.
enum exit_reason {
  NORMAL_EXIT = 0,
  USER_ABORTED = 1,
  INPUT_FILE = 2,  // also Ctrl-C, whose signal number is 2
  OUTPUT_FILE = 3,
  PARAMATER_FILE = 4,
  ILLEGAL_OPTION = 5,
  INSUFFICIENT_MEMORY = 6,
  OTHER_EXIT = 7,
  WRITE_ERROR = 8,
  READ_ERROR = 10,
  NON_SPECIFIC_ERROR = 12,
};

// The printed name of a reason ("USER_ABORTED", ...); NULL for a code that
// has none.
const char *exit_reason_name(int reason);

// Closes the hit file when one is open (close_hit_file) and the accounting
// file, saying so when what was written did not reach them (a reason below
// 1 then becomes WRITE_ERROR), writes "Normal termination\n" (reason < 1)
// or "Program termination: reason %s\n" with the reason's name to the error
// stream, and ends the process with the reason as its status through the
// normal exit path (open streams flushed and closed, terminal given back).
// Does not return.  Runs once: a nested call only ends the process.
[[noreturn]] void exit_program(int reason);

// Writes what a run owes its hit stream at its end, once: the key
// inventory (--keys) at a normal end (reason NORMAL_EXIT), and the JSON
// Lines summary whatever the reason, when the stream has not failed.  On
// the natural end main calls it, and exit_program on every other.
void finish_reports(int reason);

// Makes Ctrl-C (SIGINT) end the run with reason INPUT_FILE, and on POSIX
// SIGTERM and SIGHUP with reason OTHER_EXIT.  The signal is only recorded;
// the run ends at its next call of check_interrupt (which the keyboard poll
// and the prompt reads make), so no hit line is cut.  A second such signal
// ends the process at once.
void install_interrupt_handler(void);

// Ends the run when a stop has come: reason INPUT_FILE for Ctrl-C,
// OTHER_EXIT for SIGTERM or SIGHUP (the first one counts); else returns.
void check_interrupt(void);

#endif  // KIVOR_RUN_EXIT_H_
