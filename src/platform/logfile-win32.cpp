// Accounting file access: the handle through which the file is cleaned
// before it is opened for appending, through CreateFileW, GetFileSizeEx,
// SetFilePointer and SetEndOfFile.
#include "platform/platform.h"

#include <windows.h>

#include "platform/wide-win32.h"

static HANDLE to_win(plat_handle h) {
  return (HANDLE)h;
}

// Read and write access; others may read the file meanwhile but not write
// it.  Without backup semantics a directory does not open.
static plat_handle open_rw(const char *path, DWORD disposition) {
  wchar_t wide[WIDE_PATH_MAX];
  if (path == NULL || !wide_path(path, wide))
    return PLAT_INVALID_HANDLE;
  HANDLE h = CreateFileW(wide, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, disposition,
                         FILE_ATTRIBUTE_NORMAL, NULL);
  return h == INVALID_HANDLE_VALUE ? PLAT_INVALID_HANDLE : (plat_handle)h;
}

plat_handle plat_open_rw_existing(const char *path) {
  return open_rw(path, OPEN_EXISTING);
}

plat_handle plat_create_new(const char *path) {
  return open_rw(path, CREATE_NEW);
}

// Only a file on disk has a size to cut at: a name that reached a device
// (CON, NUL, a serial port) or a pipe says -1, and is left alone.
int64_t plat_file_size(plat_handle h) {
  if (h == PLAT_INVALID_HANDLE || GetFileType(to_win(h)) != FILE_TYPE_DISK)
    return -1;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(to_win(h), &size) || size.QuadPart < 0)
    return -1;
  return (int64_t)size.QuadPart;
}

bool plat_file_mtime(plat_handle h, int64_t *seconds) {
  FILETIME written;
  if (h == PLAT_INVALID_HANDLE || !GetFileTime(to_win(h), NULL, NULL, &written))
    return false;
  // 100-nanosecond ticks since 1601; 1970 is 11,644,473,600 seconds on.
  uint64_t ticks = (uint64_t)written.dwHighDateTime << 32 | written.dwLowDateTime;
  *seconds = (int64_t)(ticks / 10000000u) - INT64_C(11644473600);
  return true;
}

int plat_truncate(plat_handle h, int64_t offset) {
  if (h == PLAT_INVALID_HANDLE || offset < 0)
    return -1;
  // SetFilePointer takes the offset in two halves; its failure value is
  // also a valid low half, so the error code decides.
  LONG high = (LONG)(offset >> 32);
  SetLastError(NO_ERROR);
  DWORD low = SetFilePointer(to_win(h), (LONG)(offset & 0xFFFFFFFF), &high, FILE_BEGIN);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
    return -1;
  return SetEndOfFile(to_win(h)) ? 0 : -1;
}
