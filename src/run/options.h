// Command-line options, the usage screen and the help file.
#ifndef KIVOR_RUN_OPTIONS_H_
#define KIVOR_RUN_OPTIONS_H_

#include "run/globals.h"

// Reads the option groups of the command line into settings and the search
// lists; adds the pattern "*.*" when no pattern was given.  May end the run
// (usage screen, option errors).
int parse_options(int argc, char **argv, struct run_settings *settings);

#endif  // KIVOR_RUN_OPTIONS_H_
