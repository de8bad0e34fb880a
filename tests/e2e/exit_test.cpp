// The ways a run ends early: exhausted memory, Esc, Ctrl-C as a key and as
// a signal, termination signals, an unreadable current directory, and what
// the user's terminal looks like afterwards.
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "expect.h"
#include "meddler.h"
#include "pty_runner.h"
#include "runner.h"

namespace {

const std::string kKey = std::string("\x99\x00\x8d", 3) + std::string(40, 'k');
const char *kKind = "public key certificate";

std::string termination(const std::string &reason) {
  return "Program termination: reason " + reason + "\n";
}

// n key files in the tree's root; their hit lines in the order of the walk.
std::vector<std::string> make_hits(const temp_tree &t, int n) {
  std::vector<std::string> hits;
  for (int i = 0; i < n; i++) {
    char name[32];
    snprintf(name, sizeof name, "k%05d.pgp", i);
    t.write(name, kKey);
    hits.push_back(hit(shown(t, name), kKind));
  }
  return hits;
}

std::string joined(const std::vector<std::string> &lines, size_t count) {
  std::string s;
  for (size_t i = 0; i < count && i < lines.size(); i++)
    s += lines[i];
  return s;
}

// What a run that ended early wrote to an output: made by wrap from the
// first hit lines, every one whole.  Passes when some count of them matches
// exactly; *count receives it.
testing::AssertionResult whole_lines(const std::string &got,
                                     const std::function<std::string(const std::string &)> &wrap,
                                     const std::vector<std::string> &hits, size_t *count) {
  std::string so_far;
  for (size_t k = 0; k <= hits.size(); k++) {
    if (wrap(so_far) == got) {
      *count = k;
      return testing::AssertionSuccess();
    }
    if (k < hits.size())
      so_far += hits[k];
  }
  return testing::AssertionFailure() << "not the stamp and whole hit lines:\n" << got;
}

// Standard output of a run that ended early: the start stamp and whole
// hit lines.
testing::AssertionResult whole_hit_lines(const std::string &out,
                                         const std::vector<std::string> &hits,
                                         size_t *count) {
  return whole_lines(normalise(out), run_out, hits, count);
}

// n files in the tree's root, one in a hundred a key; the hit lines in the
// order of the walk.
std::vector<std::string> make_large_tree(const temp_tree &t, int n) {
  std::vector<std::string> hits;
  for (int i = 0; i < n; i++) {
    char name[32];
    snprintf(name, sizeof name, "f%05d%s", i, i % 100 == 0 ? ".pgp" : ".txt");
    t.write(name, i % 100 == 0 ? kKey : "plain text, nothing here\n");
    if (i % 100 == 0)
      hits.push_back(hit(shown(t, name), kKind));
  }
  return hits;
}

// Where fanotify allows (as root), holds the program's open of a file
// halfway through make_large_tree's tree until release: a stop made before
// then reaches the run in the middle of its walk, however busy the machine.
// Elsewhere the stop would race the walk: the test is skipped.
#define SKIP_UNLESS_HELD(hold)                                                        \
  if (!(hold).holding())                                                              \
  GTEST_SKIP() << "no fanotify permission events here (needs CAP_SYS_ADMIN): a stop " \
                  "could not be sent in the middle of the walk"
class halfway {
 public:
  explicit halfway(const temp_tree &t) {
    std::shared_future<void> go = go_.get_future().share();
    holding_ = m_.on(t.path("f10001.txt"), FAN_OPEN_PERM, false, [this, go] {
      held_.set_value();
      go.wait_for(std::chrono::seconds(30));
    });
    if (holding_)
      m_.start();
  }
  ~halfway() { release(); }

  bool holding() const { return holding_; }

  // The program waits in that open.
  bool reached() {
    return held_.get_future().wait_for(std::chrono::seconds(30)) == std::future_status::ready;
  }

  void release() {
    if (!released_)
      go_.set_value();
    released_ = true;
  }

 private:
  std::promise<void> held_, go_;
  bool holding_ = false, released_ = false;
  meddler m_;
};

// A run over many hits whose standard output nobody reads yet: it stalls
// writing hit lines, in the middle of its walk.  With a terminal, standard
// output is a terminal too, unless piped (as into a pager), and the run
// takes the terminal for key reads unless piped.
struct stalled_run {
  temp_tree tree;
  std::vector<std::string> hits;
  live_options opt;
  std::unique_ptr<live_run> run;

  explicit stalled_run(bool terminal, bool terminal_signals = true, bool piped = false) {
    opt.output_terminal = terminal && !piped;
    hits = make_hits(tree, opt.output_terminal ? 1500 : 300);  // more than a terminal holds
    opt.cwd = tree.root();
    opt.terminal = terminal;
    opt.terminal_signals = terminal_signals;
    opt.hold_output = true;
    run.reset(new live_run({}, opt));
  }

  // The error stream of a run ended during the walk of the root.
  std::string err_ended(const std::string &reason) const {
    return "\n" + dir_line(tree, "") + termination(reason);
  }
};

// True when the terminal reads keys one at a time without echo.
bool keys_at_once(const live_run &r) {
  struct termios m;
  return r.terminal_modes(&m) && (m.c_lflag & (ECHO | ICANON)) == 0;
}

// --------------------------------------------------------- exhausted memory

TEST(Termination, EveryAllocationFailureNamesWhatFailedAndEndsWithReasonSix) {
  temp_tree t;
  t.mkdir("d");
  const std::string mem = termination("INSUFFICIENT MEMORY");
  const std::string pattern_arg = arg_path(t, "d/*.PGP");
  struct {
    int n;
    bool with_path;  // one leading path argument: two list copies before g_inbuf
    std::string out, err;
  } cases[] = {
      {1, false, "", mem},  // run_settings: no message of its own
      {2, false, "", "Couldn't create pg_complete_path buffer\n" + mem},
      {3, false, "", "Couldn't create pg_complete_path buffer\n" + mem},  // pg_check_path
      {4, false, "", "Couldn't create the search lists\n" + mem},
      {5, false, "", "Couldn't create the search lists\n" + mem},
      {6, false, "", "\nLine #: 571,  g_searchstr memory error" + mem},
      {7, false, "", "\nLine #: 579,  memory error" + mem},  // g_patternstr
      {8, false, "", "\nLine #: 587,  memory error" + mem},  // g_hit_file_name
      {9, false, "Couldn't create input buffer", mem},       // g_inbuf
      {9, true, "", "Not enough memory to add the search directory " + shown(t, "d") + "\n" + mem},
      {10, true, "", "Not enough memory to add the file type *.PGP\n" + mem},
      {11, true, "Couldn't create input buffer", mem},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE("allocation " + std::to_string(c.n) + (c.with_path ? " with a path" : ""));
    run_options opt;
    opt.cwd = t.root();
    opt.env = {"KIVOR_FAIL_ALLOC=" + std::to_string(c.n)};
    std::vector<std::string> args;
    if (c.with_path)
      args.push_back(pattern_arg);
    run_result r = run_kivor(args, opt);
    EXPECT_EQ(r.status, 6);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
  }
}

// ------------------------------------------------------------- keys

// The run gives back only what it changed: a setting that another program
// on the terminal changed meanwhile stays.
TEST(Termination, EscStopsTheWalkWithWholeLinesAndTheTerminalGivenBack) {
  POSIX_TARGET_ONLY("keys typed at a pseudo-terminal");
  stalled_run s(true);
  live_run &r = *s.run;
  ASSERT_TRUE(r.wait_until_stalled());
  EXPECT_TRUE(keys_at_once(r)) << "the terminal should read keys at once during the walk";
  struct termios m;
  ASSERT_TRUE(r.terminal_modes(&m));
  m.c_cc[VERASE] = 8;
  ASSERT_TRUE(r.set_terminal_modes(m));
  r.type("\x1b");
  run_result res = r.finish();
  EXPECT_EQ(res.status, 1);
  EXPECT_EQ(normalise(res.err), s.err_ended("USER_ABORTED"));
  size_t count = 0;
  EXPECT_TRUE(whole_hit_lines(res.out, s.hits, &count));
  EXPECT_GT(count, 0u);
  EXPECT_LT(count, s.hits.size());
  EXPECT_TRUE(r.terminal_is_usable());
  EXPECT_TRUE(r.terminal_modes(&m) && m.c_cc[VERASE] == 8);
}

TEST(Termination, AnotherKeyIsConsumedAndTheRunEndsNormally) {
  POSIX_TARGET_ONLY("keys typed at a pseudo-terminal");
  stalled_run s(true);
  live_run &r = *s.run;
  ASSERT_TRUE(r.wait_until_stalled());
  r.type("x");
  run_result res = r.finish();
  EXPECT_EQ(res.status, 0);
  EXPECT_EQ(normalise(res.out), run_out(joined(s.hits, s.hits.size())));
  const int n = (int)s.hits.size();
  EXPECT_EQ(normalise(res.err), run_err(dir_line(s.tree, ""), n, n));
  EXPECT_EQ(r.typed_unread(), 0);
  EXPECT_TRUE(r.terminal_is_usable());
}

TEST(Termination, CtrlCReadAsACharacterIsAUserAbort) {
  POSIX_TARGET_ONLY("keys typed at a pseudo-terminal");
  stalled_run s(true, false);  // the terminal passes Ctrl-C on as byte 3
  live_run &r = *s.run;
  ASSERT_TRUE(r.wait_until_stalled());
  r.type("\x03");
  run_result res = r.finish();
  EXPECT_EQ(res.status, 1);
  EXPECT_EQ(normalise(res.err), s.err_ended("USER_ABORTED"));
  EXPECT_TRUE(r.terminal_is_usable());
}

TEST(Termination, KeysOnInputThatIsNoTerminalAreNeverRead) {
  temp_tree t;
  std::vector<std::string> hits = make_hits(t, 3);
  run_options opt;
  opt.cwd = t.root();
  opt.input = "\x1b\x03\x1b";
  run_result r = run_kivor({}, opt);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(joined(hits, 3)));
  EXPECT_EQ(normalise(r.err), run_err(dir_line(t, ""), 3, 3));
}

// ------------------------------------------------------------- Ctrl-C

// Typed at the terminal while the run is stuck writing a hit line: the line
// is finished, then the run ends at its next check.
TEST(Termination, CtrlCAtTheTerminalEndsWithInputFileAndWholeLines) {
  POSIX_TARGET_ONLY("Ctrl-C (Wine handles it unlike Windows)");
  stalled_run s(true);
  live_run &r = *s.run;
  ASSERT_TRUE(r.wait_until_stalled());
  r.type("\x03");
  run_result res = r.finish();
  EXPECT_EQ(res.status, 2);
  EXPECT_EQ(normalise(res.err), s.err_ended("INPUT_FILE"));
  size_t count = 0;
  EXPECT_TRUE(whole_hit_lines(res.out, s.hits, &count));
  EXPECT_LT(count, s.hits.size());
  EXPECT_TRUE(r.terminal_is_usable());
}

TEST(Termination, InterruptDuringTheWalkOfALargeTree) {
  POSIX_TARGET_ONLY("Ctrl-C (Wine handles it unlike Windows)");
  temp_tree t;
  std::vector<std::string> hits = make_large_tree(t, 20000);
  live_options opt;
  opt.cwd = t.root();
  halfway hold(t);
  SKIP_UNLESS_HELD(hold);
  live_run r({}, opt);
  ASSERT_TRUE(r.wait_for_err(dir_line(t, "")));
  ASSERT_TRUE(hold.reached());
  r.send(SIGINT);
  hold.release();
  run_result res = r.finish();
  EXPECT_EQ(res.status, 2);
  EXPECT_EQ(normalise(res.err), "\n" + dir_line(t, "") + termination("INPUT_FILE"));
  size_t count = 0;
  EXPECT_TRUE(whole_hit_lines(res.out, hits, &count));
}

// Esc, Ctrl-C, SIGTERM and SIGHUP while hits go to a hit file: the file is
// closed with the lines written so far, each whole.
TEST(Termination, AnOpenHitFileIsClosedWithWholeLines) {
  POSIX_TARGET_ONLY("keys at a pseudo-terminal and Ctrl-C");
  temp_tree t;
  std::vector<std::string> hits = make_large_tree(t, 20000);
  const std::string hit_file = t.path("hits.txt");
  const std::vector<std::string> args = {"-o", hit_file};
  struct {
    const char *reason;
    int status;
    std::function<void(live_run &)> stop;
  } ways[] = {
      {"USER_ABORTED", 1, [](live_run &r) { r.type("\x1b"); }},
      {"INPUT_FILE", 2, [](live_run &r) { r.send(SIGINT); }},
      {"OTHER_EXIT", 7, [](live_run &r) { r.send(SIGTERM); }},
      {"OTHER_EXIT", 7, [](live_run &r) { r.send(SIGHUP); }},
  };
  for (auto &w : ways) {
    SCOPED_TRACE(w.reason);
    live_options opt;
    opt.cwd = t.root();
    opt.terminal = true;
    opt.output_terminal = true;  // Esc is not seen when standard output is a pipe
    halfway hold(t);
    SKIP_UNLESS_HELD(hold);
    live_run r(args, opt);
    ASSERT_TRUE(r.wait_for_err(dir_line(t, "")));
    ASSERT_TRUE(hold.reached());
    w.stop(r);
    hold.release();
    run_result res = r.finish();
    EXPECT_EQ(res.status, w.status);
    EXPECT_EQ(res.out, "");
    EXPECT_EQ(normalise(res.err), "\n" + dir_line(t, "") + termination(w.reason));
    size_t count = 0;
    auto in_file = [&](const std::string &h) { return text_file(hit_file_run(args, h)); };
    EXPECT_TRUE(whole_lines(normalise(t.read("hits.txt")), in_file, hits, &count));
    EXPECT_LT(count, hits.size());
    EXPECT_TRUE(r.terminal_is_usable());
  }
}

// Ctrl-C, SIGTERM and SIGHUP are stops alike: the second ends the run at once.
TEST(Termination, ASecondStopEndsAtOnceWithTheTerminalGivenBack) {
  POSIX_TARGET_ONLY("Ctrl-C (Wine handles it unlike Windows)");
  for (auto pair : {std::make_pair(SIGINT, SIGINT), std::make_pair(SIGTERM, SIGINT),
                    std::make_pair(SIGHUP, SIGTERM)}) {
    SCOPED_TRACE(std::to_string(pair.first) + " then " + std::to_string(pair.second));
    stalled_run s(true);
    live_run &r = *s.run;
    ASSERT_TRUE(r.wait_until_stalled());
    // Two signals sent before the first is delivered would count as one.
    r.send(pair.first);  // recorded; the run still waits to finish its line
    ASSERT_TRUE(r.wait_until([&] { return !r.pending(pair.first); }));
    r.send(pair.second);
    run_result res = r.finish();
    EXPECT_EQ(res.status, 128 + pair.second);
    EXPECT_EQ(normalise(res.err), "\n" + dir_line(s.tree, ""));  // no termination line
    EXPECT_TRUE(r.terminal_is_usable());
  }
}

// ------------------------------------------------ other signals, terminal

// SIGTERM and SIGHUP end the run at its next file, like Ctrl-C but with
// reason OTHER_EXIT; other ending signals give the terminal back and take
// their default action.
TEST(Termination, EndingSignalsEndTheRunWithTheTerminalGivenBack) {
  POSIX_TARGET_ONLY("signals and pseudo-terminals");
  struct {
    int sig;
    bool piped;  // standard output a pipe (else a terminal)
    int status;
    const char *reason;  // nullptr: no termination line
  } cases[] = {
      {SIGTERM, true, 7, "OTHER_EXIT"},
      {SIGHUP, false, 7, "OTHER_EXIT"},
      {SIGALRM, false, 128 + SIGALRM, nullptr},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(c.sig);
    stalled_run s(true, true, c.piped);
    live_run &r = *s.run;
    ASSERT_TRUE(r.wait_until_stalled());
    ASSERT_EQ(keys_at_once(r), !c.piped);
    r.send(c.sig);
    run_result res = r.finish();
    EXPECT_EQ(res.status, c.status);
    if (c.reason != nullptr) {
      EXPECT_EQ(normalise(res.err), s.err_ended(c.reason));
      size_t count = 0;
      EXPECT_TRUE(whole_hit_lines(res.out, s.hits, &count));
      EXPECT_LT(count, s.hits.size());
    }
    EXPECT_TRUE(r.terminal_is_usable());
  }
}

// With its output piped (into a pager), the run leaves the shared terminal
// alone: its settings are never changed and typed keys stay for the pager,
// Esc among them.
TEST(Termination, WithOutputPipedTheTerminalAndItsKeysAreLeftAlone) {
  POSIX_TARGET_ONLY("keys typed at a pseudo-terminal");
  stalled_run s(true, true, true);
  live_run &r = *s.run;
  struct termios before, during, after;
  ASSERT_TRUE(r.terminal_modes(&before));
  ASSERT_TRUE(r.wait_until_stalled());
  r.type("\x1b");
  usleep(100 * 1000);
  ASSERT_TRUE(r.terminal_modes(&during));
  run_result res = r.finish();
  ASSERT_TRUE(r.terminal_modes(&after));
  EXPECT_EQ(res.status, 0);
  EXPECT_EQ(normalise(res.out), run_out(joined(s.hits, s.hits.size())));
  EXPECT_EQ(r.typed_unread(), 1);
  for (const struct termios *m : {&during, &after}) {
    EXPECT_EQ(m->c_lflag, before.c_lflag);
    EXPECT_EQ(memcmp(m->c_cc, before.c_cc, sizeof before.c_cc), 0);
  }
  EXPECT_TRUE(r.terminal_is_usable());
}

TEST(Termination, SuspendGivesTheTerminalBackAndResumeTakesItAgain) {
  POSIX_TARGET_ONLY("signals and pseudo-terminals");
  stalled_run s(true);
  live_run &r = *s.run;
  ASSERT_TRUE(r.wait_until_stalled());
  ASSERT_TRUE(keys_at_once(r));
  r.send(SIGTSTP);
  ASSERT_TRUE(r.wait_until([&] { return r.stopped(); }));
  EXPECT_TRUE(r.terminal_is_usable());
  r.send(SIGCONT);
  EXPECT_TRUE(r.wait_until([&] { return !r.stopped() && keys_at_once(r); }));
  r.type("\x1b");  // and keys still work
  run_result res = r.finish();
  EXPECT_EQ(res.status, 1);
  EXPECT_EQ(normalise(res.err), s.err_ended("USER_ABORTED"));
  EXPECT_TRUE(r.terminal_is_usable());
}

// A FIFO named as the hit file: the run waits for its reader without
// holding Ctrl-C off, and writes to it once one comes.
TEST(Termination, AFifoHitFileWaitsForItsReaderAndCtrlCEndsTheWait) {
  POSIX_TARGET_ONLY("FIFOs and signals");
  temp_tree t;
  std::vector<std::string> hits = make_hits(t, 1);
  t.mkfifo("hits.fifo");
  const std::vector<std::string> args = {"-o", t.path("hits.fifo")};
  live_options opt;
  opt.cwd = t.root();
  {
    live_run r(args, opt);
    // In its wait: the open is tried again after each pause.
    ASSERT_TRUE(r.wait_until([&] { return r.catches(SIGINT) && r.napping(); }, 20000));
    r.send(SIGINT);
    run_result res = r.finish();
    EXPECT_EQ(res.status, 2);
    EXPECT_EQ(res.out, "");
    EXPECT_EQ(res.err, termination("INPUT_FILE"));
  }
  live_run r(args, opt);
  int fd = open(t.path("hits.fifo").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  std::string got;
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0)
    got.append(buf, (size_t)n);
  close(fd);
  run_result res = r.finish();
  EXPECT_EQ(res.status, 0);
  EXPECT_EQ(normalise(got), hit_file_run(args, hits[0]));
}

// ---------------------------------------------- no current directory

TEST(Termination, AnUnreadableCurrentDirectoryEndsTheRunWithAMessage) {
  POSIX_TARGET_ONLY("a removed current directory, and POSIX paths longer than Windows allows");
  temp_tree t;
  std::string gone = t.path("gone");
  t.mkdir("gone");
  std::string deep = std::string(200, 'd');
  std::string rel = deep;
  while (rel.size() < 4200)
    rel += "/" + deep;
  t.mkdir(rel);

  struct {
    const char *what;
    std::function<void()> enter;
  } cases[] = {
      {"removed",
       [&] {
         if (chdir(gone.c_str()) == 0)
           rmdir(gone.c_str());
       }},
      {"too long",
       [&] {
         if (chdir(t.root().c_str()) != 0)
           return;
         for (size_t at = 0; at < rel.size(); at += deep.size() + 1)
           if (chdir(deep.c_str()) != 0)
             return;
       }},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(c.what);
    live_options opt;
    opt.in_child = c.enter;
    live_run r({}, opt);
    run_result res = r.finish();
    EXPECT_EQ(res.status, 7);
    EXPECT_EQ(normalise(res.out), run_out(""));
    EXPECT_EQ(res.err, "Can't read the current directory; name the directories to search\n" +
                           termination("OTHER_EXIT"));
  }
}

}  // namespace
