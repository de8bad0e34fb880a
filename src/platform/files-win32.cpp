// File access: the file-name interpretation flag, and opening and reading a
// candidate file, through the Win32 file interface.
#include "platform/platform.h"

#include <windows.h>

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
  if (h == INVALID_HANDLE_VALUE)
    return PLAT_INVALID_HANDLE;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    CloseHandle(h);
    return PLAT_INVALID_HANDLE;
  }
  return (plat_handle)h;
}

long plat_read(plat_handle h, void *buffer, size_t count) {
  if (h == PLAT_INVALID_HANDLE || buffer == NULL)
    return -1;
  // ReadFile takes a 32-bit count, and the result must fit a long (32 bits
  // on Windows): larger requests are cut, which a single read may do anyway.
  DWORD want = count > 0x7FFFFFFFu ? 0x7FFFFFFFu : (DWORD)count;
  DWORD got = 0;
  if (!ReadFile(to_win(h), buffer, want, &got, NULL))
    return -1;
  return (long)got;
}

void plat_close(plat_handle h) {
  if (h != PLAT_INVALID_HANDLE)
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
