// The two long options of today's command lines, "--help" and "--version".
// Each counts only as a whole argument standing where an option group
// would; any other argument that begins with "--" is an option group as
// before (its '-' letters lead to the help file).
#ifndef KIVOR_RUN_LONGOPTS_H_
#define KIVOR_RUN_LONGOPTS_H_

// Returns 0 when arg is neither long option.  Otherwise writes the option
// list ("--help") or the version line ("--version") to standard output,
// without a pause, a question or a termination line, and ends the process
// with status 0 (WRITE_ERROR, with its termination line, when standard
// output could not be written).
int run_long_option(const char *arg);

#endif  // KIVOR_RUN_LONGOPTS_H_
