// File access: the file-name interpretation flag, and opening and reading a
// candidate file, through the Win32 file interface.
#include "platform/platform.h"

#include <errno.h>
#include <windows.h>

#include "platform/errors-win32.h"
#include "platform/wide-win32.h"

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

static void set_id(const BY_HANDLE_FILE_INFORMATION *info, struct plat_file_id *id) {
  id->volume = info->dwVolumeSerialNumber;
  id->index = (uint64_t)info->nFileIndexHigh << 32 | info->nFileIndexLow;
  id->size = (int64_t)((uint64_t)info->nFileSizeHigh << 32 | info->nFileSizeLow);
}

// CreateFileW with the arguments the scanner has always used: read access,
// others may read but not write, backup semantics, and the read-only,
// hidden and system attributes so that such files open like any other.
// What is opened must then be a file on disk: a name that reaches a
// device (CON, COM1, a pipe) or a directory (which backup semantics
// allow) is closed again and reported as not opened, since reading a
// console or a serial port would wait for input that never comes.
// id, when not NULL, receives the identity of the file opened.
static plat_handle open_read(const char *path, struct plat_file_id *id) {
  wchar_t wide[WIDE_PATH_MAX];
  if (path == NULL || !wide_path(path, wide))
    return PLAT_INVALID_HANDLE;
  HANDLE h = CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
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
  if (id != NULL)
    set_id(&info, id);
  return (plat_handle)h;
}

plat_handle plat_open_read(const char *path) {
  return open_read(path, NULL);
}

// Reached by path: the walk holds the directories of that path open.  The
// listing's knowledge of the type saves nothing here: the open checks it.
plat_handle plat_open_read_in(plat_dir d, const char *path, int regular,
                              struct plat_file_id *id) {
  (void)d;
  (void)regular;
  return open_read(path, id);
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
