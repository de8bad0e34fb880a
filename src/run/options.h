// Command-line options, the usage screen and the help file.
#ifndef KIVOR_RUN_OPTIONS_H_
#define KIVOR_RUN_OPTIONS_H_

#include <stdio.h>

#include "run/globals.h"

// What the command line asks for once its options have been read.
enum option_outcome {
  OPTIONS_GO_ON,        // search as the options say
  OPTIONS_ILLEGAL,      // an option could not be read: end with ILLEGAL_OPTION
  OPTIONS_USAGE,        // -?: the usage screen, then a normal end
  OPTIONS_USAGE_WRONG,  // -1 without its name: the usage screen, ILLEGAL_OPTION
  OPTIONS_HELP,         // a letter the table does not name: the help path
  OPTIONS_LONG_HELP,    // --help: the option list, a normal end
  OPTIONS_LONG_VERSION, // --version: the version line, a normal end
};

// Reads the option groups of the command line, from the first argument that
// begins with an option prefix, into settings, the search lists, the hit-file
// name and the accounting file, and returns one of option_outcome.  Adds the
// pattern "*.*" when no pattern was given (only on OPTIONS_GO_ON).  Stops at
// the first option that ends the run; the caller ends it with
// end_run_on_options.  Never reads standard input, and ends the process only
// when a list entry cannot be allocated; the only file it opens is the
// accounting file, through g_open_accounting.
int parse_options(int argc, char **argv, struct run_settings *settings);

// Opens the accounting file named by -1: open_accounting_file, unless a
// test points it elsewhere to parse without touching the file system.
extern FILE *(*g_open_accounting)(const char *name);

// Ends the run as an outcome other than OPTIONS_GO_ON asks: the usage
// screen, the help path (program_path is the program's full path), or
// ILLEGAL_OPTION at once.
[[noreturn]] void end_run_on_options(int outcome, const char *program_path);

// The usage screen: banner, two lines of usage, a wait for one line of
// input, then the option list; ends the run with reason (NORMAL_EXIT:
// "Normal termination").
[[noreturn]] void print_usage(int reason);

// The banner and the list of options, on the error stream.
void print_option_list(void);

// The --help screen, to stream: what KIVOR is, the synopsis in the
// platform's path syntax, every option, the exit statuses, the manual.
void print_help_text(FILE *stream);

// Looks for the help file beside the program (its path without extension,
// with ".hlp") and shows it.  Returns nonzero when one was found and shown.
int show_help_file(const char *program_path);

#endif  // KIVOR_RUN_OPTIONS_H_
