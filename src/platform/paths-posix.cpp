// Paths: the full-path resolution, the current directory, the program's
// own path, the directory test and path comparison.
#include "platform/platform.h"

#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

// Appends the components of path to the absolute path in buf (length *len,
// capacity PLAT_PATH_MAX), resolving "." and ".." and repeated separators
// without looking at the file system.  ".." at the root stays at the root.
// 0 when the result (or a step on the way to it) does not fit.
static int append_components(char *buf, size_t *len, const char *path) {
  const char *p = path;
  while (*p != '\0') {
    while (*p == PLAT_SEP)
      p++;
    const char *start = p;
    while (*p != '\0' && *p != PLAT_SEP)
      p++;
    size_t clen = (size_t)(p - start);
    if (clen == 0 || (clen == 1 && start[0] == '.'))
      continue;
    if (clen == 2 && start[0] == '.' && start[1] == '.') {
      while (*len > 1 && buf[*len - 1] != PLAT_SEP)
        (*len)--;
      if (*len > 1)
        (*len)--;  // the separator before the removed component
      buf[*len] = '\0';
      continue;
    }
    size_t need = (*len > 1 ? 1 : 0) + clen;
    if (*len + need >= PLAT_PATH_MAX)
      return 0;
    if (*len > 1)
      buf[(*len)++] = PLAT_SEP;
    memcpy(buf + *len, start, clen);
    *len += clen;
    buf[*len] = '\0';
  }
  return 1;
}

size_t plat_full_path(const char *path, char *out, size_t size) {
  if (path == NULL || out == NULL || size == 0)
    return 0;
  char buf[PLAT_PATH_MAX];
  size_t len = 1;
  buf[0] = PLAT_SEP;
  buf[1] = '\0';
  if (path[0] != PLAT_SEP) {
    char cwd[PLAT_PATH_MAX];
    if (plat_current_dir(cwd, sizeof cwd) == 0 || !append_components(buf, &len, cwd))
      return 0;
  }
  if (!append_components(buf, &len, path))
    return 0;
  size_t plen = strlen(path);
  if (plen > 0 && path[plen - 1] == PLAT_SEP && len > 1) {
    if (len + 1 >= PLAT_PATH_MAX)
      return 0;
    buf[len++] = PLAT_SEP;
    buf[len] = '\0';
  }
  if (len + 1 > size)
    return 0;
  memcpy(out, buf, len + 1);
  return len;
}

size_t plat_current_dir(char *out, size_t size) {
  if (out == NULL || size == 0 || getcwd(out, size) == NULL)
    return 0;
  if (out[0] != PLAT_SEP) {  // e.g. "(unreachable)" from an old C library
    out[0] = '\0';
    return 0;
  }
  return strlen(out);
}

size_t plat_program_path(const char *argv0, char *out, size_t size) {
  if (out == NULL || size == 0)
    return 0;
  ssize_t n = readlink("/proc/self/exe", out, size);
  if (n > 0 && (size_t)n < size && out[0] == PLAT_SEP) {
    out[n] = '\0';
    return (size_t)n;
  }
  // No /proc (or the path does not fit): fall back to argv[0].
  out[0] = '\0';
  if (argv0 == NULL || argv0[0] == '\0')
    return 0;
  return plat_full_path(argv0, out, size);
}

int plat_is_directory(const char *path) {
  struct stat st;
  if (stat(path, &st) != 0)
    return -1;
  return S_ISDIR(st.st_mode) ? 1 : 0;
}

int plat_path_compare(const char *a, const char *b) {
  return strcmp(a, b);
}
