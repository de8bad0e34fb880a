// A plain run as a user starts it: no arguments, the current directory.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "expect.h"
#include "runner.h"

namespace {

const std::string kPublicKey = std::string("\x99\x00\x8d", 3) + std::string(40, 'k');
const std::string kArmour = "-----BEGIN PGP MESSAGE-----\nhQEMA\n-----END PGP MESSAGE-----\n";

TEST(Scan, NoArgumentsScansTheCurrentDirectoryOnly) {
  temp_tree t;
  t.write("b.asc", kArmour);
  t.write("A.PGP", kPublicKey);
  t.write("_last", kPublicKey);
  t.write("notes.txt", "nothing to see here\n");
  t.write("sub/deep.pgp", kPublicKey);

  run_options opt;
  opt.cwd = t.root();
  run_result r = run_kivor({}, opt);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(hit(shown(t, "A.PGP"), "public key certificate") +
                                      hit(shown(t, "b.asc"), "possible ascii armor") +
                                      hit(shown(t, "_last"), "public key certificate")));
  EXPECT_EQ(normalise(r.err), run_err(dir_line(t, ""), 4, 3));
}

TEST(Scan, EmptyDirectoryStillEndsNormally) {
  temp_tree t;
  run_options opt;
  opt.cwd = t.root();
  run_result r = run_kivor({}, opt);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(""));
  EXPECT_EQ(normalise(r.err), run_err(dir_line(t, ""), 0, 0));
}

// Entries that cannot be read, odd names and short files: the run goes on,
// says "couldn't open" where an open fails, and changes nothing.  On POSIX
// also FIFOs, sockets, links, names with wildcards, a line end or a byte
// that is no character, and an access time that a read would move.
TEST(Scan, AwkwardEntriesNeitherStopNorChangeTheRun) {
  temp_tree t;
  const bool posix = !windows_target();
  t.write("blank name.pgp", kPublicKey);
  t.write("empty", "");
  t.write("nine", kPublicKey.substr(0, 9));
  t.mkdir("dir.pgp");
  t.write("A.key", kPublicKey);
  if (posix) {
    t.write("star*name", kPublicKey);
    t.write("what?", kPublicKey);
    t.write("caf\xe9.pgp", kPublicKey);
    t.write("new\nline", kPublicKey);
    t.mkfifo("fifo");
    t.symlink("nowhere", "dangling");
    t.symlink("A.key", "link-to-key");
    int s = socket(AF_UNIX, SOCK_STREAM, 0);
    struct sockaddr_un a = {};
    a.sun_family = AF_UNIX;
    std::string p = t.path("sock");
    ASSERT_LT(p.size(), sizeof a.sun_path);
    p.copy(a.sun_path, p.size());
    ASSERT_EQ(bind(s, (struct sockaddr *)&a, sizeof a), 0);
    close(s);
    // An old access time that a read would move forward.
    struct timespec old[2] = {{1000000, 0}, {1000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, t.path("A.key").c_str(), old, 0), 0);
  }

  run_options opt;
  opt.cwd = t.root();
  run_result r = run_kivor({}, opt);
  EXPECT_EQ(r.status, 0);
  const char *key = "public key certificate";
  if (posix) {
    EXPECT_EQ(normalise(r.out),
              run_out(hit(shown(t, "A.key"), key) + hit(shown(t, "blank name.pgp"), key) +
                      hit(shown(t, "caf\xe9.pgp"), key) + hit(shown(t, "link-to-key"), key) +
                      hit(shown(t, "new?line"), key) + hit(shown(t, "star*name"), key) +
                      hit(shown(t, "what?"), key)));
    EXPECT_EQ(normalise(r.err),
              run_err(dir_line(t, "") + "couldn't open " + shown(t, "dangling") + "\n" +
                      "couldn't open " + shown(t, "fifo") + "\n" + "couldn't open " +
                      shown(t, "sock") + "\n",
                      12, 7));
    struct stat st;
    ASSERT_EQ(stat(t.path("A.key").c_str(), &st), 0);
    EXPECT_EQ(st.st_atim.tv_sec, 1000000);
  } else {
    EXPECT_EQ(normalise(r.out), run_out(hit(shown(t, "A.key"), key) +
                                        hit(shown(t, "blank name.pgp"), key)));
    EXPECT_EQ(normalise(r.err), run_err(dir_line(t, ""), 4, 2));
  }
  EXPECT_EQ(t.read("A.key"), kPublicKey);
}

}  // namespace
