// What the program prints, as the end-to-end tests expect it on this build.
// Everything that depends on the platform or the clock is decided here, so
// the tests themselves state only what the user sees.
#ifndef KIVOR_TESTS_E2E_EXPECT_H_
#define KIVOR_TESTS_E2E_EXPECT_H_

#include <string>
#include <vector>

#include "runner.h"

// The full name the program prints for rel below the fixture's root.
std::string shown(const temp_tree &tree, const std::string &rel);

// A directory line of the walk: the directory and its separator.
std::string dir_line(const temp_tree &tree, const std::string &rel);

// One hit line: the name in a field of width characters, a blank, the kind.
std::string hit(const std::string &name, const std::string &kind, int width = 50);

// Standard output of a completed run that wrote these hit lines to it.
std::string run_out(const std::string &hits);

// Error stream of a completed run that printed these directory lines.
std::string run_err(const std::string &dir_lines);

// The output with its clock-dependent lines replaced by fixed words.
std::string normalise(const std::string &s);

#endif  // KIVOR_TESTS_E2E_EXPECT_H_
