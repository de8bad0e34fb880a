// Keys typed at the terminal while a scan runs: only Esc stops it.
#include <string>

#include <gtest/gtest.h>

#include "expect.h"
#include "pty_runner.h"

namespace {

// An arrow or function key arrives as an escape sequence; it is another
// key, consumed, and the run goes on until a real Esc.
TEST(Keys, SpecialKeysAreNotEsc) {
  POSIX_TARGET_ONLY("keys typed at a pseudo-terminal");
  temp_tree t;
  const std::string key = std::string("\x99\x01\x0d", 3) + std::string(40, 'k');
  const int n = 1500;  // more hit lines than the output terminal holds
  for (int i = 0; i < n; i++)
    t.write("k" + std::to_string(1000 + i) + ".pgp", key);
  live_options opt;
  opt.cwd = t.root();
  opt.terminal = true;
  opt.hold_output = true;
  opt.output_terminal = true;  // keys are the pager's when the output is piped
  live_run r({}, opt);
  ASSERT_TRUE(r.wait_until_stalled());
  r.type("\x1b[A\x1bOP\x1b[15~");  // up arrow, F1, F5
  run_result res = r.finish();
  EXPECT_EQ(res.status, 0);
  EXPECT_EQ(normalise(res.err), run_err(dir_line(t, ""), n, n));
  EXPECT_EQ(r.typed_unread(), 0);
}

}  // namespace
