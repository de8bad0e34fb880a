// File access: the file-name interpretation flag, and opening and reading a
// candidate file, through the Win32 file interface.
#include "platform/platform.h"

#include <errno.h>
#include <windows.h>

#include "platform/errors-win32.h"

int plat_file_apis_are_ansi(void) {
  return AreFileApisANSI() ? 1 : 0;
}

void plat_set_file_apis_ansi(void) {
  SetFileApisToANSI();
}

void plat_set_file_apis_oem(void) {
  SetFileApisToOEM();
}

static HANDLE to_win(plat_handle h) {
  return (HANDLE)h;
}

// The identity of the file plat_open_read opened last, read by the check
// it makes anyway, so that the hit file's self-test costs no call of its own.
static struct {
  HANDLE h;
  struct plat_file_id id;
} last_opened = {INVALID_HANDLE_VALUE, {0, 0}};

static void set_id(const BY_HANDLE_FILE_INFORMATION *info, struct plat_file_id *id) {
  id->volume = info->dwVolumeSerialNumber;
  id->index = (uint64_t)info->nFileIndexHigh << 32 | info->nFileIndexLow;
}

// CreateFileA with the arguments the scanner has always used: read access,
// others may read but not write, backup semantics, and the read-only,
// hidden and system attributes so that such files open like any other.
// What is opened must then be a file on disk: a name that reaches a
// device (CON, COM1, a pipe) or a directory (which backup semantics
// allow) is closed again and reported as not opened, since reading a
// console or a serial port would wait for input that never comes.
plat_handle plat_open_read(const char *path) {
  if (path == NULL)
    return PLAT_INVALID_HANDLE;
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_ATTRIBUTE_READONLY |
                             FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
                         NULL);
  if (h == INVALID_HANDLE_VALUE) {
    plat_set_errno_from_last_error();
    return PLAT_INVALID_HANDLE;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    CloseHandle(h);
    errno = EINVAL;
    return PLAT_INVALID_HANDLE;
  }
  last_opened.h = h;
  set_id(&info, &last_opened.id);
  return (plat_handle)h;
}

// GetFileInformationByHandle: dwVolumeSerialNumber and nFileIndexHigh/Low.
int plat_handle_id(plat_handle h, struct plat_file_id *id) {
  if (h == PLAT_INVALID_HANDLE)
    return 0;
  if (to_win(h) == last_opened.h) {
    *id = last_opened.id;
    return 1;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(to_win(h), &info))
    return 0;
  set_id(&info, id);
  return 1;
}

// Reached by path: the walk holds the directories of that path open.
plat_handle plat_open_read_in(plat_dir d, const char *path) {
  (void)d;
  return plat_open_read(path);
}

long plat_read(plat_handle h, void *buffer, size_t count) {
  if (h == PLAT_INVALID_HANDLE || buffer == NULL)
    return -1;
  // ReadFile takes a 32-bit count, and the result must fit a long (32 bits
  // on Windows): larger requests are cut, which a single read may do anyway.
  DWORD want = count > 0x7FFFFFFFu ? 0x7FFFFFFFu : (DWORD)count;
  DWORD got = 0;
  if (!ReadFile(to_win(h), buffer, want, &got, NULL)) {
    plat_set_errno_from_last_error();
    return -1;
  }
  return (long)got;
}

void plat_close(plat_handle h) {
  if (h == PLAT_INVALID_HANDLE)
    return;
  if (to_win(h) == last_opened.h)
    last_opened.h = INVALID_HANDLE_VALUE;
  CloseHandle(to_win(h));
}

int64_t plat_seek(plat_handle h, int64_t offset, int whence) {
  static const DWORD from[3] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
  if (h == PLAT_INVALID_HANDLE || whence < 0 || whence > 2)
    return -1;
  LARGE_INTEGER to, pos;
  to.QuadPart = offset;
  if (!SetFilePointerEx(to_win(h), to, &pos, from[whence]))
    return -1;
  return (int64_t)pos.QuadPart;
}
