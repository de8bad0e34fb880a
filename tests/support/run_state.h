// Unit tests drive the program's routines directly; this sets up the
// run-wide state they need, as start-up would, and catches the hit stream.
#ifndef KIVOR_TESTS_SUPPORT_RUN_STATE_H_
#define KIVOR_TESTS_SUPPORT_RUN_STATE_H_

#include <string>

// Allocates the run state once per process, then brings the settings,
// counters, lists and hit-file name back to their defaults and points the
// hit stream at a fresh temporary file.
void reset_run_state();

// Everything written to the hit stream since the last reset_run_state.
std::string hit_output();

// Empties the search lists.
void clear_search_lists();

#endif  // KIVOR_TESTS_SUPPORT_RUN_STATE_H_
