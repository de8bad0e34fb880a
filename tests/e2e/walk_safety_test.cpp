// What the walk never reads and what it never passes over in silence:
// pseudo file systems, subdirectories swapped for links while the walk runs,
// directories that cannot be listed and files that cannot be read.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/fanotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expect.h"
#include "meddler.h"
#include "runner.h"

namespace {

const std::string kKey = std::string("\x99\x00\x8d", 3) + std::string(40, 'k');

// As root, reading /proc/kmsg takes messages from the kernel's log.  No
// file of a pseudo file system is read: not below a search directory there,
// and not through a link in the tree.
TEST(WalkSafety, PseudoFileSystemsAreSkippedAndSaid) {
  POSIX_TARGET_ONLY("pseudo file systems are Linux's");
  temp_tree t;
  t.write("k.pgp", kKey);
  t.symlink("/proc/version", "version");
  run_result r = run_kivor({arg_path(t, ""), "/proc", "-r"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(hit(shown(t, "k.pgp"), "public key certificate")));
  EXPECT_EQ(normalise(r.err),
            run_err(dir_line(t, "") + "couldn't open " + shown(t, "version") + "\n" +
                        "not a disk file system, skipped: /proc/\n",
                    2, 1));
}

// The same for a file of /proc bound over an entry of a disk tree (as root):
// it is refused before anything is read from it, as a link to it is.
TEST(WalkSafety, PseudoFileBoundIntoTheTreeIsNotRead) {
  POSIX_TARGET_ONLY("bind mounts are Linux's");
  temp_tree t;
  t.write("k.pgp", kKey);
  t.write("VERSION.TXT", "");
  struct bound {
    std::string at;
    int err;
    explicit bound(const std::string &on)
        : at(on), err(mount("/proc/version", on.c_str(), nullptr, MS_BIND, nullptr) ? errno : 0) {}
    ~bound() {
      if (err == 0)
        umount2(at.c_str(), MNT_DETACH);
    }
  } b(t.path("VERSION.TXT"));
  if (b.err != 0)
    GTEST_SKIP() << "bind mount refused (needs root): " << strerror(b.err);
  run_result r = run_kivor({arg_path(t, "")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(hit(shown(t, "k.pgp"), "public key certificate")));
  EXPECT_EQ(normalise(r.err),
            run_err(dir_line(t, "") + "couldn't open " + shown(t, "VERSION.TXT") + "\n", 2, 1));
}

// Reading a listing or a file sets its access time; the walk leaves them
// as they were (O_NOATIME, allowed to the owner: the test made the tree).
TEST(WalkSafety, AccessTimesAreLeftAlone) {
  POSIX_TARGET_ONLY("O_NOATIME is Linux's");
  temp_tree t;
  t.write("a/b/k.pgp", kKey);
  t.mkdir("probe");
  const struct timespec old[2] = {{1000000000, 0}, {0, UTIME_OMIT}};
  auto atime = [&](const std::string &rel) {
    struct stat st;
    return stat(t.path(rel).c_str(), &st) == 0 ? st.st_atim.tv_sec : -1;
  };
  // probe tells whether this file system keeps access times at all.
  const char *rels[] = {"probe", "", "a", "a/b", "a/b/k.pgp"};
  for (const char *rel : rels)
    ASSERT_EQ(utimensat(AT_FDCWD, t.path(rel).c_str(), old, 0), 0) << rel;
  int fd = open(t.path("probe").c_str(), O_RDONLY | O_DIRECTORY);
  char dents[4096];
  (void)!syscall(SYS_getdents64, fd, dents, sizeof dents);
  close(fd);
  if (atime("probe") == old[0].tv_sec)
    GTEST_SKIP() << "this file system keeps no access times (noatime)";
  run_result r = run_kivor({arg_path(t, ""), "-r", "-d"});
  EXPECT_EQ(r.status, 0);
  for (size_t i = 1; i < sizeof rels / sizeof rels[0]; i++)
    EXPECT_EQ(atime(rels[i]), old[0].tv_sec) << "'" << rels[i] << "'";
}

// While the program is in in/a, another process swaps in/b for a link to a
// directory outside the tree, removes in/c and refuses the opening of in/d;
// a read of in/k.pgp fails.  The link is not followed, and every gap is
// named with the system's reason; the run still ends with status 0.
TEST(WalkSafety, ChangesDuringTheWalkAreNeitherFollowedNorSilent) {
  POSIX_TARGET_ONLY("the tree is changed through Linux's fanotify");
  temp_tree t;
  t.write("outside/secret.pgp", kKey);
  for (const char *d : {"in/a", "in/b", "in/c", "in/d"})
    t.mkdir(d);
  t.write("in/k.pgp", kKey);
  meddler m;
  auto swap = [&] {
    rename(t.path("in/b").c_str(), t.path("old-b").c_str());
    symlink("../outside", t.path("in/b").c_str());
    rmdir(t.path("in/c").c_str());
  };
  if (!m.on(t.path("in/a"), FAN_OPEN_PERM, false, swap) ||
      !m.on(t.path("in/d"), FAN_OPEN_PERM, true) ||
      !m.on(t.path("in/k.pgp"), FAN_ACCESS_PERM, true))
    GTEST_SKIP() << "no fanotify permission events here (needs root)";
  m.start();

  run_result r = run_kivor({arg_path(t, "in"), "-r"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(""));
  auto gap = [&](const std::string &what, const std::string &rel, const char *reason) {
    return what + shown(t, rel) + (what == "couldn't list " ? sep() : "") + ": " + reason + "\n";
  };
  EXPECT_EQ(normalise(r.err),
            run_err(dir_line(t, "in/a") +
                        gap("couldn't list ", "in/b", "Not a directory") +
                        gap("couldn't list ", "in/c", "No such file or directory") +
                        gap("couldn't list ", "in/d", "Operation not permitted") +
                        dir_line(t, "in") + gap("couldn't read ", "in/k.pgp", "Operation not permitted"),
                    1, 0));
}

// Files changed after the listing was read and before they are opened
// (the listing's last read, the one that finds its end, sets the meddler
// off): whether files are read ahead or one at a time (both runs of this
// test), each is counted, named and judged as the one-at-a-time examination
// finds it at its open.
TEST(WalkSafety, FilesChangedBetweenListingAndOpenAreJudgedAsFound) {
  POSIX_TARGET_ONLY("the tree is changed through Linux's fanotify");
  temp_tree t;
  struct change {
    const char *name, *before;
    std::function<void(const std::string &)> act;
  };
  const change changes[] = {
      {"a-gone.pgp", "", [](const std::string &p) { unlink(p.c_str()); }},  // not counted
      {"b-fifo.pgp", "", [](const std::string &p) { unlink(p.c_str()), mkfifo(p.c_str(), 0600); }},
      {"c-grown.pgp", "",
       [](const std::string &p) {
         int fd = open(p.c_str(), O_WRONLY | O_APPEND);
         (void)!write(fd, kKey.data(), kKey.size()), close(fd);
       }},
      {"d-shrunk.pgp", "key", [](const std::string &p) { (void)!truncate(p.c_str(), 3); }},
      {"e-linked.pgp", "",
       [&](const std::string &p) { unlink(p.c_str()), symlink(t.path("key").c_str(), p.c_str()); }},
  };
  t.write("key", kKey);
  t.mkdir("in");
  for (const change &c : changes)
    t.write(std::string("in/") + c.name, std::string(c.before) == "key" ? kKey : "");
  meddler m;
  auto act = [&] {
    for (const change &c : changes)
      c.act(t.path(std::string("in/") + c.name));
  };
  if (!m.on(t.path("in"), FAN_ACCESS_PERM, false, act, 1))
    GTEST_SKIP() << "no fanotify permission events here (needs root)";
  m.start();

  run_result r = run_kivor({arg_path(t, "in")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(hit(shown(t, "in/c-grown.pgp"), "public key certificate") +
                                      hit(shown(t, "in/e-linked.pgp"), "public key certificate")));
  EXPECT_EQ(normalise(r.err),
            run_err(dir_line(t, "in") + "couldn't open " + shown(t, "in/b-fifo.pgp") + "\n", 4, 2));
}

}  // namespace
