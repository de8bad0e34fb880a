#include "pty_runner.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

long long now_ms() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

// The exit status as run_result reports it.
int status_of(int wait_status) {
  if (WIFEXITED(wait_status))
    return WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status))
    return 128 + WTERMSIG(wait_status);
  return -1;
}

// The program's state letter and the processor time it has used, from
// /proc; false once it has ended.
bool process_state(pid_t pid, char *state, unsigned long long *ticks) {
  char path[64];
  snprintf(path, sizeof path, "/proc/%d/stat", (int)pid);
  FILE *f = fopen(path, "r");
  if (f == nullptr)
    return false;
  char buf[1024];
  size_t n = fread(buf, 1, sizeof buf - 1, f);
  fclose(f);
  buf[n] = '\0';
  const char *p = strrchr(buf, ')');
  unsigned long long utime = 0, stime = 0;
  // state ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt utime stime
  if (p == nullptr ||
      sscanf(p + 1, " %c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", state, &utime,
             &stime) != 3)
    return false;
  *ticks = utime + stime;
  return *state != 'Z' && *state != 'X';
}

// A signal mask of the program's /proc status ("SigCgt", "SigPnd", ...),
// the bits of every line of that name; 0 once it has ended.
unsigned long long status_mask(pid_t pid, const char *field) {
  char path[64];
  snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
  FILE *f = fopen(path, "r");
  if (f == nullptr)
    return 0;
  char line[256];
  unsigned long long all = 0, mask;
  size_t len = strlen(field);
  while (fgets(line, sizeof line, f) != nullptr)
    if (strncmp(line, field, len) == 0 && line[len] == ':' && sscanf(line + len + 1, "%llx", &mask) == 1)
      all |= mask;
  fclose(f);
  return all;
}

bool has_signal(unsigned long long mask, int sig) {
  return ((mask >> (sig - 1)) & 1) != 0;
}

// The system call the program's main thread (the one that writes what is
// seen) waits in, and its first argument, from /proc/PID/syscall: 1 when
// it waits in one, 0 when it runs, -1 when the system does not tell.
int main_thread_call(pid_t pid, long *nr, unsigned long *arg0) {
  char path[64];
  snprintf(path, sizeof path, "/proc/%d/syscall", (int)pid);
  FILE *f = fopen(path, "r");
  if (f == nullptr)
    return -1;
  char buf[256];
  size_t n = fread(buf, 1, sizeof buf - 1, f);
  fclose(f);
  buf[n] = '\0';
  if (n == 0)
    return -1;  // not to be read here
  return sscanf(buf, "%ld 0x%lx", nr, arg0) == 2 && *nr >= 0 ? 1 : 0;  // else "running"
}

// 1 while the main thread waits in a write to standard output, 0 while it
// does something else, -1 when the system does not tell.
int writing_output(pid_t pid) {
  long nr;
  unsigned long fd;
  int waits = main_thread_call(pid, &nr, &fd);
  return waits <= 0 ? waits : (nr == SYS_write || nr == SYS_writev) && fd == 1;
}

}  // namespace

live_run::live_run(const std::vector<std::string> &args, const live_options &opt)
    : timeout_seconds_(opt.timeout_seconds) {
  std::vector<std::string> words = runner_words();
  words.push_back(opt.program.empty() ? kivor_binary() : opt.program);
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char *> argv;
  for (auto &w : words)
    argv.push_back(const_cast<char *>(w.c_str()));
  argv.push_back(nullptr);

  int out[2], err[2], report[2];
  if (pipe(err) != 0 || pipe(report) != 0)
    abort();
  if (opt.output_terminal) {
    out[0] = posix_openpt(O_RDWR | O_NOCTTY);
    if (out[0] < 0 || grantpt(out[0]) != 0 || unlockpt(out[0]) != 0)
      abort();
    out[1] = open(ptsname(out[0]), O_RDWR | O_NOCTTY);
    if (out[1] < 0)
      abort();
    struct termios modes;
    tcgetattr(out[1], &modes);
    cfmakeraw(&modes);
    tcsetattr(out[1], TCSANOW, &modes);
    struct winsize size = {(unsigned short)opt.rows, 80, 0, 0};
    if (opt.rows > 0)
      ioctl(out[1], TIOCSWINSZ, &size);
  } else {
    if (pipe(out) != 0)
      abort();
    if (opt.hold_output)
      fcntl(out[0], F_SETPIPE_SZ, 4096);
    int cap = fcntl(out[0], F_GETPIPE_SZ);
    out_capacity_ = cap > 0 ? (size_t)cap : 65536;
  }

  if (opt.terminal) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
      abort();
    slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
    if (slave_ < 0)
      abort();
    struct termios modes;
    tcgetattr(slave_, &modes);
    if (!opt.terminal_signals)
      modes.c_lflag &= ~(tcflag_t)ISIG;
    tcsetattr(slave_, TCSANOW, &modes);
  }

  // The program's side of the set-up; never returns.
  auto start_program = [&]() {
    default_signals();
    int in = slave_;
    if (in < 0)
      in = open("/dev/null", O_RDONLY);
    dup2(in, 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in, out[0], out[1], err[0], err[1], report[0], report[1], master_})
      if (fd > 2)
        close(fd);
    if (!opt.cwd.empty() && chdir(opt.cwd.c_str()) != 0)
      _exit(126);
    if (opt.in_child)
      opt.in_child();
    for (auto &e : opt.env)
      putenv(const_cast<char *>(e.c_str()));
    execvp(argv[0], argv.data());
    _exit(127);
  };

  child_ = fork();
  if (child_ < 0)
    abort();
  if (child_ == 0) {
    if (!opt.terminal)
      start_program();
    // A session leader that owns the terminal, like a shell, with the
    // program in a process group of its own in the terminal's foreground.
    // That group is not orphaned, so Ctrl-Z really stops it.
    setsid();
    ioctl(slave_, TIOCSCTTY, 0);
    pid_t k = fork();
    if (k == 0) {
      setpgid(0, 0);
      signal(SIGTTOU, SIG_IGN);
      tcsetpgrp(slave_, getpid());
      start_program();
    }
    setpgid(k, k);
    if (write(report[1], &k, sizeof k) != (ssize_t)sizeof k)
      _exit(125);
    for (int fd : {out[0], out[1], err[0], err[1], report[0], report[1], master_})
      close(fd);
    int st = 0;
    while (waitpid(k, &st, 0) < 0 && errno == EINTR) {
    }
    _exit(status_of(st));
  }

  if (opt.output_terminal)
    out_tty_ = out[1];  // kept to stop and restart the output; closed by finish
  else
    close(out[1]);
  close(err[1]);
  close(report[1]);
  pid_ = child_;
  if (opt.terminal && read(report[0], &pid_, sizeof pid_) != (ssize_t)sizeof pid_)
    ADD_FAILURE() << "the session leader did not report the program";
  close(report[0]);
  out_ = out[0];
  err_ = err[0];
}

live_run::~live_run() {
  if (!finished_) {
    kill(pid_, SIGKILL);
    finish();
  }
  for (int fd : {master_, slave_})
    if (fd >= 0)
      close(fd);
}

void live_run::type(const std::string &keys) {
  ASSERT_GE(master_, 0) << "no terminal";
  ASSERT_EQ(write(master_, keys.data(), keys.size()), (ssize_t)keys.size());
}

void live_run::send(int sig) {
  kill(pid_, sig);
}

bool live_run::terminal_modes(struct termios *modes) const {
  return slave_ >= 0 && tcgetattr(slave_, modes) == 0;
}

bool live_run::set_terminal_modes(const struct termios &modes) {
  return slave_ >= 0 && tcsetattr(slave_, TCSANOW, &modes) == 0;
}

bool live_run::terminal_is_usable() const {
  struct termios m;
  return terminal_modes(&m) && (m.c_lflag & ECHO) != 0 && (m.c_lflag & ICANON) != 0;
}

int live_run::typed_unread() const {
  // In line mode the count would leave out an unfinished line: look in
  // character mode, then put the settings back.
  struct termios m, raw;
  if (!terminal_modes(&m))
    return -1;
  raw = m;
  raw.c_lflag &= ~(tcflag_t)ICANON;
  tcsetattr(slave_, TCSANOW, &raw);
  int n = -1;
  ioctl(slave_, FIONREAD, &n);
  tcsetattr(slave_, TCSANOW, &m);
  return n;
}

// Reads what is there on the error stream and, when read_out, on standard
// output, waiting up to wait_ms for something to come.
void live_run::pump(int wait_ms, bool read_out) {
  struct pollfd fds[2] = {{err_, POLLIN, 0}, {read_out ? out_ : -1, POLLIN, 0}};
  std::string *sinks[2] = {&err_text_, &out_text_};
  if (poll(fds, 2, wait_ms) <= 0)
    return;
  drain_ready(fds, sinks, 2);
  err_ = fds[0].fd;
  if (read_out)
    out_ = fds[1].fd;
}

// The fact looked for is the program's main thread waiting in a write to
// standard output, seen three times in a row.  Where /proc does not show
// system calls, the older signs stand in: a pipe that stays full, or for a
// terminal (whose fill cannot be seen) a program asleep without using the
// processor for a whole second, which a main thread waiting on readers
// that get no processor time can also be (hence the wide margin).
bool live_run::wait_until_stalled() {
  long long deadline = now_ms() + 20000;
  int seen = 0, last = -1;
  long long since = now_ms();
  unsigned long long last_ticks = ~0ULL;
  while (now_ms() < deadline) {
    pump(10, false);
    int writing = writing_output(pid_);
    bool stalled;
    if (writing >= 0) {
      seen = writing ? seen + 1 : 0;
      stalled = seen >= 3;
    } else if (out_capacity_ == 0) {
      char state;
      unsigned long long ticks;
      if (!process_state(pid_, &state, &ticks))
        return false;
      if (state != 'S' || ticks != last_ticks) {
        last_ticks = ticks;
        since = now_ms();
      }
      stalled = now_ms() - since >= 1000;
    } else {
      int n = 0;
      if (out_ < 0 || ioctl(out_, FIONREAD, &n) != 0)
        return false;
      if (n != last) {
        last = n;
        since = now_ms();
      }
      stalled = (size_t)n + 512 >= out_capacity_ && now_ms() - since >= 200;
    }
    if (stalled) {
      // A terminal wakes its writer only when it is read; a signal would
      // let it on into room made meanwhile.  Stopping the output holds it.
      if (out_capacity_ == 0)
        tcflow(out_tty_, TCOOFF);
      return true;
    }
  }
  return false;
}

bool live_run::wait_for_err(const std::string &text) {
  long long deadline = now_ms() + timeout_seconds_ * 1000LL;
  while (err_text_.find(text) == std::string::npos) {
    if (err_ < 0 || now_ms() >= deadline)
      return false;
    pump(50, true);
  }
  return true;
}

bool live_run::wait_until(const std::function<bool()> &cond, int ms) {
  long long deadline = now_ms() + ms;
  while (!cond()) {
    if (now_ms() >= deadline)
      return false;
    usleep(5000);
  }
  return true;
}

bool live_run::stopped() const {
  char state;
  unsigned long long ticks;
  return process_state(pid_, &state, &ticks) && (state == 'T' || state == 't');
}

bool live_run::pending(int sig) const {
  return has_signal(status_mask(pid_, "SigPnd") | status_mask(pid_, "ShdPnd"), sig);
}

bool live_run::catches(int sig) const {
  return has_signal(status_mask(pid_, "SigCgt"), sig);
}

bool live_run::napping() const {
  long nr;
  unsigned long arg0;
  int waits = main_thread_call(pid_, &nr, &arg0);
  return waits < 0 || (waits == 1 && (nr == SYS_nanosleep || nr == SYS_clock_nanosleep));
}

run_result live_run::finish() {
  finished_ = true;
  if (out_tty_ >= 0) {
    tcflow(out_tty_, TCOON);
    close(out_tty_);  // the program's copy is then the last: its end ends the reads
    out_tty_ = -1;
  }
  long long deadline = now_ms() + timeout_seconds_ * 1000LL;
  while (out_ >= 0 || err_ >= 0) {
    if (now_ms() >= deadline) {
      kill(pid_, SIGKILL);
      kill(pid_, SIGCONT);
      ADD_FAILURE() << "program did not end within " << timeout_seconds_ << "s";
      deadline = now_ms() + 5000;
    }
    pump(100, true);
  }
  int st = 0;
  while (waitpid(child_, &st, 0) < 0 && errno == EINTR) {
  }
  return run_result{status_of(st), out_text_, err_text_};
}
