// Output files: the standard streams at start-up, the hit file's open, and
// the identity of a file by stream or by name, through
// GetFileInformationByHandle.
#include "platform/platform.h"

#include <io.h>
#include <windows.h>

#include "platform/wide-win32.h"

void plat_open_standard_streams(void) {
  // Nothing to do: the C runtime keeps descriptors 0 to 2 for the standard
  // streams even without a standard handle (writes to them then fail), so a
  // file the run opens never takes their place.
}

FILE *plat_open_output(const char *path, int append) {
  return plat_fopen(path, append ? "a" : "w");
}

FILE *plat_fopen(const char *path, const char *mode) {
  wchar_t wide[WIDE_PATH_MAX], wide_mode[8];
  size_t i = 0;
  for (; mode[i] != '\0' && i + 1 < sizeof wide_mode / sizeof wide_mode[0]; i++)
    wide_mode[i] = (wchar_t)(unsigned char)mode[i];
  wide_mode[i] = 0;
  if (path == NULL || !wide_path(path, wide))
    return NULL;
  return _wfopen(wide, wide_mode);
}

static int handle_id(HANDLE h, struct plat_file_id *id) {
  BY_HANDLE_FILE_INFORMATION info;
  if (h == INVALID_HANDLE_VALUE || h == NULL || !GetFileInformationByHandle(h, &info))
    return 0;
  id->volume = info.dwVolumeSerialNumber;
  id->index = (uint64_t)info.nFileIndexHigh << 32 | info.nFileIndexLow;
  id->size = (int64_t)((uint64_t)info.nFileSizeHigh << 32 | info.nFileSizeLow);
  return 1;
}

int plat_stream_id(FILE *f, struct plat_file_id *id) {
  if (f == NULL)
    return 0;
  return handle_id((HANDLE)_get_osfhandle(_fileno(f)), id);
}

// No access asked for, only the attributes: opens a file others hold open
// for writing too; backup semantics let a directory open.
int plat_path_id(const char *path, struct plat_file_id *id) {
  wchar_t wide[WIDE_PATH_MAX];
  if (path == NULL || !wide_path(path, wide))
    return 0;
  HANDLE h = CreateFileW(wide, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
  if (h == INVALID_HANDLE_VALUE)
    return 0;
  int ok = handle_id(h, id);
  CloseHandle(h);
  return ok;
}
