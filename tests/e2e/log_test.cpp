// What a run leaves behind it: the start stamp, the summary, the hit file and
// the accounting file.
#include <fcntl.h>
#include <signal.h>
#include <linux/capability.h>
#include <stdio.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expect.h"
#include "pty_runner.h"
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

// Trailing NUL and Ctrl-Z padding is cut before the record is appended,
// unless the file is shorter than 10 bytes.
TEST_F(AccountingLog, CleanedBeforeTheRecordIsAppended) {
  struct {
    std::string before, kept;
  } rows[] = {
      {std::string("\x1a\0\x1a\0\x1a\0\x1a\0\x1a\0", 10), ""},
      {std::string("old record\n\0\0\x1a\0", 15), "old record\n"},
      {std::string("nine\0\0\0\0", 9), std::string("nine\0\0\0\0", 9)},
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
// still finds the padding at its very end.  The program only ever cuts and
// appends, so the length and the new tail show that nothing else moved.
TEST_F(AccountingLog, LargeLogKeepsEveryRecord) {
  const std::string line = "an earlier record, kept as it was written by an earlier run\n";
  const size_t lines = ((size_t)200 << 20) / line.size();
  std::string big;
  big.reserve(lines * line.size() + 32);
  for (size_t i = 0; i < lines; i++)
    big += line;
  const size_t kept = big.size();
  big += "\x1a" + std::string(100000, '\0');  // padding across chunks
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

// True when this process has the capability cap in effect.
bool has_capability(int cap) {
  struct __user_cap_header_struct head = {_LINUX_CAPABILITY_VERSION_3, 0};
  struct __user_cap_data_struct data[2] = {};
  return syscall(SYS_capget, &head, data) == 0 && (data[0].effective >> cap & 1) != 0;
}

// In the child, as root: the program starts without the power to pass over
// file permissions (CAP_DAC_OVERRIDE), so that they stop it as they stop
// anyone else.  Needs CAP_SETPCAP.
void without_permission_override() {
  if (geteuid() != 0)
    return;
  struct __user_cap_header_struct head = {_LINUX_CAPABILITY_VERSION_3, 0};
  struct __user_cap_data_struct data[2] = {};
  if (syscall(SYS_capget, &head, data) != 0)
    _exit(125);
  data[0].inheritable &= ~(1u << CAP_DAC_OVERRIDE);
  if (syscall(SYS_capset, &head, data) != 0 || prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) != 0)
    _exit(125);
}

// An accounting file that can be neither opened nor created ends the run at
// once with status 1, before the walk, with the module's message.
TEST_F(AccountingLog, UnopenableLogEndsTheRunWithStatusOne) {
  tree.mkdir("dir.log");
  tree.write("read-only.log", "a record\n");
  chmod(tree.path("read-only.log").c_str(), 0444);
  std::vector<std::string> names = {arg_path(tree, "dir.log"),
                                    arg_path(tree, "no/such/dir/acct.log")};
  // The superuser is stopped by permissions only without its override;
  // under Wine the server opens the files, and it keeps it.
  const bool read_only = geteuid() != 0 || (!windows_target() && has_capability(CAP_SETPCAP));
  if (read_only)
    names.push_back(arg_path(tree, "read-only.log"));
  opt.in_child = without_permission_override;
  for (const std::string &name : names) {
    run_result r = run_kivor({"-1", name}, opt);
    EXPECT_EQ(r.status, 1) << name;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "\n\\Work\\C70\\Lib70\\Generic7\n392\nerror opening " + name + "\n");
  }
  EXPECT_EQ(tree.read("read-only.log"), "a record\n");
  if (!read_only)
    GTEST_SKIP() << "a read-only file does not stop the superuser here (no CAP_SETPCAP to start "
                    "the run without CAP_DAC_OVERRIDE, or the Windows build under Wine)";
}

// What is no accounting log is refused before anything is written: a key
// ring (data after its NUL byte), by its name, through a link or after a
// good log, and the hit file named as the log, in either order or through
// a link.  Every file stays as it was.
TEST_F(AccountingLog, WhatIsNoLogIsRefusedUntouched) {
  const std::string log_text = "a record\n";
  tree.write("key.pgp", kKey);
  tree.write("acct.log", log_text);
  const std::string key = arg_path(tree, "key.pgp"), log = arg_path(tree, "acct.log");
  const std::string key_link = tree.path("key-link"), log_link = tree.path("log-link");
  if (!windows_target()) {
    tree.symlink(tree.path("key.pgp"), "key-link");
    tree.symlink(tree.path("acct.log"), "log-link");
  }
  const std::string no_log =
      " is not an accounting log (it holds other bytes after a NUL or Ctrl-Z); left as it is\n";
  const std::string both = " is the accounting file too: nothing written, nothing changed\n";
  struct {
    std::vector<std::string> args;
    std::string message;
    bool link;
  } rows[] = {
      {{"-1", key}, key + no_log, false},
      {{"-1", log, "-1", key}, key + no_log, false},
      {{"-1", key_link}, key_link + no_log, true},
      {{"-o", log, "-1", log}, log + both, false},
      {{"-1", log, "-O", log}, log + both, false},
      {{"-1", log, "-o", log_link}, log_link + both, true},
  };
  for (auto &row : rows) {
    if (row.link && windows_target())
      continue;
    SCOPED_TRACE(row.args[1] + " " + row.args.back());
    run_result r = run_kivor(row.args, opt);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, row.message + "Program termination: reason OUTPUT_FILE\n");
    EXPECT_EQ(tree.read("key.pgp"), kKey);
    EXPECT_EQ(tree.read("acct.log"), log_text);
  }
}

// A standard stream closed at the start: the file the run opens next does
// not take its place, and gets only what is meant for it; a closed input
// is at its end at the prompts (the help question is answered no).
TEST_F(AccountingLog, ClosedStandardStreamsTakeNoFile) {
  POSIX_TARGET_ONLY("closed descriptors");
  const std::vector<std::string> to_log = {"-1", tree.path("acct.log")};
  const std::vector<std::string> to_hits = {"-o", tree.path("hits.txt")};
  const std::string key_hit = hit(shown(tree, "scan/a.pgp"), "public key certificate");
  struct {
    int closed;
    std::vector<std::string> args;
    const char *file;
    std::string want;
    int status;
  } rows[] = {
      {1, to_log, "acct.log", record(to_log, 2, 1), 0},
      {2, to_hits, "hits.txt", hit_file_run(to_hits, key_hit), 0},
      {0, to_hits, "hits.txt", hit_file_run(to_hits, key_hit), 0},
      {0, {"-z"}, "hits.txt", "", 5},
  };
  for (auto &row : rows) {
    unlink(tree.path(row.file).c_str());
    live_options lo;
    lo.cwd = opt.cwd;
    int fd = row.closed;
    lo.in_child = [fd] { close(fd); };
    live_run r(row.args, lo);
    run_result res = r.finish();
    EXPECT_EQ(res.status, row.status) << row.closed << " " << row.args[0];
    EXPECT_EQ(normalise(tree.read(row.file)), row.want);
  }
}

// A mounted file system of 64 KiB, filled up to leave some room.
struct small_disk {
  explicit small_disk(const temp_tree &t) : dir(t.path("disk")) {
    t.mkdir("disk");
    mounted = mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") == 0;
  }
  ~small_disk() {
    if (mounted)
      umount2(dir.c_str(), MNT_DETACH);
  }
  void fill(off_t room) const {
    int fd = open((dir + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    static const char block[4096] = {0};
    off_t size = 0;
    ssize_t n;
    while ((n = write(fd, block, sizeof block)) > 0)
      size += n;
    EXPECT_EQ(ftruncate(fd, size - room), 0);
    close(fd);
  }
  std::string dir;
  bool mounted;
};

// Hits or a record that cannot reach their file (a full disk, /dev/full):
// the file and the system's reason are named, the run ends with
// WRITE_ERROR, and no summary claims what was lost.  The start stamp finds
// a full file before the walk; a hit file that fills up during the walk
// ends it at the hit line that failed.  A pipe whose reader has gone ends
// the run by SIGPIPE, as a shell starts it, or where SIGPIPE is ignored
// with WRITE_ERROR; so does an option list or version line not written.
TEST(WriteFailure, LostHitsAndRecordsEndTheRun) {
  POSIX_TARGET_ONLY("/dev/full and a mounted file system");
  temp_tree t;
  std::vector<std::string> names;
  for (int i = 0; i < 150; i++)
    names.push_back("scan/k" + std::to_string(1000 + i) + ".pgp");
  for (auto &n : names)
    t.write(n, kKey);
  small_disk disk(t);
  const std::string full = ": No space left on device\n";
  const std::string ended = "Program termination: reason WRITE_ERROR\n";
  const std::string broken = ": Broken pipe\n";
  const std::string hits = disk.dir + "/hits.txt", log = disk.dir + "/acct.log";
  const std::string to_stdout = "couldn't write the hit lines to standard output";
  // Standard output as the run finds it (none: the runner's pipe).
  const std::function<void()> full_disk = [] { dup2(open("/dev/full", O_WRONLY), 1); };
  const std::function<void()> no_reader = [] {
    int p[2];
    if (pipe(p) == 0 && close(p[0]) == 0)
      dup2(p[1], 1);
  };
  const std::function<void()> no_reader_ignored = [no_reader] {
    no_reader();
    signal(SIGPIPE, SIG_IGN);
  };
  struct {
    std::vector<std::string> args;
    std::function<void()> out_setup;
    bool on_disk;
    off_t room;
    int status;
    std::string out, err;
  } rows[] = {
      {{"-o", "/dev/full"}, {}, false, 0, 8, "", "couldn't write the hit file /dev/full" + full + ended},
      {{}, full_disk, false, 0, 8, "", to_stdout + full + ended},
      {{}, no_reader, false, 0, 128 + SIGPIPE, "", ""},
      {{}, no_reader_ignored, false, 0, 8, "", to_stdout + broken + ended},
      {{"--help"}, full_disk, false, 0, 8, "",
       "couldn't write the option list to standard output" + full + ended},
      {{"--version"}, no_reader, false, 0, 128 + SIGPIPE, "", ""},
      {{"--version"}, no_reader_ignored, false, 0, 8, "",
       "couldn't write the version line to standard output" + broken + ended},
      {{"-o", hits}, {}, true, 0, 8, "", "couldn't write the hit file " + hits + full + ended},
      {{"-1", log}, {}, true, 0, 8, run_out(""),
       "couldn't write the accounting file " + log + full + ended},
      {{"-o", hits}, {}, true, 8192, 8, "",
       "\n" + dir_line(t, "scan") + "couldn't write the hit file " + hits + full + ended},
  };
  for (auto &row : rows) {
    if (row.on_disk && !disk.mounted)
      continue;
    if (row.on_disk) {
      unlink(hits.c_str());
      disk.fill(row.room);
    }
    live_options lo;
    lo.cwd = t.path("scan");
    lo.in_child = row.out_setup;
    live_run r(row.args, lo);
    run_result res = r.finish();
    EXPECT_EQ(res.status, row.status) << row.err;
    EXPECT_EQ(normalise(res.out), row.out);
    EXPECT_EQ(res.err, row.err);
  }
  if (!disk.mounted)
    GTEST_SKIP() << "mounting a small file system is not permitted here";
}

// The hit file reached by another name (a link to it, a link to its
// directory, a second hard link) is neither examined nor counted, though
// what it holds would be a hit.
TEST(HitOutput, HitFileByAnotherNameIsNotExamined) {
  POSIX_TARGET_ONLY("symbolic links");
  temp_tree t;
  t.write("scan/KEY.PGP", kKey);
  t.write("scan/hits.txt", "-----BEGIN PGP PUBLIC KEY BLOCK-----\n");
  ASSERT_EQ(link(t.path("scan/hits.txt").c_str(), t.path("scan/hard.txt").c_str()), 0);
  t.symlink(t.path("scan"), "scan-link");
  t.symlink(t.path("scan/hits.txt"), "hits-link");
  for (const std::string &name :
       {t.path("hits-link"), t.path("scan-link/hits.txt"), t.path("scan/hits.txt")}) {
    run_result r = run_kivor({t.path("scan"), "-O", name});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(normalise(r.err), run_err(dir_line(t, "scan"), 1, 1)) << name;
  }
}

}  // namespace
