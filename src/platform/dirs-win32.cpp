// Open directories for the walk: each directory is held open, without
// delete sharing, while it is walked, so that it cannot be renamed away or
// replaced by a junction or link after it was listed; a subdirectory that
// is a reparse point is refused.  Entries are still reached by path: the
// held handles pin every directory of that path below the search directory.
#include "platform/platform.h"

#include <errno.h>
#include <windows.h>

#include "platform/errors-win32.h"
#include "platform/wide-win32.h"

void plat_set_errno_from_last_error(void) {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_NO_MORE_FILES:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
      errno = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      errno = EACCES;
      break;
    case ERROR_DIRECTORY:
      errno = ENOTDIR;
      break;
    case ERROR_NOT_ENOUGH_MEMORY:
      errno = ENOMEM;
      break;
    case ERROR_FILENAME_EXCED_RANGE:
      errno = ENAMETOOLONG;
      break;
    default:
      errno = EIO;
      break;
  }
}

static plat_dir open_dir(const char *path, DWORD flags, DWORD refused) {
  wchar_t wide[WIDE_PATH_MAX];
  if (!wide_path(path, wide))
    return PLAT_NO_DIR;
  HANDLE h = CreateFileW(wide, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, NULL);
  if (h == INVALID_HANDLE_VALUE) {
    plat_set_errno_from_last_error();
    return PLAT_NO_DIR;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (info.dwFileAttributes & refused) != 0) {
    CloseHandle(h);
    errno = ENOTDIR;
    return PLAT_NO_DIR;
  }
  return (plat_dir)h;
}

plat_dir plat_dir_open(const char *path) {
  return open_dir(path, 0, 0);
}

plat_dir plat_dir_open_sub(plat_dir parent, const char *path, const char *name) {
  (void)parent;
  (void)name;
  return open_dir(path, FILE_FLAG_OPEN_REPARSE_POINT, FILE_ATTRIBUTE_REPARSE_POINT);
}

void plat_dir_close(plat_dir d) {
  if (d != PLAT_NO_DIR)
    CloseHandle((HANDLE)d);
}

// A process may hold millions of handles: the walk never comes near.
int plat_descriptors_spare(void) {
  return 1 << 20;
}

int plat_dir_is_pseudo(plat_dir d) {
  (void)d;
  return 0;
}
