// The one way out of a run that does not reach its natural end.
#ifndef KIVOR_RUN_EXIT_H_
#define KIVOR_RUN_EXIT_H_

// Exit reasons: at once the process exit status and the index of the name
// printed in the termination line.
enum exit_reason {
  NORMAL_EXIT = 0,
  USER_ABORTED = 1,
  INPUT_FILE = 2,
  OUTPUT_FILE = 3,
  PARAMATER_FILE = 4,
  ILLEGAL_OPTION = 5,
  INSUFFICIENT_MEMORY = 6,
  OTHER_EXIT = 7,
  WRITE_ERROR = 8,
  READ_ERROR = 10,
  NON_SPECIFIC_ERROR = 12,
};

// The printed name of a reason ("USER_ABORTED", ...); NULL for an unknown code.
const char *exit_reason_name(int reason);

// Closes the hit file when one is open, writes "Normal termination\n"
// (reason < 1) or "Program termination: reason %s\n" to the error stream, and
// ends the process with the reason as its status.  Does not return.
[[noreturn]] void exit_program(int reason);

// Makes Ctrl-C (SIGINT) end the run with reason INPUT_FILE.
void install_interrupt_handler(void);

#endif  // KIVOR_RUN_EXIT_H_
