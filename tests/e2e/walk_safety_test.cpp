// What the walk never reads and what it never passes over in silence:
// pseudo file systems, subdirectories swapped for links while the walk runs,
// directories that cannot be listed and files that cannot be read.
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <sys/fanotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "expect.h"
#include "runner.h"

namespace {

const std::string kKey = std::string("\x99\x00\x8d", 3) + std::string(40, 'k');

// A second party that changes the tree while the program walks it, at the
// moments it chooses: the kernel holds the program's open (or read) of a
// marked object until the meddler has acted and answered.
class meddler {
 public:
  ~meddler() {
    if (thread_.joinable()) {
      char c = 0;
      (void)!write(stop_[1], &c, 1);
      thread_.join();
    }
    for (int fd : {fan_, stop_[0], stop_[1]})
      if (fd >= 0)
        close(fd);
  }

  // Holds opens (FAN_OPEN_PERM) or reads (FAN_ACCESS_PERM) of path; the
  // first runs act, and every one is refused when deny is set.  False when
  // the system offers no such events (no privilege, or not in this kernel).
  // With skip, the first skip events of path pass untouched.
  bool on(const std::string &path, uint64_t mask, bool deny, std::function<void()> act = {},
          int skip = 0) {
    struct stat st;
    if (fan_ < 0)
      fan_ = fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY);
    if (fan_ < 0 || stat(path.c_str(), &st) != 0 ||
        fanotify_mark(fan_, FAN_MARK_ADD, mask | (S_ISDIR(st.st_mode) ? FAN_ONDIR : 0), AT_FDCWD,
                      path.c_str()) != 0)
      return false;
    rules_.push_back({st.st_ino, deny, std::move(act), skip});
    return true;
  }

  void start() {
    ASSERT_EQ(pipe(stop_), 0);
    thread_ = std::thread([this] { serve(); });
  }

 private:
  struct rule {
    ino_t ino;
    bool deny;
    std::function<void()> act;  // emptied once run
    int skip;
  };

  void serve() {
    alignas(struct fanotify_event_metadata) char buf[4096];
    struct pollfd p[2] = {{fan_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
    while (poll(p, 2, -1) >= 0 && (p[1].revents & POLLIN) == 0) {
      ssize_t len = read(fan_, buf, sizeof buf);
      auto *md = (struct fanotify_event_metadata *)buf;
      for (; FAN_EVENT_OK(md, len); md = FAN_EVENT_NEXT(md, len)) {
        struct stat st;
        struct fanotify_response answer = {md->fd, FAN_ALLOW};
        for (rule &r : rules_) {
          if (fstat(md->fd, &st) != 0 || st.st_ino != r.ino || r.skip-- > 0)
            continue;
          if (r.act)
            std::exchange(r.act, nullptr)();
          if (r.deny)
            answer.response = FAN_DENY;
        }
        (void)!write(fan_, &answer, sizeof answer);
        close(md->fd);
      }
    }
  }

  int fan_ = -1;
  int stop_[2] = {-1, -1};
  std::vector<rule> rules_;
  std::thread thread_;
};

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
