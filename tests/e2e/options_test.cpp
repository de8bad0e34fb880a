// Option groups as a user types them, each checked through what the run
// then prints and its exit status.
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expect.h"
#include "pty_runner.h"
#include "runner.h"

namespace {

const std::string kKey = std::string("\x99\x01\x0d", 3) + std::string(40, 'k');
const char *kPub = "public key certificate";

// A tree with hits at two levels and under several extensions.
struct fixture {
  fixture() {
    t.write("a.pgp", kKey);
    t.write("b.c", kKey);
    t.write("c.h", kKey);
    t.write("sub/d.pgp", kKey);
  }
  run_result run(const std::vector<std::string> &args, const std::string &input = "") {
    run_options opt;
    opt.cwd = t.root();
    opt.input = input;
    return run_kivor(args, opt);
  }
  std::string hit(const std::string &rel, int width = 50) const {
    return ::hit(shown(t, rel), kPub, width);
  }
  std::string dir(const std::string &rel) const { return dir_line(t, rel); }
  std::string arg(const std::string &rel) const { return arg_path(t, rel); }
  temp_tree t;
};

const std::string kUsageOut =
    "\n\n\nKIVOR will search for files that appear to be pgp (<ver 2.6.2) type files\n"
    "KIVOR [dr:\\initial_dir\\files]  -[options[pfrwdOc]]\n\n"
    "\n\n Hit return to continue and see options \n";

std::string option_list() {
  return banner() +
         "-f + filetype: additional filetypes to search for seperated by spaces. \n"
         "               (i.e. *.c *.bat, default == *.*. (no paths allowed here)\n"
         "-p + path(s):  additonal paths to search in separated by spaces\n"
         "               (i.e.  -p c:\\work  c:\\bin d:\\). no filetypes allowed here\n"
         "-r:            Recurse through path provided, default is NOT to recurse\n"
         "-d:            Normally the current directory is printed.\n"
         "               Use the -d for (no directory printing).\n"
         "-wW + #:       limit filename length to # characters, default is 80 MAX,\n"
         "-oO + file:    name of output file to place hits to\n"
         "-c:            Confirm each hit by parsing it, and find what the first bytes hide\n"
         "-a:            Search inside archives too (zip lzh tar cab 7z rar iso gz ...):\n"
         "               files named *.zip *.tgz ... always, others matching the\n"
         "               filetypes when their content is an archive. +a toggles\n"
         "\n\n";
}

const std::string kIllegal = "Program termination: reason ILLEGAL or INCOMPLETE OPTION\n";

// The usage screen asked for ends normally; shown after a mistake, the run
// ends with reason 5 so that a script sees it.
TEST(Options, UsageScreenAndOptionList) {
  fixture f;
  const std::string normal = "Normal termination\n";
  struct {
    std::vector<std::string> args;
    std::string input;
    int status;
  } cases[] = {
      {{"-?"}, "\n", 0},
      {{"+?"}, "\n", 0},
      {{"-r?"}, "\n", 0},
      {{windows_target() ? "/?" : "-?"}, "\n", 0},
      {{"-1"}, "\n", 5},        // the accounting file's name is missing
      {{"-1", "-r"}, "", 5},    // no input at all: the wait ends too
      {{"-d", "-1"}, "\n", 5},
  };
  for (const auto &c : cases) {
    run_result r = f.run(c.args, c.input);
    EXPECT_EQ(r.status, c.status) << c.args.back();
    EXPECT_EQ(r.out, kUsageOut) << c.args.back();
    EXPECT_EQ(normalise(r.err), banner() + option_list() + (c.status == 0 ? normal : kIllegal))
        << c.args.back();
  }
}

TEST(Options, Lists) {
  fixture f;
  run_result r = f.run({"-f", "*.c", "*.h", "-r"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(f.hit("b.c") + f.hit("c.h")));
  EXPECT_EQ(normalise(r.err), run_err(f.dir("sub") + f.dir(""), 2, 2));

  r = f.run({"-fr", "*.h"});  // the list first, then r
  EXPECT_EQ(normalise(r.out), run_out(f.hit("c.h")));
  EXPECT_EQ(normalise(r.err), run_err(f.dir("sub") + f.dir(""), 1, 1));

  r = f.run({"-f", "-r", "-d"});  // an empty list: "*.*" is added at the end
  EXPECT_EQ(normalise(r.out), run_out(f.hit("sub/d.pgp") + f.hit("a.pgp") + f.hit("b.c") +
                                      f.hit("c.h")));
  EXPECT_EQ(normalise(r.err), run_err("", 4, 4));

  r = f.run({"+fd", "*.pgp"});  // d sees the list's last item: no '+', so 0
  EXPECT_EQ(normalise(r.err), run_err("", 1, 1));
  r = f.run({"+df", "*.pgp"});  // d sees the group's '+': toggled to 0
  EXPECT_EQ(normalise(r.err), run_err("", 1, 1));
  r = f.run({"-d", "+df", "*.pgp"});  // toggled back to 1
  EXPECT_EQ(normalise(r.err), run_err(f.dir(""), 1, 1));

  r = f.run({"-p", f.arg("sub"), f.arg(""), "-d"});
  EXPECT_EQ(normalise(r.out), run_out(f.hit("sub/d.pgp") + f.hit("a.pgp") + f.hit("b.c") +
                                      f.hit("c.h")));
}

TEST(Options, ListErrors) {
  fixture f;
  for (const char *letter : {"-f", "-F", "-p", "-rP"}) {
    run_result r = f.run({letter});
    EXPECT_EQ(r.status, 5) << letter;
    EXPECT_EQ(r.out, "") << letter;
    EXPECT_EQ(r.err, kIllegal) << letter;
  }
  run_result r = f.run({"-f", "*.c", "x" + sep() + "*.h"});
  EXPECT_EQ(r.status, 5);
  EXPECT_EQ(r.err, "Can't have a " + sep() + " in the file type option\n" + kIllegal);
}

TEST(Options, TogglesAndCounters) {
  fixture f;
  run_result r = f.run({"-d", "-r", "+r", "-f", "*.pgp"});
  EXPECT_EQ(normalise(r.err), run_err("", 1, 1));
  r = f.run({"+d", "+d", "-r", "-f", "*.pgp"});
  EXPECT_EQ(normalise(r.err), run_err(f.dir("sub") + f.dir(""), 2, 2));
  r = f.run({"-", "+", "-R", "-D", "-f", "*.pgp"});  // bare prefixes are passed over
  EXPECT_EQ(normalise(r.err), run_err("", 2, 2));

  if (windows_target()) {  // '/' as '-', after a first group (a leading one is a path too)
    r = f.run({"-d", "/r", "/f", "*.pgp"});
    EXPECT_EQ(normalise(r.err), run_err("", 2, 2));
    r = f.run({"-d", "/r", "+r", "/d", "/f", "*.pgp"});
    EXPECT_EQ(normalise(r.err), run_err("", 1, 1));
  }

  f.t.write("prog.CoM", kKey);
  r = f.run({"-xd", "-f", "*.com", "*.pgp"});
  EXPECT_EQ(normalise(r.out), run_out(f.hit("a.pgp")));
  EXPECT_EQ(normalise(r.err), run_err("", 2, 1));
}

TEST(Options, WidthAndStyle) {
  fixture f;
  f.t.write("a-rather-long-directory-name/with-a-long-file-name.pgp", kKey);
  const std::string rel = "a-rather-long-directory-name/with-a-long-file-name.pgp";
  const std::string full = shown(f.t, rel);
  const std::string dir = f.arg("a-rather-long-directory-name");
  const std::string tail = full.substr(full.rfind(sep()));  // "/with-a-long-file-name.pgp"
  // The prefix style keeps the first two characters: "Z:" on Windows.
  const std::string start = full.substr(0, 2) + sep() + "...";
  auto run_width = [&](std::vector<std::string> args) {
    args.insert(args.begin(), dir);
    return normalise(f.run(args).out);
  };
  EXPECT_EQ(run_width({"-w", "30"}), run_out(::hit(start + tail, kPub, 30)));
  EXPECT_EQ(run_width({"-w0"}), run_out(::hit(full, kPub, 260)));
  EXPECT_EQ(run_width({"-wabc"}), run_out(::hit(full, kPub, 260)));
  EXPECT_EQ(run_width({"-w", "-r"}), run_out(::hit(full, kPub, 260)));
  EXPECT_EQ(run_width({"-w40r"}), run_out(::hit(start + tail, kPub, 40)));
  EXPECT_EQ(run_width({"-w", "-30"}), run_out(full + " " + kPub + "\n"));
  EXPECT_EQ(run_width({"-w", "99999999999999999999", "-f", "none"}), run_out(""));
  // Widths are held to the longest display name: twice the path limit and 3.
  const int most = windows_target() ? 2 * 32760 + 3 : 2 * 4096 + 3;
  EXPECT_EQ(run_width({"-w", "2147483647"}), run_out(::hit(full, kPub, most)));
  EXPECT_EQ(run_width({"-w", "-2147483647"}), run_out(::hit(full, kPub, most)));
  // -W keeps the start of the path and the last component.
  size_t k = 40 - 3 - tail.size();
  EXPECT_EQ(run_width({"-W", "40"}), run_out(::hit(full.substr(0, k) + "..." + tail, kPub, 40)));
  EXPECT_EQ(run_width({"-w", "40", "+w"}),
            run_out(::hit(full.substr(0, k) + "..." + tail, kPub, 40)));
  EXPECT_EQ(run_width({"-w", "40", "+W"}), run_out(::hit(start + tail, kPub, 40)));
  EXPECT_EQ(run_width({"-W", "40", "-W", "40"}), run_out(::hit(start + tail, kPub, 40)));
  run_result r = f.run({"-w"});
  EXPECT_EQ(r.status, 5);
  EXPECT_EQ(r.err, kIllegal);
}

// Which file -o and -O name, and when they end the run instead.
TEST(Options, HitFiles) {
  fixture f;
  for (auto args : {std::vector<std::string>{"-f", "*.pgp", "-oOUT.TXT"},
                    std::vector<std::string>{"-f", "*.pgp", "-o", "OUT.TXT"}}) {
    run_result r = f.run(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(normalise(f.t.read("OUT.TXT")), text_file(hit_file_run(args, f.hit("a.pgp"))));
  }
  // o twice is mode 2: the last name, appended to.
  std::vector<std::string> twice = {"-f", "*.pgp", "-o", "A", "-o", "OUT.TXT"};
  std::string before = f.t.read("OUT.TXT");
  f.run(twice);
  EXPECT_EQ(normalise(f.t.read("OUT.TXT")),
            normalise(before) + text_file(hit_file_run(twice, f.hit("a.pgp"))));
  EXPECT_FALSE(f.t.exists("A"));

  f.run({"-f", "*.pgp", "-oDX"});  // d and x are part of the name
  EXPECT_TRUE(f.t.exists("DX"));

  // A name past the path limit: in UTF-8 past it on Windows too, whose
  // command line holds fewer UTF-16 units than the limit's bytes.
  std::string too_long;
  for (int i = 0; i < 11000; i++)
    too_long += "\xe6\x97\xa5";  // 日
  run_options opt;
  opt.cwd = f.t.root();
  opt.env = {"LC_ALL=C.UTF-8"};  // the argument reaches Wine as UTF-8
  for (auto bad : {std::vector<std::string>{"-o"}, std::vector<std::string>{"-O", "-x"},
                   std::vector<std::string>{"-o", too_long}}) {
    run_result r = run_kivor(bad, opt);
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, kIllegal);
  }
}

TEST(Options, AccountingFileReplacedAndClosed) {
  fixture f;
  temp_tree logs;
  const std::string separator = "\n" + std::string(40, '*') + "\n";
  run_result r = f.run({"-f", "*.pgp", "-d", "-1", arg_path(logs, "A.LOG"), "-1",
                        arg_path(logs, "B.LOG")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(logs.read("A.LOG"),
            text_file(separator + "This file closed.\n" +
                      "Accounting file overridden by option -1 file pointing to " +
                      shown(logs, "B.LOG") + "\n"));
  EXPECT_NE(normalise(logs.read("B.LOG")).find("Searched 1 files, Found 1 possible hits"),
            std::string::npos);

  f.run({"-f", "*.pgp", "-d", "-1" + arg_path(logs, "C.LOG"), "+1"});
  EXPECT_EQ(logs.read("C.LOG"), text_file(separator));

  f.run({"-d", "+r1", arg_path(logs, "D.LOG")});  // r toggles, then 1 opens D.LOG
  EXPECT_NE(normalise(logs.read("D.LOG")).find("Searched 4 files"), std::string::npos);
}

TEST(Options, ParsingStopsAtTheFirstArgumentThatIsNoOptionGroup) {
  fixture f;
  run_result r = f.run({"-d", f.arg("sub"), "-r"});  // ignored from the path on
  EXPECT_EQ(normalise(r.out), run_out(f.hit("a.pgp") + f.hit("b.c") + f.hit("c.h")));
  EXPECT_EQ(normalise(r.err), run_err("", 3, 3));
  r = f.run({f.arg("sub"), "-d"});  // a leading path, then options
  EXPECT_EQ(normalise(r.out), run_out(f.hit("sub/d.pgp")));
}

// Any letter the option table does not name leads to the help file, looked
// for beside the program.
TEST(Options, HelpPath) {
  fixture f;
  temp_tree bin;
  run_options opt;
  opt.program = copy_program(bin);
  opt.cwd = f.t.root();

  opt.input = "\n";  // no help file: the usage screen, and the letter was a mistake
  run_result r = run_kivor({"-z"}, opt);
  EXPECT_EQ(r.status, 5);
  EXPECT_EQ(r.out, "Wait for help to appear\n" + kUsageOut);
  EXPECT_EQ(normalise(r.err), banner() + option_list() + kIllegal);

  bin.write("kivor.hlp", "HELP TEXT\n");
  const std::string question = "\nDO YOU WISH TO SEE A DOS HELP SCREEN ALSO  (Y/N)? ";
  // Only the whole "--help" and "--version" are long options.
  std::vector<std::string> bad_groups = {"-z",     "--",         "-r+",      "-9",
                                         "--HELP", "--version=", "---help", "-r--help"};
  if (!windows_target())  // Wine hands a byte that is no character on as '?'
    bad_groups.push_back("-\xe9");
  for (const std::string &bad : bad_groups) {
    opt.input = "n";
    r = run_kivor({bad}, opt);
    EXPECT_EQ(r.status, 5) << bad;
    EXPECT_EQ(r.out, "Wait for help to appear\n" + help_shown("HELP TEXT\n")) << bad;
    EXPECT_EQ(r.err, question + "\n" + kIllegal) << bad;
  }
  opt.input = "";  // the end of input answers no
  EXPECT_EQ(run_kivor({"-z"}, opt).status, 5);

  opt.input = "y\n";
  r = run_kivor({"-dz"}, opt);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Wait for help to appear\n" + help_shown("HELP TEXT\n") + kUsageOut);
  EXPECT_EQ(normalise(r.err), question + banner() + option_list() + "Normal termination\n");

  // Copied as it is on POSIX; on Windows each line end, LF or CRLF, is one CRLF.
  bin.write("kivor.hlp", "A\r\nB\n");
  opt.input = "n";
  EXPECT_EQ(run_kivor({"-z"}, opt).out,
            "Wait for help to appear\n" + std::string(windows_target() ? "A\nB\n" : "A\r\nB\n"));
}

// --help and --version end the run at once, where an option group would
// stand; elsewhere the argument is what it always was.
TEST(Options, LongOptions) {
  fixture f;
  const std::string help = normalise(f.run({"--help"}).out);
  // The screen of today's users: the platform's synopsis and paths, every
  // option, the statuses and the manual, in 80 columns.
  std::vector<std::string> wanted = {"-f PATTERN", "-p DIR", " -r ", " -d ", " -w N", " -W N",
                                     " -o FILE", "-O FILE", " -1 FILE", "+1 ", " -x ", " -c ",
                                     " -a ", " -? ", "--json", "--csv", "--keys", "--help",
                                     "--version", "Exit status: 0", "The manual: "};
  wanted.push_back(windows_target() ? "KIVOR [PATH ...]" : "kivor [PATH ...]");
  wanted.push_back(windows_target() ? "C:\\DATA\\*.PGP" : "/mnt/disk/*.pgp");
  for (const std::string &w : wanted)
    EXPECT_NE(help.find(w), std::string::npos) << w;
  for (size_t at = 0, end; (end = help.find('\n', at)) != std::string::npos; at = end + 1)
    EXPECT_LT(end - at, 80u) << help.substr(at, end - at);
  EXPECT_EQ(help.find("seperated"), std::string::npos);  // not the old screen
  const std::string version = "KIVOR Ver. YY.MM.DD.hh.mm\n";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out, err;
  } cases[] = {
      {{"--help"}, 0, help, ""},
      {{"--version"}, 0, version, ""},
      {{"-r", "--version", "-z"}, 0, version, ""},
      {{f.arg("sub"), "--help"}, 0, help, ""},  // after a leading path
      {{"-f", "--version"}, 0, version, ""},     // an empty list, then the option
      {{"-d", f.arg("sub"), "--help"}, 0,        // no option group: not looked at
       run_out(f.hit("a.pgp") + f.hit("b.c") + f.hit("c.h")), run_err("", 3, 3)},
      {{"-o", "--help"}, 5, "", kIllegal},  // a name may not begin with '-'
      {{"--csv", "-r", "--json"}, 5, "", "--json and --csv cannot be given together\n" + kIllegal},
  };
  for (const auto &c : cases) {
    run_result r = f.run(c.args);
    std::string what = c.args[0] + " " + c.args[1 % c.args.size()];
    EXPECT_EQ(r.status, c.status) << what;
    EXPECT_EQ(normalise(r.out), c.out) << what;
    EXPECT_EQ(normalise(r.err), c.err) << what;
  }
}

// Installed, the program finds its help file in ../share/kivor/, after its
// own folder.
TEST(Options, HelpFileOfAnInstalledProgram) {
  POSIX_TARGET_ONLY("Windows looks beside the program only");
  fixture f;
  temp_tree root;
  root.write("bin/kivor", read_file(kivor_binary()));
  ASSERT_EQ(chmod(root.path("bin/kivor").c_str(), 0755), 0);
  root.write("share/kivor/kivor.hlp", "SHARED HELP\n");
  run_options opt;
  opt.program = root.path("bin/kivor");
  opt.cwd = f.t.root();
  opt.input = "n";
  EXPECT_EQ(run_kivor({"-z"}, opt).out, "Wait for help to appear\nSHARED HELP\n");
  root.write("bin/kivor.hlp", "OWN HELP\n");
  EXPECT_EQ(run_kivor({"-z"}, opt).out, "Wait for help to appear\nOWN HELP\n");
}

// On a terminal the help file goes through $PAGER, else less, else more
// (each found on PATH), else it is copied as to any other output.
TEST(Options, HelpOnATerminalGoesThroughAPager) {
  POSIX_TARGET_ONLY("$PAGER and pseudo-terminals");
  fixture f;
  temp_tree bin, tools, empty;
  bin.write("kivor.hlp", "HELP TEXT\n");
  // A pager that marks each line it shows, under the name more.
  tools.write("more", "#!/bin/sh\nwhile IFS= read -r l; do echo \"more:$l\"; done < \"$1\"\n");
  ASSERT_EQ(chmod(tools.path("more").c_str(), 0755), 0);
  const std::string question = "\nDO YOU WISH TO SEE A DOS HELP SCREEN ALSO  (Y/N)? \n" + kIllegal;
  struct {
    std::vector<std::string> env;
    std::string shown;
    bool quiet;  // nothing said before the question (else the shell's word on $PAGER)
  } rows[] = {
      {{"PAGER=sed s/^/pager:/"}, "pager:HELP TEXT\n", true},
      {{"PAGER=" + tools.path("missing"), "PATH=" + tools.root()}, "more:HELP TEXT\n", false},
      {{"PAGER=", "PATH=" + empty.root()}, "HELP TEXT\n", true},
  };
  for (auto &row : rows) {
    SCOPED_TRACE(row.env[0]);
    live_options opt;
    opt.program = copy_program(bin);
    opt.cwd = f.t.root();
    opt.output_terminal = true;
    opt.env = row.env;
    live_run run({"-z"}, opt);
    run_result r = run.finish();  // the end of input answers the question no
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(r.out, "Wait for help to appear\n" + row.shown);
    if (row.quiet)
      EXPECT_EQ(r.err, question);
    else
      EXPECT_EQ(r.err.substr(r.err.size() - std::min(r.err.size(), question.size())), question);
  }
}

// Ctrl-C while the run waits at a prompt ends it at once, as everywhere.
TEST(Options, CtrlCAtThePrompts) {
  POSIX_TARGET_ONLY("pseudo-terminals and signals");
  fixture f;
  live_options opt;
  opt.cwd = f.t.root();
  opt.terminal = true;
  {
    live_run run({"-?"}, opt);
    ASSERT_TRUE(run.wait_for_err(banner().substr(0, 40)));
    run.type("\x03");
    run_result r = run.finish();
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, kUsageOut);
    EXPECT_EQ(normalise(r.err), banner() + "Program termination: reason INPUT_FILE\n");
    EXPECT_TRUE(run.terminal_is_usable());
  }
  {
    temp_tree bin;
    opt.program = copy_program(bin);
    bin.write("kivor.hlp", "HELP TEXT\n");
    opt.env = {"PAGER=cat"};
    live_run run({"-z"}, opt);
    ASSERT_TRUE(run.wait_for_err("(Y/N)? "));
    run.type("\x03");
    run_result r = run.finish();
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "\nDO YOU WISH TO SEE A DOS HELP SCREEN ALSO  (Y/N)? "
                     "Program termination: reason INPUT_FILE\n");
    EXPECT_TRUE(run.terminal_is_usable());
  }
}

}  // namespace
