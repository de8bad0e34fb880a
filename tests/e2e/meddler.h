// A second party that changes the tree while the program walks it, or acts
// on the program itself, at the moments it chooses (Linux's fanotify).
#ifndef KIVOR_TESTS_E2E_MEDDLER_H_
#define KIVOR_TESTS_E2E_MEDDLER_H_

#include <fcntl.h>
#include <poll.h>
#include <sys/fanotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

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

#endif  // KIVOR_TESTS_E2E_MEDDLER_H_
