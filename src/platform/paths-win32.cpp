// Paths: the full-path resolution, the current directory, the program's
// own path, the directory test and path comparison, through the wide
// Win32 calls of the same names.
#include "platform/platform.h"

#include <errno.h>
#include <string.h>
#include <windows.h>

#include "platform/ascii.h"
#include "platform/errors-win32.h"
#include "platform/wide-win32.h"

size_t plat_full_path(const char *path, char *out, size_t size) {
  if (path == NULL || out == NULL || size == 0)
    return 0;
  // GetFullPathNameW refuses the empty name; it stands for the current
  // directory, as it does for _fullpath.
  if (path[0] == '\0')
    return plat_current_dir(out, size);
  // GetFullPathNameW returns the length without the terminator when the
  // result fits, the size it needs (terminator included) when it does not,
  // and 0 on error.  The result is held to the path limit whatever the
  // caller's buffer.
  wchar_t wide[WIDE_PATH_MAX], full[WIDE_PATH_MAX];
  if (wide_from_utf8(path, wide, WIDE_PATH_MAX) < 0)
    return 0;
  DWORD n = GetFullPathNameW(wide, WIDE_PATH_MAX, full, NULL);
  if (n == 0 || n >= WIDE_PATH_MAX)
    return 0;
  return path_from_wide(full, n, out, size);
}

size_t plat_current_dir(char *out, size_t size) {
  if (out == NULL || size == 0)
    return 0;
  wchar_t wide[WIDE_PATH_MAX];
  DWORD n = GetCurrentDirectoryW(WIDE_PATH_MAX, wide);
  if (n == 0 || n >= WIDE_PATH_MAX) {  // failed, or the size it would need
    out[0] = '\0';
    return 0;
  }
  return path_from_wide(wide, n, out, size);
}

size_t plat_program_path(const char *argv0, char *out, size_t size) {
  if (out == NULL || size == 0)
    return 0;
  // A path cut to fit comes back with the full count (and, on old systems,
  // without its terminator): only a count below the buffer size is whole.
  wchar_t wide[WIDE_PATH_MAX];
  DWORD n = GetModuleFileNameW(NULL, wide, WIDE_PATH_MAX);
  size_t len = n > 0 && n < WIDE_PATH_MAX ? path_from_wide(wide, n, out, size) : 0;
  if (len > 0)
    return len;
  out[0] = '\0';
  if (argv0 == NULL || argv0[0] == '\0')
    return 0;
  return plat_full_path(argv0, out, size);
}

// The attributes of what path names, a link followed to its target (as
// stat does); INVALID_FILE_ATTRIBUTES, errno set, when they cannot be read.
static DWORD target_attributes(const wchar_t *path) {
  DWORD attributes = GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES)
    plat_set_errno_from_last_error();
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
    return attributes;
  HANDLE h = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
  BY_HANDLE_FILE_INFORMATION info;
  attributes = h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, &info)
                   ? info.dwFileAttributes
                   : INVALID_FILE_ATTRIBUTES;
  if (attributes == INVALID_FILE_ATTRIBUTES)
    plat_set_errno_from_last_error();
  if (h != INVALID_HANDLE_VALUE)
    CloseHandle(h);
  return attributes;
}

// A name with a trailing separator (C:\DATA\) is a directory or nothing
// ("file\" names nothing, as on POSIX); the separators are dropped before
// the look, but a root keeps its own (C:\, and "X:" alone would be drive
// X's current directory).
int plat_is_directory(const char *path) {
  if (path == NULL)
    return -1;
  size_t len = strnlen(path, PLAT_PATH_MAX);
  errno = len == 0 ? ENOENT : ENAMETOOLONG;
  if (len == 0 || len >= PLAT_PATH_MAX)
    return -1;
  char bare[PLAT_PATH_MAX];
  memcpy(bare, path, len + 1);
  bool trailing = false;
  while (len > 1 && (bare[len - 1] == '\\' || bare[len - 1] == '/') && bare[len - 2] != ':') {
    trailing = true;
    bare[--len] = '\0';
  }
  wchar_t wide[WIDE_PATH_MAX];
  if (!wide_path(bare, wide))
    return -1;
  DWORD attributes = target_attributes(wide);
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return -1;
  bool dir = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (trailing && !dir) {
    errno = ENOENT;  // "file\" names nothing
    return -1;
  }
  return dir ? 1 : 0;
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
