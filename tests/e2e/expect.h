// What the program prints, as the end-to-end tests expect it from the
// program under test: the POSIX build, or the Windows build run under Wine
// (windows_target(), runner.h).  Everything that depends on the platform or
// the clock is decided here, so the tests themselves state only what the
// user sees.
//
// On the Windows target: paths carry a drive and backslashes (Wine's drive
// Z: is the POSIX root, so /tmp/x is Z:\tmp\x); text files have CRLF line
// ends; the banner's box characters are code page 437 bytes.
#ifndef KIVOR_TESTS_E2E_EXPECT_H_
#define KIVOR_TESTS_E2E_EXPECT_H_

#include <string>
#include <utility>
#include <vector>

#include "runner.h"

// The path separator in the names the program prints and takes.
std::string sep();

// The name by which the program under test knows the (POSIX) path native.
std::string target_path(const std::string &native);

// The full name the program prints for rel below the fixture's root (rel
// separates its components with '/'; "" is the root itself).
std::string shown(const temp_tree &tree, const std::string &rel);

// A path argument naming rel below the fixture's root, in the program's
// own form.  (On Windows a path that begins with '/' would also be an
// option group.)
std::string arg_path(const temp_tree &tree, const std::string &rel);

// A directory line of the walk: the directory and its separator.
std::string dir_line(const temp_tree &tree, const std::string &rel);

// One hit line: the name in a field of width characters, a blank, the kind.
std::string hit(const std::string &name, const std::string &kind, int width = 50);

// Standard output of a completed run that wrote these hit lines to it: the
// start stamp (normalised; the command line is not echoed there), then the
// hits.
std::string run_out(const std::string &hits);

// Error stream of a completed run that printed these directory lines,
// examined searched files and found hits of them: the directory lines and
// the summary (normalised).
std::string run_err(const std::string &dir_lines, int searched, int hits);

// The line a Windows run writes before its summary once it has shown a
// name with '?' for characters that code page lacks.
std::string lost_names_note(int code_page);

// The output with its clock-dependent parts replaced by fixed words: the
// rest of every "Program started " line by "<time>", the rest of every
// "Elapsed time:  " line by "<elapsed>", and the banner's version stamp (the
// build's date and time) by "YY.MM.DD.hh.mm".
std::string normalise(const std::string &s);

// The banner on the error stream, its version stamp normalised.
std::string banner();

// The bytes of a text file the program wrote (hit file, accounting file)
// whose lines are those of text.
std::string text_file(const std::string &text);

// Argument 0 as the program records it in the start stamp: its full path.
std::string program_shown();

// Puts a copy of the program under test into bin, under its own name, and
// returns its path (run it with run_options::program).  A help file beside
// it is bin's "kivor.hlp".
std::string copy_program(const temp_tree &bin);

// What standard output shows of a help file holding text: a copy of it
// (standard output is no terminal or console in the tests).
std::string help_shown(const std::string &text);

// Ends a test that only makes sense on POSIX (FIFOs, sockets, pseudo-
// terminals, signals, '/' as a path) when the Windows build is tested.
#define POSIX_TARGET_ONLY(why) \
  if (windows_target())        \
  GTEST_SKIP() << "not on the Windows target: " << (why)

// Ends a test of what only Windows has (drives, code pages) when the POSIX
// build is tested.
#define WINDOWS_TARGET_ONLY(why) \
  if (!windows_target())         \
  GTEST_SKIP() << "Windows only: " << (why)

// The command line as the start stamp records it: the program's full path
// and every argument, each followed by a blank.
std::string command_line(const std::vector<std::string> &args);

// What one run writes into its hit file (normalised): the start stamp with
// the command line, then the hit lines.
std::string hit_file_run(const std::vector<std::string> &args, const std::string &hits);

// The hit lines of a scan of one folder of the sample files (run there with
// mode, "-d" or "-dc", and a width of 200) against want, its files and
// kinds in listing order.  Skips the test where the samples are absent.
using corpus_kinds = std::vector<std::pair<const char *, const char *>>;
void expect_corpus_hits(const std::string &mode, const std::string &folder,
                        const corpus_kinds &want);

#endif  // KIVOR_TESTS_E2E_EXPECT_H_
