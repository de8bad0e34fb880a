#include "runner.h"

#include <errno.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

std::string kivor_binary() {
  const char *s = getenv("KIVOR_BINARY");
  return s != nullptr && *s != '\0' ? s : KIVOR_BINARY;
}

std::string corpus_dir() {
  const char *s = getenv("KIVOR_CORPUS");
  std::string dir = s != nullptr && *s != '\0' ? s : KIVOR_CORPUS;
  char real[PATH_MAX];
  struct stat st;
  if (realpath(dir.c_str(), real) == nullptr || stat(real, &st) != 0 || !S_ISDIR(st.st_mode))
    return "";
  return real;  // as the program prints it: the current directory's real path
}

// Splits KIVOR_RUNNER ("wine", say) into the words that lead the command.
static std::vector<std::string> runner_words() {
  std::vector<std::string> words;
  const char *s = getenv("KIVOR_RUNNER");
  std::string w;
  for (; s != nullptr && *s != '\0'; s++) {
    if (*s == ' ') {
      if (!w.empty())
        words.push_back(w);
      w.clear();
    } else {
      w += *s;
    }
  }
  if (!w.empty())
    words.push_back(w);
  return words;
}

int drain_ready(struct pollfd *fds, std::string *const *sinks, int count) {
  int closed = 0;
  for (int i = 0; i < count; i++) {
    if (fds[i].fd < 0 || fds[i].revents == 0)
      continue;
    char buf[65536];
    ssize_t n = read(fds[i].fd, buf, sizeof buf);
    if (n > 0) {
      sinks[i]->append(buf, (size_t)n);
    } else if (n == 0 || errno != EINTR) {
      close(fds[i].fd);
      fds[i].fd = -1;
      closed++;
    }
  }
  return closed;
}

run_result run_kivor(const std::vector<std::string> &args, const run_options &opt) {
  std::vector<std::string> words = runner_words();
  words.push_back(opt.program.empty() ? kivor_binary() : opt.program);
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char *> argv;
  for (auto &w : words)
    argv.push_back(const_cast<char *>(w.c_str()));
  argv.push_back(nullptr);

  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0)
    abort();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
      close(fd);
    if (!opt.cwd.empty() && chdir(opt.cwd.c_str()) != 0)
      _exit(126);
    for (auto &e : opt.env)
      putenv(const_cast<char *>(e.c_str()));
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  signal(SIGPIPE, SIG_IGN);
  if (!opt.input.empty() && write(in[1], opt.input.data(), opt.input.size()) < 0) {
    // the program may have ended without reading; that is its business
  }
  close(in[1]);

  run_result r{-1, "", ""};
  struct pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string *sinks[2] = {&r.out, &r.err};
  time_t deadline = time(nullptr) + opt.timeout_seconds;
  int open_fds = 2;
  while (open_fds > 0) {
    int left = (int)(deadline - time(nullptr));
    if (left <= 0) {
      kill(pid, SIGKILL);
      ADD_FAILURE() << "program did not end within " << opt.timeout_seconds << "s";
      break;
    }
    if (poll(fds, 2, left * 1000) > 0)
      open_fds -= drain_ready(fds, sinks, 2);
  }
  for (auto &f : fds)
    if (f.fd >= 0)
      close(f.fd);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return r;
}

