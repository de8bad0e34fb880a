// Leading path arguments: directories, patterns and files named on the
// command line, as the walk then sees them.
#include <stdio.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expect.h"
#include "runner.h"

namespace {

const std::string kKey = std::string("\x99\x00\x8d", 3) + std::string(40, 'k');
const std::string kArmour = "-----BEGIN PGP MESSAGE-----\nhQEMA\n-----END PGP MESSAGE-----\n";
const char *kPub = "public key certificate";
const char *kArm = "possible ascii armor";

// data/ holds three hits and a plain file; work/ is the current directory.
class PathArguments : public ::testing::Test {
 protected:
  void SetUp() override {
    t.write("data/KEY.PGP", kKey);
    t.write("data/KEYS.TXT", kKey);
    t.write("data/NOTE.ASC", kArmour);
    t.write("data/plain.txt", "nothing\n");
    t.write("work/W.ASC", kArmour);
    t.write("work/w.pgp", kKey);
  }

  run_result run(const std::vector<std::string> &args) {
    run_options opt;
    opt.cwd = t.path("work");
    return run_kivor(args, opt);
  }

  std::string data(const std::string &rel) { return shown(t, "data/" + rel); }
  std::string arg(const std::string &rel) { return arg_path(t, rel); }

  temp_tree t;
};

TEST_F(PathArguments, AnExistingDirectoryIsSearchedForEverything) {
  run_result r = run({arg("data")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(hit(data("KEY.PGP"), kPub) + hit(data("KEYS.TXT"), kPub) +
                                      hit(data("NOTE.ASC"), kArm)));
  EXPECT_EQ(normalise(r.err), run_err(dir_line(t, "data"), 4, 3));
}

TEST_F(PathArguments, APatternNamesItsDirectoryAndOnlyThatPattern) {
  run_result r = run({arg("data/*.PGP")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(hit(data("KEY.PGP"), kPub)));
  EXPECT_EQ(normalise(r.err), run_err(dir_line(t, "data"), 1, 1));
}

// The directory is walked once; within it the patterns in the order given.
TEST_F(PathArguments, TwoPatternsInOneDirectory) {
  run_result r = run({arg("data/*.ASC"), arg("data/*.PGP"), arg("data/")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(hit(data("NOTE.ASC"), kArm) + hit(data("KEY.PGP"), kPub)));
  EXPECT_EQ(normalise(r.err), run_err(dir_line(t, "data"), 2, 2));
}

TEST_F(PathArguments, ARelativePatternSearchesTheCurrentDirectory) {
  run_result r = run({"*.ASC"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(hit(shown(t, "work/W.ASC"), kArm)));
  EXPECT_EQ(normalise(r.err), run_err(dir_line(t, "work"), 1, 1));
}

TEST_F(PathArguments, AnExistingFileBecomesAPatternOfItsExactName) {
  run_result r = run({arg("data/KEYS.TXT")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(hit(data("KEYS.TXT"), kPub)));
  EXPECT_EQ(normalise(r.err), run_err(dir_line(t, "data"), 1, 1));
}

// A directory that is not there is still the only search directory: the
// walk finds nothing, says so, and does not search the current directory
// instead.  A mistyped directory becomes a name in its parent, and that
// nothing has it is said too; the status stays 0.
TEST_F(PathArguments, AMissingDirectoryFindsNothingAndSaysSo) {
  const std::string gone = ": No such file or directory\n";
  run_result r = run({arg("new/")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(""));
  EXPECT_EQ(normalise(r.err), run_err("couldn't list " + shown(t, "new") + sep() + gone, 0, 0));

  r = run({arg("dta")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.err),
            "couldn't find " + shown(t, "dta") + gone + run_err(dir_line(t, ""), 0, 0));
}

TEST_F(PathArguments, APatternBeginningWithADashStopsItAndEveryLaterOne) {
  t.mkdir("x");
  run_result r = run({arg("x/-A.TXT"), arg("data/*.PGP")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(""));
  EXPECT_EQ(normalise(r.err), run_err(dir_line(t, "x") + dir_line(t, "data"), 0, 0));
}

// The same directory written differently is walked once.  Directory names
// that differ by case are two directories on POSIX, walked in the order
// given, and one on Windows, walked under the name first given.
TEST_F(PathArguments, DuplicateDirectoriesAreWalkedOnce) {
  const std::string same_data[] = {arg("data"), arg("data/"), arg("work/../data/.")};
  std::vector<std::string> args(std::begin(same_data), std::end(same_data));
  std::string hits = hit(data("KEY.PGP"), kPub) + hit(data("KEYS.TXT"), kPub) +
                     hit(data("NOTE.ASC"), kArm);
  std::string dirs = dir_line(t, "data");
  int searched = 4, found = 3;
  if (windows_target()) {
    args.insert(args.begin() + 1, arg("DATA"));
  } else {
    t.write("Data/K.PGP", kKey);
    args.insert(args.begin() + 1, arg("Data"));
    hits += hit(shown(t, "Data/K.PGP"), kPub);
    dirs += dir_line(t, "Data");
    searched++;
    found++;
  }
  run_result r = run(args);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(hits));
  EXPECT_EQ(normalise(r.err), run_err(dirs, searched, found));
}

TEST_F(PathArguments, ASixteenthDirectoryIsRefusedWithAMessage) {
  std::vector<std::string> args;
  std::string dirs;
  for (int i = 0; i < 16; i++) {
    char name[8];
    snprintf(name, sizeof name, "d%02d", i);
    t.mkdir(name);
    args.push_back(arg(name));
    if (i < 15)
      dirs += dir_line(t, name);
  }
  run_result r = run(args);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.err), "Too many search directories (at most 15): " + shown(t, "d15") +
                                  " not added\n" + run_err(dirs, 0, 0));
}

// Only an argument that begins with '-' or '+' ends the leading paths.
TEST_F(PathArguments, PathsEndAtTheFirstOptionGroup) {
  run_result r = run({arg("data/*.PGP"), "-", arg("work")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.err), run_err(dir_line(t, "data"), 1, 1));
}

}  // namespace
