// The long options of today's command lines: "--help" and "--version",
// and the reports, "--json", "--csv" and "--keys".  Each counts only as a
// whole argument standing where an option group would; any other argument that begins with "--" is an option group as
// before (its '-' letters lead to the help file).
#ifndef KIVOR_RUN_LONGOPTS_H_
#define KIVOR_RUN_LONGOPTS_H_

struct run_settings;

// OPTIONS_LONG_HELP or OPTIONS_LONG_VERSION when arg is one of the two,
// OPTIONS_GO_ON otherwise.
int long_option_outcome(const char *arg);

// Applies --json, --csv or --keys (which turns on -c) to settings.
// OPTIONS_GO_ON when arg is one of them, OPTIONS_ILLEGAL (after a line on
// the error stream) when --json and --csv are both asked for, and
// OPTIONS_HELP when it is none.
int apply_report_option(const char *arg, struct run_settings *settings);

// Writes the option list (OPTIONS_LONG_HELP) or the version line
// (OPTIONS_LONG_VERSION) to standard output, without a pause, a question or
// a termination line, and ends the process with status 0 (WRITE_ERROR, with
// its termination line, when standard output could not be written).
[[noreturn]] void run_long_option(int outcome);

#endif  // KIVOR_RUN_LONGOPTS_H_
