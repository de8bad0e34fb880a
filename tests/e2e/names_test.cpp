// Names as the output shows them: control bytes, UTF-8 characters.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expect.h"
#include "runner.h"

namespace {

const std::string kKey = std::string("\x99\x00\x8d", 3) + std::string(40, 'k');
const char *kPub = "public key certificate";

// A name cannot add a line or drive the terminal: each control byte shows
// as '?' in hit lines (standard output and hit file), directory lines,
// messages and the hit file's command line; bytes above 127 are kept.
TEST(Names, ControlBytesShowAsQuestionMarksEverywhere) {
  POSIX_TARGET_ONLY("names with control bytes");
  temp_tree t;
  const std::string dir = "e\x1b[2J", dir_seen = "e?[2J";
  struct {
    const char *name, *seen;
  } files[] = {  // in listing order
      {"caf\xe9\x01.pgp", "caf\xe9?.pgp"},
      {"del\x7f.pgp", "del?.pgp"},
      {"k\nFAKE.PGP", "k?FAKE.PGP"},
  };
  std::string hits;
  for (auto &f : files) {
    t.write(dir + "/" + f.name, kKey);
    hits += hit(shown(t, dir_seen + "/" + f.seen), kPub, 260);
  }
  t.mkfifo(dir + "/fifo\x1b]0;x\x07");
  const std::string seen = shown(t, dir_seen);
  run_options opt;
  opt.cwd = t.root();
  run_result r = run_kivor({arg_path(t, dir), "-w0"}, opt);
  EXPECT_EQ(normalise(r.out), run_out(hits));
  EXPECT_EQ(normalise(r.err), run_err(seen + "/\ncouldn't open " + seen + "/fifo?]0;x?\n", 4, 3));

  std::vector<std::string> args = {arg_path(t, dir), "-w0", "-o", "hits.txt"};
  r = run_kivor(args, opt);
  EXPECT_EQ(r.status, 0);
  args[0] = seen;
  EXPECT_EQ(normalise(t.read("hits.txt")), hit_file_run(args, hits));
}

// In a UTF-8 locale the hit line's field counts characters: the shortened
// name fills 20 of 22 and is padded by 2.  In the C locale it counts bytes
// (and cuts into the emoji), as it always has.
TEST(Names, Utf8LocaleCountsCharacters) {
  POSIX_TARGET_ONLY("the locale's code set");
  temp_tree t;
  const std::string name = "ä€😀ä€😀ä€😀.pgp";  // 13 characters, 31 bytes
  t.write("dir/" + name, kKey);
  const std::string display = shown(t, "").substr(0, 2) + "/.../" + name;  // 20 characters
  struct {
    const char *locale;
    std::string line;
  } rows[] = {
      {"LC_ALL=C.UTF-8", display + "   " + kPub + "\n"},
      {"LC_ALL=C", hit(display, kPub, 22)},
  };
  for (auto &r : rows) {
    run_options opt;
    opt.env = {r.locale};
    run_result res = run_kivor({arg_path(t, "dir"), "-w", "22"}, opt);
    EXPECT_EQ(normalise(res.out), run_out(r.line)) << r.locale;
  }
}

}  // namespace
