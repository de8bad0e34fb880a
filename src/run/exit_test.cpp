#include "run/exit.h"

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include <gtest/gtest.h>

#include "run/abort.h"
#include "run/globals.h"
#include "run_state.h"
#include "temp_tree.h"

namespace {

TEST(ExitProgram, NamesTheReasonOrNormalTermination) {
  reset_run_state();
  EXPECT_EXIT(exit_program(0), testing::ExitedWithCode(0), "^Normal termination\n$");
  EXPECT_EXIT(exit_program(5), testing::ExitedWithCode(5),
              "^Program termination: reason ILLEGAL or INCOMPLETE OPTION\n$");
  EXPECT_EXIT(exit_program(4), testing::ExitedWithCode(4),
              "^Program termination: reason PARAMATER_FILE\n$");
  EXPECT_EXIT(exit_program(12), testing::ExitedWithCode(12),
              "^Program termination: reason NON_SPECIFIC ERROR\n$");
  EXPECT_EXIT(exit_program(9), testing::ExitedWithCode(9), "^Program termination: reason 9\n$");
}

// The hit file is closed, so what was written to it is there, also when
// the stream still held it in its buffer.
TEST(ExitProgram, ClosesAnOpenHitFile) {
  temp_tree t{shared_with_death_test{}};
  std::string name = t.path("hits.txt");
  reset_run_state();
  EXPECT_EXIT(
      {
        g_settings->hit_file_mode = 1;
        g_hit_stream = fopen(name.c_str(), "w");
        setvbuf(g_hit_stream, nullptr, _IOFBF, 1 << 16);
        fputs("a whole hit line\n", g_hit_stream);
        exit_program(USER_ABORTED);
      },
      testing::ExitedWithCode(1), "^Program termination: reason USER_ABORTED\n$");
  EXPECT_EQ(t.read_text("hits.txt"), "a whole hit line\n");
}

// Ctrl-C is acted on at the next keyboard poll: reason INPUT_FILE, not
// USER_ABORTED.
TEST(Interrupt, EndsTheRunAtTheNextPoll) {
  reset_run_state();
  EXPECT_EXIT(
      {
        install_interrupt_handler();
        raise(SIGINT);
        fputs("still running\n", stderr);
        abort_key_pressed();
        exit(99);
      },
      testing::ExitedWithCode(2), "^still running\nProgram termination: reason INPUT_FILE\n$");
}

}  // namespace
