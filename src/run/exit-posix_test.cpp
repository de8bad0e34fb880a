// Termination as POSIX shows it: the exit status is the reason's low byte,
// and Ctrl-C comes from another process.
#include "run/exit.h"

#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "run/abort.h"
#include "run_state.h"

namespace {

TEST(ExitProgramPosix, AReasonBelowOneIsANormalTermination) {
  reset_run_state();
  EXPECT_EXIT(exit_program(-3), testing::ExitedWithCode(253), "^Normal termination\n$");
}

// A prompt that waits for input ends when Ctrl-C arrives.
TEST(InterruptPosix, EndsAWaitAtAPrompt) {
  reset_run_state();
  EXPECT_EXIT(
      {
        install_interrupt_handler();
        pid_t parent = getpid();
        int p[2];
        if (pipe(p) != 0 || dup2(p[0], 0) < 0)
          _exit(98);
        if (fork() == 0) {
          usleep(100 * 1000);
          kill(parent, SIGINT);
          _exit(0);
        }
        prompt_char();  // stdin stays open and empty: only Ctrl-C ends this
        _exit(99);
      },
      testing::ExitedWithCode(2), "^Program termination: reason INPUT_FILE\n$");
}

}  // namespace
