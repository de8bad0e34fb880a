// The help file: looked up with SearchPathA and shown with WinHelpA.
#include "platform/platform.h"

#include <windows.h>

size_t plat_search_file(const char *name, const char *ext, char *out, size_t size) {
  if (name == NULL || out == NULL || size == 0)
    return 0;
  DWORD cap = size > PLAT_PATH_MAX ? PLAT_PATH_MAX : (DWORD)size;
  // SearchPathA returns the length without the terminator when the path
  // fits, the size it needs when it does not, and 0 when nothing is found.
  DWORD n = SearchPathA(NULL, name, ext, cap, out, NULL);
  if (n == 0 || n >= cap) {
    out[0] = '\0';
    return 0;
  }
  // A directory of that name is no help file.
  DWORD attributes = GetFileAttributesA(out);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    out[0] = '\0';
    return 0;
  }
  return n;
}

void plat_show_help(const char *path) {
  if (path != NULL)
    WinHelpA(NULL, path, HELP_CONTENTS, 0);
}
