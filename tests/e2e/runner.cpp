#include "runner.h"

#include <dirent.h>
#include <errno.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

std::string kivor_binary() {
  const char *s = getenv("KIVOR_BINARY");
  return s != nullptr && *s != '\0' ? s : KIVOR_BINARY;
}

bool windows_target() {
  std::string b = kivor_binary();
  return b.size() > 4 && strcasecmp(b.c_str() + b.size() - 4, ".exe") == 0;
}

std::string corpus_dir() {
  std::string dir = corpus_root();
  char real[PATH_MAX];
  struct stat st;
  if (realpath(dir.c_str(), real) == nullptr || stat(real, &st) != 0 || !S_ISDIR(st.st_mode))
    return "";
  return real;  // as the program prints it: the current directory's real path
}

void default_signals() {
  for (int sig : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGTSTP, SIGTTIN, SIGTTOU, SIGCONT, SIGPIPE,
                  SIGCHLD})
    signal(sig, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
}

std::vector<std::string> runner_words() {
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

// A file for one of the program's streams, already unlinked: only the
// descriptor names it.
static int stream_file() {
  const char *base = getenv("TMPDIR");
  std::string name = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                     "/kivor-stream-XXXXXX";
  std::vector<char> buf(name.begin(), name.end());
  buf.push_back('\0');
  int fd = mkstemp(buf.data());
  if (fd < 0)
    abort();
  unlink(buf.data());
  return fd;
}

// Everything written to the file open as fd.
static std::string file_text(int fd) {
  std::string s;
  char buf[65536];
  ssize_t n;
  for (off_t at = 0; (n = pread(fd, buf, sizeof buf, at)) > 0; at += n)
    s.append(buf, (size_t)n);
  return s;
}

// A setting that marks the processes of one run: the program, and whatever
// it starts (a help viewer, say), which inherit it.
static std::string run_mark() {
  static unsigned runs = 0;
  return "KIVOR_TEST_RUN=" + std::to_string(getpid()) + "-" + std::to_string(++runs);
}

// Ends every process that carries mark in its environment: what a run left
// running after the program ended, which nobody waits for.
static void end_leftovers(const std::string &mark) {
  DIR *proc = opendir("/proc");
  if (proc == nullptr)
    return;
  while (struct dirent *e = readdir(proc)) {
    char *end;
    long pid = strtol(e->d_name, &end, 10);
    if (*end != '\0' || pid <= 0 || pid == (long)getpid())
      continue;
    FILE *f = fopen(("/proc/" + std::string(e->d_name) + "/environ").c_str(), "rb");
    if (f == nullptr)
      continue;
    std::string environ_text = read_stream(f);
    fclose(f);
    size_t at = environ_text.find(mark);
    if (at != std::string::npos && (at == 0 || environ_text[at - 1] == '\0') &&
        (at + mark.size() == environ_text.size() || environ_text[at + mark.size()] == '\0'))
      kill((pid_t)pid, SIGKILL);
  }
  closedir(proc);
}

// A text stream of the Windows build with LF line ends; every line end
// must have been CRLF.
static std::string from_crlf(const std::string &s, const char *stream) {
  std::string t;
  size_t bare = 0;
  for (size_t i = 0; i < s.size(); i++) {
    if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
      t += '\n';
      i++;
      continue;
    }
    if (s[i] == '\n' || s[i] == '\r')
      bare++;
    t += s[i];
  }
  if (bare != 0)
    ADD_FAILURE() << stream << ": " << bare << " line ends that are not CRLF in:\n" << s;
  return t;
}

static run_result run_once(const std::vector<std::string> &args, const run_options &opt);

run_result run_kivor(const std::vector<std::string> &args, const run_options &opt) {
  run_result r = run_once(args, opt);
  // Under Wine a start now and then fails before the program runs: it ends
  // at once with a status and not a byte on either stream, which the
  // program itself never does.  Such a start is tried again, twice at most.
  for (int again = 0; again < 2 && windows_target() && r.status != 0 && r.out.empty() && r.err.empty();
       again++)
    r = run_once(args, opt);
  return r;
}

static run_result run_once(const std::vector<std::string> &args, const run_options &opt) {
  std::vector<std::string> words = runner_words();
  words.push_back(opt.program.empty() ? kivor_binary() : opt.program);
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char *> argv;
  for (auto &w : words)
    argv.push_back(const_cast<char *>(w.c_str()));
  argv.push_back(nullptr);

  const bool to_files = windows_target();
  const std::string mark = to_files ? run_mark() : "";
  int in[2], out[2], err[2];
  if (pipe(in) != 0)
    abort();
  if (to_files) {
    out[0] = out[1] = stream_file();
    err[0] = err[1] = stream_file();
  } else if (pipe(out) != 0 || pipe(err) != 0) {
    abort();
  }
  pid_t pid = fork();
  if (pid == 0) {
    default_signals();
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
      if (fd > 2)
        close(fd);
    if (!opt.cwd.empty() && chdir(opt.cwd.c_str()) != 0)
      _exit(126);
    if (opt.in_child)
      opt.in_child();
    for (auto &e : opt.env)
      putenv(const_cast<char *>(e.c_str()));
    if (!mark.empty())
      putenv(const_cast<char *>(mark.c_str()));
    struct rlimit files = {(rlim_t)opt.open_files, (rlim_t)opt.open_files};
    if (opt.open_files > 0 && setrlimit(RLIMIT_NOFILE, &files) != 0)
      _exit(126);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(in[0]);
  if (!to_files) {
    close(out[1]);
    close(err[1]);
  }
  signal(SIGPIPE, SIG_IGN);  // the program may end without reading its input
  if (!opt.input.empty() && write(in[1], opt.input.data(), opt.input.size()) < 0) {
    // the program may have ended without reading; that is its business
  }
  close(in[1]);

  run_result r{-1, "", ""};
  time_t deadline = time(nullptr) + opt.timeout_seconds;
  int status = 0;
  if (to_files) {
    // The run is over when the program ends.
    pid_t done;
    while ((done = waitpid(pid, &status, WNOHANG)) == 0 && time(nullptr) < deadline)
      usleep(2000);
    if (done != pid) {
      kill(pid, SIGKILL);
      ADD_FAILURE() << "program did not end within " << opt.timeout_seconds << "s";
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }
    end_leftovers(mark);
    r.out = from_crlf(file_text(out[0]), "standard output");
    r.err = from_crlf(file_text(err[0]), "error stream");
    close(out[0]);
    close(err[0]);
  } else {
    struct pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string *sinks[2] = {&r.out, &r.err};
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
    struct rusage usage = {};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    r.peak_kb = usage.ru_maxrss;
  }
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return r;
}
