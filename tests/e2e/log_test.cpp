// What a run leaves behind it: the start stamp, the summary, the hit file and
// the accounting file.
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expect.h"
#include "runner.h"

namespace {

const std::string kKey = std::string("\x99\x00\x8d", 3) + std::string(40, 'k');
const std::string kStars40(40, '*');
const std::string kStars51(51, '*');

// The stamp line on standard output for a moment and a time zone.
std::string stamp_line(const std::string &tz, const std::string &seconds) {
  temp_tree t;
  run_options opt;
  opt.cwd = t.root();
  opt.env = {"TZ=" + tz, "KIVOR_TEST_TIME=" + seconds};
  run_result r = run_kivor({}, opt);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out("")) << tz;
  size_t end = r.out.find('\n', 1);
  return end == std::string::npos ? r.out : r.out.substr(1, end - 1);
}

// The standard time's name and its hours west of UTC; a star for a zone
// with daylight-saving rules, in every season; the true UTC time of the
// moment; the local hh:mm.  The Windows runtime reads the start of these
// TZ settings (name, offset, daylight name; its own rules for the dates)
// and has no zone without a name.  Wine's runtime keeps two letters of a
// name where Windows keeps three.
TEST(StartStamp, ZonesAndSeasons) {
  struct {
    const char *tz, *seconds, *zone, *line;
  } rows[] = {
      {"UTC0", "1215014707", "UTC", "Program started Wed Jul 02 16:05:07 2008 GMT, 16:05 UTC (0)"},
      {"PST8PDT,M3.2.0,M11.1.0", "1215014707", "PST",
       "Program started Wed Jul 02 16:05:07 2008 GMT, 09:05 PST (8*)"},
      {"PST8PDT,M3.2.0,M11.1.0", "1199293507", "PST",
       "Program started Wed Jan 02 17:05:07 2008 GMT, 09:05 PST (8*)"},
      {"IST-5:30", "1215014707", "IST",
       "Program started Wed Jul 02 16:05:07 2008 GMT, 21:35 IST (-5)"},
      {"IST-5:30", "1230753600", "IST",
       "Program started Wed Dec 31 20:00:00 2008 GMT, 01:30 IST (-5)"},
      // A zone without a name: the local time, hh:mm, two blanks, the mark.
      {"<>0", "1215014707", nullptr, "Program started Wed Jul 02 16:05:07 2008 16:05  (0)"},
  };
  for (auto &r : rows) {
    if (windows_target() && r.zone == nullptr)
      continue;
    std::string line = stamp_line(r.tz, r.seconds);
    std::string want = r.line;
    if (windows_target() && line != want) {
      std::string zone = std::string(" ") + r.zone + " (";
      want.replace(want.find(zone), zone.size(), " " + zone.substr(1, 2) + " (");
    }
    EXPECT_EQ(line, want) << r.tz << " at " << r.seconds;
  }
}

TEST(StartStamp, ClockThatCannotBeShownEndsTheRunBeforeTheWalk) {
  temp_tree t;
  t.write("a.pgp", kKey);
  run_options opt;
  opt.cwd = t.root();
  opt.env = {"TZ=UTC0", "KIVOR_TEST_TIME=99999999999999999"};
  run_result r = run_kivor({}, opt);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "\nCan't get timezone information\n");
}

// A hit file gets the stamp with the command line, then the hit lines;
// -o empties it first, -O appends.  The hit file itself is not examined.
TEST(HitOutput, WrittenAfreshOrAppended) {
  temp_tree t;
  t.write("KEY.PGP", kKey);
  t.write("hits.txt", "earlier hits\n");
  run_options opt;
  opt.cwd = t.root();
  // Named in other letters on Windows: still the same file there.
  const std::string hit_file = arg_path(t, windows_target() ? "HITS.TXT" : "hits.txt");
  auto record = [&](const std::string &option) {
    return hit_file_run({option, hit_file}, hit(shown(t, "KEY.PGP"), "public key certificate"));
  };

  run_result r = run_kivor({"-o", hit_file}, opt);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(normalise(r.err), run_err(dir_line(t, ""), 1, 1));
  EXPECT_EQ(normalise(t.read("hits.txt")), text_file(record("-o")));
  EXPECT_FALSE(windows_target() && t.exists("HITS.TXT"));

  r = run_kivor({"-O", hit_file}, opt);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.err), run_err(dir_line(t, ""), 1, 1));
  EXPECT_EQ(normalise(t.read("hits.txt")), text_file(record("-o") + record("-O")));
}

TEST(HitOutput, UnopenableHitFileLeavesTheHitsOnStandardOutput) {
  temp_tree t;
  t.write("a.pgp", kKey);
  run_options opt;
  opt.cwd = t.root();
  run_result r = run_kivor({"-o", arg_path(t, "missing/hits.txt")}, opt);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(hit(shown(t, "a.pgp"), "public key certificate")));
  EXPECT_EQ(normalise(r.err), run_err(dir_line(t, ""), 1, 1));
}

class AccountingLog : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.write("scan/a.pgp", kKey);
    tree.write("scan/b.txt", "plain text\n");
    opt.cwd = tree.path("scan");
  }

  // One run's record for these arguments, as normalise shows it.
  std::string record(const std::vector<std::string> &args, int searched, int hits) {
    return "\n" + kStars40 + "\n\nProgram started <time>\n" + command_line(args) + "\n\nSearched " +
           std::to_string(searched) + " files, Found " + std::to_string(hits) +
           " possible hits\nElapsed time:  <elapsed>\n\n" + kStars51 + "\n";
  }

  temp_tree tree;
  run_options opt;
};

// Each run appends its separator, stamp, command line and summary; what
// was there stays.
TEST_F(AccountingLog, TwoRunsLeaveTwoWholeRecords) {
  const std::string log = arg_path(tree, "run log.txt");
  tree.write("run log.txt", text_file("kept from before\n"));
  std::vector<std::string> args = {"-1", log};
  run_result r = run_kivor(args, opt);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(hit(shown(tree, "scan/a.pgp"), "public key certificate")));
  r = run_kivor(args, opt);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(tree.read("run log.txt")),
            text_file("kept from before\n" + record(args, 2, 1) + record(args, 2, 1)));
}

// Everything from the first NUL or Ctrl-Z on is cut before the record is
// appended, unless the file is shorter than 10 bytes.
TEST_F(AccountingLog, CleanedBeforeTheRecordIsAppended) {
  struct {
    std::string before, kept;
  } rows[] = {
      {std::string("\x1a" "old record\n"), ""},
      {std::string("old record\n\0\0\0\0", 15), "old record\n"},
      {std::string("nine\0byte", 9), std::string("nine\0byte", 9)},
  };
  for (auto &row : rows) {
    tree.write("acct.log", row.before);
    std::vector<std::string> args = {"-1", arg_path(tree, "acct.log")};
    run_result r = run_kivor(args, opt);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(normalise(tree.read("acct.log")), row.kept + text_file(record(args, 2, 1)));
  }
}

// A log of hundreds of megabytes: every record in it stays, and the cut
// still finds a Ctrl-Z at its very end.  The program only ever cuts and
// appends, so the length and the new tail show that nothing else moved.
TEST_F(AccountingLog, LargeLogKeepsEveryRecord) {
  const std::string line = "an earlier record, kept as it was written by an earlier run\n";
  const size_t lines = ((size_t)200 << 20) / line.size();
  std::string big;
  big.reserve(lines * line.size() + 32);
  for (size_t i = 0; i < lines; i++)
    big += line;
  const size_t kept = big.size();
  big += "\x1a" "junk after the end";
  tree.write("big.log", big);
  big.clear();
  big.shrink_to_fit();

  std::vector<std::string> args = {"-1", arg_path(tree, "big.log")};
  run_result r = run_kivor(args, opt);
  EXPECT_EQ(r.status, 0);
  FILE *f = fopen(tree.path("big.log").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(fseek(f, (long)(kept - line.size()), SEEK_SET), 0);
  std::string tail;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0)
    tail.append(buf, n);
  fclose(f);
  EXPECT_EQ(normalise(tail), line + text_file(record(args, 2, 1)));
}

// An accounting file that can be neither opened nor created ends the run at
// once with status 1, before the walk, with the module's message.
TEST_F(AccountingLog, UnopenableLogEndsTheRunWithStatusOne) {
  tree.mkdir("dir.log");
  std::vector<std::string> names = {arg_path(tree, "dir.log"),
                                    arg_path(tree, "no/such/dir/acct.log")};
  if (geteuid() != 0) {  // permissions do not stop the superuser
    tree.write("read-only.log", "a record\n");
    chmod(tree.path("read-only.log").c_str(), 0444);
    names.push_back(arg_path(tree, "read-only.log"));
  }
  for (const std::string &name : names) {
    run_result r = run_kivor({"-1", name}, opt);
    EXPECT_EQ(r.status, 1) << name;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "\n\\Work\\C70\\Lib70\\Generic7\n392\nerror opening " + name + "\n");
  }
}

}  // namespace
