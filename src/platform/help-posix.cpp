// The help file on POSIX: looked up beside the program and shown through a
// pager on a terminal, or copied to standard output otherwise.
#include "platform/platform.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// The data folder of an installed program, from the folder it runs in.
static const char share_dir[] = "../share/kivor/";

// out = dir (len bytes), share_dir when shared, file and ext; 0 unless that
// fits and names a regular file, else its length.
static size_t try_file(const char *dir, size_t len, bool shared, const char *file,
                       const char *ext, char *out, size_t size) {
  int n = snprintf(out, size, "%.*s%s%s%s", (int)len, dir, shared ? share_dir : "", file, ext);
  if (n < 0 || (size_t)n >= size)
    return 0;
  struct stat st;
  if (stat(out, &st) != 0 || !S_ISREG(st.st_mode))
    return 0;
  return (size_t)n;
}

size_t plat_search_file(const char *name, const char *ext, char *out, size_t size) {
  const char *last = strrchr(name, PLAT_SEP);
  const char *file = last != NULL ? last + 1 : name;
  size_t dir_len = (size_t)(file - name);
  if (strchr(file, '.') != NULL)
    ext = "";
  size_t n = try_file(name, dir_len, false, file, ext, out, size);
  if (n == 0 && last != NULL)
    n = try_file(name, dir_len, true, file, ext, out, size);
  if (n == 0 && size > 0)
    out[0] = '\0';
  return n;
}

// Copies the file to standard output.
static void copy_to_stdout(const char *path) {
  FILE *f = fopen(path, "rb");
  if (f == NULL)
    return;
  char buf[4096];
  size_t n;
  fflush(stdout);
  while ((n = fread(buf, 1, sizeof buf, f)) > 0)
    if (fwrite(buf, 1, n, stdout) != n)
      break;
  fflush(stdout);
  fclose(f);
}

// Runs one pager on the file and waits for it.  Returns 0 when the pager
// could not be started.  A command of the user's ($PAGER, which may carry
// options) is handed to the shell as its own argument, so the file name is
// never parsed by it, and the shell says when it is not found; the
// fallbacks are started directly, so that one not installed says nothing.
static int run_pager(const char *pager, const char *path, int by_shell) {
  pid_t pid = fork();
  if (pid < 0)
    return 0;
  if (pid == 0) {
    if (by_shell)
      execl("/bin/sh", "sh", "-c", "exec $0 \"$1\"", pager, path, (char *)NULL);
    else
      execlp(pager, pager, path, (char *)NULL);
    _exit(127);
  }
  int status;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR)
      return 1;
  return !(WIFEXITED(status) && WEXITSTATUS(status) == 127);
}

void plat_show_help(const char *path) {
  plat_console_restore();  // the pager needs the terminal as the user had it
  if (!isatty(STDOUT_FILENO)) {
    copy_to_stdout(path);
    return;
  }
  const char *pager = getenv("PAGER");
  if (pager != NULL && *pager != '\0' && run_pager(pager, path, 1))
    return;
  if (run_pager("less", path, 0) || run_pager("more", path, 0))
    return;
  copy_to_stdout(path);
}
