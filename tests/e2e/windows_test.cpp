// What only the Windows build has, run under Wine: drive letters, the
// current directory of a drive, '/' that starts both a path and an option
// group, the two interpretations of 8-bit file names, and names and paths
// that only the wide file calls reach.  Wine's drive C:
// is the prefix's drive_c; further drives are links in its dosdevices.
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expect.h"
#include "pty_runner.h"
#include "runner.h"

namespace {

const std::string kKey = std::string("\x99\x00\x8d", 3) + std::string(40, 'k');
const char *kPub = "public key certificate";

// The Wine prefix the program runs in.
std::string wine_prefix() {
  const char *p = getenv("WINEPREFIX");
  if (p != nullptr && *p != '\0')
    return p;
  const char *home = getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.wine";
}

// The real path of the directory that is drive C:.
std::string drive_c() {
  char real[PATH_MAX];
  std::string c = wine_prefix() + "/drive_c";
  return realpath(c.c_str(), real) != nullptr ? real : c;
}

// A tree on drive C:, and the names the program gives its entries there.
struct tree_on_c {
  temp_tree t{drive_c()};
  // "C:\<tree>\rel" ("C:\<tree>" for "").
  std::string name(const std::string &rel) const {
    std::string n = "C:" + (rel.empty() ? t.root() : t.path(rel)).substr(drive_c().size());
    for (char &c : n)
      if (c == '/')
        c = '\\';
    return n;
  }
};

// Drive letter: mapped to dir for the object's life.
class drive_mapping {
 public:
  drive_mapping(char letter, const std::string &dir)
      : link_(wine_prefix() + "/dosdevices/" + std::string(1, letter) + ":") {
    mapped_ = symlink(dir.c_str(), link_.c_str()) == 0;
    EXPECT_TRUE(mapped_) << link_ << " exists already or cannot be made";
  }
  ~drive_mapping() {
    if (mapped_)
      unlink(link_.c_str());
  }
  bool mapped() const { return mapped_; }

 private:
  std::string link_;
  bool mapped_ = false;
};

// A file in the root of drive C:, removed with the object.
struct file_in_c_root {
  explicit file_in_c_root(const std::string &n) : name(n), native(drive_c() + "/" + n) {
    FILE *f = fopen(native.c_str(), "wb");
    EXPECT_NE(f, nullptr) << native;
    if (f != nullptr) {
      fwrite(kKey.data(), 1, kKey.size(), f);
      fclose(f);
    }
  }
  ~file_in_c_root() { unlink(native.c_str()); }
  std::string name, native;
};

// A directory and a pattern in one argument, with a drive: C:\DATA\*.PGP.
TEST(Drives, APatternInADirectoryOfDriveC) {
  WINDOWS_TARGET_ONLY("drive letters");
  tree_on_c c;
  c.t.write("DATA/KEY.PGP", kKey);
  c.t.write("DATA/KEYS.TXT", kKey);
  temp_tree work;
  run_options opt;
  opt.cwd = work.root();
  run_result r = run_kivor({c.name("DATA") + "\\*.PGP"}, opt);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(hit(c.name("DATA/KEY.PGP"), kPub)));
  EXPECT_EQ(normalise(r.err), run_err(c.name("DATA") + "\\\n", 1, 1));
}

// D:\ and C:\*.TXT: the directories D:\ and C:\, in that order, and the one
// pattern *.TXT for both.
TEST(Drives, TwoDrivesAndOnePattern) {
  WINDOWS_TARGET_ONLY("drive letters");
  temp_tree d;
  d.write("KEY.TXT", kKey);
  d.write("KEY.PGP", kKey);
  drive_mapping mapping('d', d.root());
  ASSERT_TRUE(mapping.mapped());
  // The root of a fresh prefix's drive C: holds no other *.TXT.
  file_in_c_root in_c("KIVOR" + std::to_string(getpid()) + ".TXT");
  run_options opt;
  opt.cwd = d.root();
  run_result r = run_kivor({"D:\\", "C:\\*.TXT"}, opt);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(hit("D:\\KEY.TXT", kPub) + hit("C:\\" + in_c.name, kPub)));
  EXPECT_EQ(normalise(r.err), run_err("D:\\\nC:\\\n", 2, 2));
}

// "C:" without a backslash is the current directory of drive C, not its
// root; the walk names it with its backslash.
TEST(Drives, ADriveWithoutBackslashIsItsCurrentDirectory) {
  WINDOWS_TARGET_ONLY("drive letters");
  tree_on_c c;
  c.t.write("here/KEY.PGP", kKey);
  c.t.write("ABOVE.PGP", kKey);
  run_options opt;
  opt.cwd = c.t.path("here");
  run_result r = run_kivor({"C:"}, opt);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(hit(c.name("here/KEY.PGP"), kPub)));
  EXPECT_EQ(normalise(r.err), run_err(c.name("here") + "\\\n", 1, 1));
}

// A first argument that begins with '/' is a path argument and an option
// group at once: /d names the directory \d (a root without a file named d)
// and also turns the directory lines off, so nothing is found and only the
// missing name is said, where the current directory alone would give a
// hit.  (Wine
// reads a path that begins with '/' as a POSIX path, Z:\d; Windows as \d
// of the current drive.  A leading /r would walk that whole drive.)
TEST(Drives, ALeadingSlashGroupIsAPathAndOptions) {
  WINDOWS_TARGET_ONLY("'/' as an option prefix");
  temp_tree t;
  t.write("KEY.PGP", kKey);
  run_options opt;
  opt.cwd = t.root();
  run_result r = run_kivor({"/d"}, opt);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(""));
  EXPECT_EQ(normalise(r.err), "couldn't find " + target_path("/d") +
                                  ": No such file or directory\n" + run_err("", 0, 0));
}

// The run starts with 8-bit names in the OEM code page (437 here: e-acute
// is 0x82).  An open tries the ANSI name first (1252: 0xE9): a name that
// only the OEM interpretation finds opens at the second try and the OEM
// interpretation stays; the first open that succeeds at once leaves ANSI
// for the rest of the run, and the listing then hands out ANSI names.
TEST(CodePages, OemNamesUntilAnOpenSucceedsInAnsi) {
  WINDOWS_TARGET_ONLY("the ANSI and OEM file-name interpretations");
  temp_tree t;
  const std::string e_acute = "\xc3\xa9";  // as the POSIX name holds it (UTF-8)
  t.write("only/" + e_acute + ".pgp", kKey);
  t.write("both/a.pgp", kKey);
  t.write("both/" + e_acute + ".pgp", kKey);
  run_options opt;
  opt.cwd = t.root();
  opt.env = {"LC_ALL=C.UTF-8"};  // Wine's default code pages, 1252 and 437
  run_result r = run_kivor({arg_path(t, "only"), arg_path(t, "both"), "-d"}, opt);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(hit(shown(t, "only/\x82.pgp"), kPub) +
                                      hit(shown(t, "both/a.pgp"), kPub) +
                                      hit(shown(t, "both/\xe9.pgp"), kPub)));
  EXPECT_EQ(normalise(r.err), run_err("", 3, 3));
}

// On a console the help file is shown a screen at a time: a terminal of 10
// rows holds 9 lines and the prompt, any key shows the next screen and q
// ends it, the keys read from standard input, here a file.  Under Wine a
// terminal on standard output is the console; what it draws there is
// text between cursor commands, which are taken out (a step right was a
// blank).  Only kivor.hlp is the help file, not a file named like the
// program without its extension.
TEST(HelpOnTheConsole, AScreenAtATimeUntilQ) {
  WINDOWS_TARGET_ONLY("the console pager");
  temp_tree bin, keys;
  std::string lines;
  for (int i = 1; i <= 30; i++)
    lines += "LINE " + std::to_string(100 + i) + "\n";
  bin.write("kivor.hlp", lines);
  bin.write("kivor", "NOT THE HELP FILE\n");
  struct {
    const char *keys;
    int last;     // the last line shown
    int prompts;  // screens that ended in the prompt
  } rows[] = {{" q", 118, 2}, {"", 109, 1}};
  for (auto &row : rows) {
    SCOPED_TRACE(std::string("keys \"") + row.keys + "\"");
    keys.write("keys.txt", row.keys);
    const std::string key_file = keys.path("keys.txt");
    live_options opt;
    opt.program = copy_program(bin);
    opt.output_terminal = true;
    opt.rows = 10;
    opt.in_child = [key_file] { dup2(open(key_file.c_str(), O_RDONLY), 0); };
    live_run run({"-z"}, opt);
    run_result r = run.finish();
    EXPECT_EQ(r.status, 5);  // then the end of input answers the question no
    std::string shown = std::regex_replace(r.out, std::regex("\x1b\\[1C"), " ");
    shown = std::regex_replace(shown, std::regex("\x1b\\[[0-9;?]*[A-Za-z]|\r"), "");
    const std::regex prompt("-- More --  \\(q: quit\\) *");  // blanked out after the key
    EXPECT_EQ(std::distance(std::sregex_iterator(shown.begin(), shown.end(), prompt),
                            std::sregex_iterator()),
              row.prompts);
    std::string want = "Wait for help to appear\n";
    for (int i = 101; i <= row.last; i++)
      want += "LINE " + std::to_string(i) + "\n";
    EXPECT_EQ(std::regex_replace(shown, prompt, ""), want);
  }
}

// Names no code page here can spell, and a key past the old 260-character
// limit: each is found, walked to and named as an argument, and shown in
// the OEM code page (437: none of these letters) with '?' for what it
// lacks, after which the run says once how to see such names whole; the
// hit file too, its command line included.  The long path is shortened as
// any other.
TEST(WideNames, NamesBeyondTheCodePageAndPathsBeyond260AreFound) {
  WINDOWS_TARGET_ONLY("the wide file calls");
  temp_tree t;
  const std::string cyrillic = "cyr/\xd0\xba\xd0\xbb\xd1\x8e\xd1\x87.pgp";  // ключ.pgp
  const std::string japanese = "jp/\xe6\x97\xa5\xe6\x9c\xac.pgp";            // 日本.pgp
  std::string deep = "deep";
  while (t.path(deep).size() < 300)
    deep += "/" + std::string(40, 'd');
  deep += "/KEY.PGP";
  for (const std::string &rel : {cyrillic, japanese, deep})
    t.write(rel, kKey);
  const std::string key = shown(t, deep), note = lost_names_note(437);
  const std::string cyrillic_hit = hit(shown(t, "cyr/????.pgp"), kPub);
  struct {
    std::vector<std::string> args;
    std::string hit, note;
  } rows[] = {
      {{arg_path(t, "cyr")}, cyrillic_hit, note},
      {{arg_path(t, cyrillic)}, cyrillic_hit, note},
      {{arg_path(t, "jp")}, hit(shown(t, "jp/??.pgp"), kPub), note},
      {{arg_path(t, japanese)}, hit(shown(t, "jp/??.pgp"), kPub), note},
      {{arg_path(t, "deep"), "-r", "-w", "400"}, hit(key, kPub, 400), ""},
      {{arg_path(t, deep), "-w", "400"}, hit(key, kPub, 400), ""},
      {{arg_path(t, "deep"), "-r"}, hit(key.substr(0, 2) + "\\...\\KEY.PGP", kPub), ""},
      {{arg_path(t, "deep"), "-r", "-W", "60"}, hit(key.substr(0, 49) + "...\\KEY.PGP", kPub, 60), ""},
  };
  run_options opt;
  opt.cwd = t.root();
  opt.env = {"LC_ALL=C.UTF-8"};  // the arguments reach Wine as UTF-8
  for (auto &r : rows) {
    r.args.push_back("-d");
    run_result res = run_kivor(r.args, opt);
    EXPECT_EQ(res.status, 0) << r.args[0];
    EXPECT_EQ(normalise(res.out), run_out(r.hit)) << r.args[0];
    EXPECT_EQ(normalise(res.err), run_err(r.note, 1, 1)) << r.args[0];
  }
  std::vector<std::string> args = {arg_path(t, cyrillic), "-d", "-o", "hits.txt"};
  run_kivor(args, opt);
  args[0] = shown(t, "cyr/????.pgp");
  EXPECT_EQ(normalise(t.read("hits.txt")), text_file(hit_file_run(args, cyrillic_hit)));
}

}  // namespace
