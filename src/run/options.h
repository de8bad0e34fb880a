// Command-line options, the usage screen and the help file.
#ifndef KIVOR_RUN_OPTIONS_H_
#define KIVOR_RUN_OPTIONS_H_

#include <stdio.h>

#include "run/globals.h"

// Reads the option groups of the command line, from the first argument that
// begins with an option prefix, into settings, the search lists, the hit-file
// name and the accounting file; adds the pattern "*.*" when no pattern was
// given.  Ends the run itself on the usage screen and on option errors.
int parse_options(int argc, char **argv, struct run_settings *settings);

// The usage screen: banner, two lines of usage, a wait for one line of
// input, then the option list; ends the run with "Normal termination".
[[noreturn]] void print_usage(void);

// The banner and the list of options, on the error stream.
void print_option_list(void);

// The two usage lines and the option list, without banner or pause, to
// stream (what --help shows).
void print_help_text(FILE *stream);

// Looks for the help file beside the program (its path without extension,
// with ".hlp") and shows it.  Returns nonzero when one was found and shown.
int show_help_file(const char *program_path);

#endif  // KIVOR_RUN_OPTIONS_H_
