// Key reads and Ctrl-C when standard input is not a terminal (as in CI).
// The terminal handling itself is tested end to end through a
// pseudo-terminal.
#include <signal.h>
#include <unistd.h>

#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

// Standard input reads from a pipe holding bytes for the object's life;
// with end set the pipe is closed behind them.
class stdin_from_pipe {
 public:
  explicit stdin_from_pipe(const std::string &bytes, bool end = true) {
    saved_ = dup(0);
    int p[2];
    if (pipe(p) != 0 || write(p[1], bytes.data(), bytes.size()) != (ssize_t)bytes.size())
      abort();
    dup2(p[0], 0);
    close(p[0]);
    writer_ = p[1];
    if (end) {
      close(writer_);
      writer_ = -1;
    }
  }
  ~stdin_from_pipe() {
    if (writer_ >= 0)
      close(writer_);
    dup2(saved_, 0);
    close(saved_);
  }

 private:
  int saved_, writer_;
};

TEST(ConsoleWithoutTerminal, TheKeyTestNeverReadsInput) {
  stdin_from_pipe in("\x1b");
  EXPECT_EQ(plat_key_waiting(), 0);
  EXPECT_EQ(plat_read_char(), 27);  // still there
  EXPECT_EQ(plat_read_char(), -1);
}

TEST(ConsoleWithoutTerminal, KeyReadsTakeOneByteEachThenReportTheEnd) {
  stdin_from_pipe in("ab\n");
  EXPECT_EQ(plat_raw_key(), 'a');
  EXPECT_EQ(plat_read_char(), 'b');
  EXPECT_EQ(plat_raw_key(), '\n');
  EXPECT_EQ(plat_raw_key(), -1);
  EXPECT_EQ(plat_read_char(), -1);
}

// Ctrl-C (or SIGTERM, SIGHUP) ends a wait for input that would otherwise last for ever, whether
// it comes during the wait or just before it.
TEST(ConsoleInterrupt, EndsAWaitForInput) {
  EXPECT_EXIT(
      {
        stdin_from_pipe in("", false);  // open, empty: a read would block
        plat_catch_interrupt();
        pid_t parent = getpid();
        if (fork() == 0) {
          usleep(100 * 1000);
          kill(parent, SIGINT);
          _exit(0);
        }
        int c = plat_read_char();
        _exit(c == -1 && plat_interrupted() ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
  // Each stop signal, and the kind of stop it asks for.
  for (auto stop : {std::make_pair(SIGINT, PLAT_STOP_INTERRUPT),
                    std::make_pair(SIGTERM, PLAT_STOP_TERMINATE),
                    std::make_pair(SIGHUP, PLAT_STOP_TERMINATE)}) {
    EXPECT_EXIT(
        {
          stdin_from_pipe in("", false);
          plat_catch_interrupt();
          raise(stop.first);
          int c = plat_raw_key();
          _exit(c == -1 && plat_interrupted() == stop.second ? 0 : 1);
        },
        testing::ExitedWithCode(0), "")
        << stop.first;
  }
}

TEST(ConsoleInterrupt, TheSecondEndsTheProcessAtOnce) {
  EXPECT_EXIT(
      {
        plat_catch_interrupt();
        raise(SIGINT);
        raise(SIGINT);
        _exit(0);
      },
      testing::KilledBySignal(SIGINT), "");
}

TEST(ConsoleInterrupt, AnInheritedIgnoreStays) {
  EXPECT_EXIT(
      {
        signal(SIGINT, SIG_IGN);
        plat_catch_interrupt();
        raise(SIGINT);
        _exit(plat_interrupted() ? 1 : 0);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
