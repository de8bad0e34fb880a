// Paths: the full-path resolution, the current directory, the program's
// own path, the directory test and path comparison, through the Win32 and
// C runtime calls of the same names.
#include "platform/platform.h"

#include <string.h>
#include <sys/stat.h>
#include <windows.h>

#include "platform/ascii.h"

size_t plat_full_path(const char *path, char *out, size_t size) {
  if (path == NULL || out == NULL || size == 0)
    return 0;
  // GetFullPathNameA refuses the empty name; it stands for the current
  // directory, as it does for _fullpath.
  if (path[0] == '\0')
    return plat_current_dir(out, size);
  // Resolved into a buffer of the path limit first, so that a result that
  // is longer than the limit fails even when the caller's buffer is larger.
  // GetFullPathNameA returns the length without the terminator when the
  // result fits, the size it needs (terminator included) when it does not,
  // and 0 on error.
  char buf[PLAT_PATH_MAX];
  DWORD n = GetFullPathNameA(path, (DWORD)sizeof buf, buf, NULL);
  if (n == 0 || n >= sizeof buf || (size_t)n + 1 > size)
    return 0;
  memcpy(out, buf, (size_t)n + 1);
  return n;
}

size_t plat_current_dir(char *out, size_t size) {
  if (out == NULL || size == 0)
    return 0;
  DWORD cap = size > PLAT_PATH_MAX ? PLAT_PATH_MAX : (DWORD)size;
  DWORD n = GetCurrentDirectoryA(cap, out);
  if (n == 0 || n >= cap) {  // failed, or the size it would need
    out[0] = '\0';
    return 0;
  }
  return n;
}

size_t plat_program_path(const char *argv0, char *out, size_t size) {
  if (out == NULL || size == 0)
    return 0;
  DWORD cap = size > PLAT_PATH_MAX ? PLAT_PATH_MAX : (DWORD)size;
  // A path cut to fit comes back with the full count (and, on old systems,
  // without its terminator): only a count below the buffer size is whole.
  DWORD n = GetModuleFileNameA(NULL, out, cap);
  if (n > 0 && n < cap) {
    out[n] = '\0';
    return n;
  }
  out[0] = '\0';
  if (argv0 == NULL || argv0[0] == '\0')
    return 0;
  return plat_full_path(argv0, out, size);
}

// The C runtime's stat refuses a directory named with a trailing separator
// (C:\DATA\), though it takes a root (C:\).  Such a name is tried again
// without its trailing separators, so that a directory is one however it
// is written; a file named so is nothing.
int plat_is_directory(const char *path) {
  if (path == NULL)
    return -1;
  struct _stat64 st;
  if (_stat64(path, &st) != 0) {
    size_t len = strnlen(path, PLAT_PATH_MAX);
    if (len == 0 || len >= PLAT_PATH_MAX || (path[len - 1] != '\\' && path[len - 1] != '/'))
      return -1;
    char bare[PLAT_PATH_MAX];
    memcpy(bare, path, len);
    while (len > 1 && (bare[len - 1] == '\\' || bare[len - 1] == '/'))
      len--;
    bare[len] = '\0';
    if (bare[len - 1] == ':')
      return -1;  // "X:" would be drive X's current directory, not its root
    if (_stat64(bare, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFDIR)
      return -1;  // "file\" names nothing, as on POSIX
  }
  return (st.st_mode & _S_IFMT) == _S_IFDIR ? 1 : 0;
}

// _stricmp without the locale: only the ASCII letters are folded, so the
// result never depends on the C library's idea of the code page.
int plat_path_compare(const char *a, const char *b) {
  const unsigned char *x = (const unsigned char *)a, *y = (const unsigned char *)b;
  for (;; x++, y++) {
    unsigned cx = ascii_upper(*x), cy = ascii_upper(*y);
    if (cx != cy)
      return cx < cy ? -1 : 1;
    if (cx == 0)
      return 0;
  }
}
