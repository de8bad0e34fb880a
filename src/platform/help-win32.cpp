// The help file: looked up with SearchPathW and shown in the console a
// screen at a time (WinHelp is gone from today's Windows), or copied to
// standard output when that is no console.
#include "platform/platform.h"

#include <conio.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "platform/pager.h"
#include "platform/wide-win32.h"

size_t plat_search_file(const char *name, const char *ext, char *out, size_t size) {
  if (name == NULL || out == NULL || size == 0)
    return 0;
  out[0] = '\0';
  // The extension is added here: given one, SearchPath first tries a name
  // with a folder as it is, so a file named like the program without its
  // extension would be taken.
  char wanted[PLAT_PATH_MAX];
  const char *last = strrchr(name, PLAT_SEP);
  bool has_ext = strchr(last != NULL ? last : name, '.') != NULL;
  int len = snprintf(wanted, sizeof wanted, "%s%s", name, has_ext || ext == NULL ? "" : ext);
  if (len < 0 || (size_t)len >= sizeof wanted)
    return 0;
  wchar_t wide_name[WIDE_PATH_MAX], found[WIDE_PATH_MAX];
  if (wide_from_utf8(wanted, wide_name, WIDE_PATH_MAX) < 0)
    return 0;
  // SearchPathW returns the length without the terminator when the path
  // fits, the size it needs when it does not, and 0 when nothing is found.
  DWORD n = SearchPathW(NULL, wide_name, NULL, WIDE_PATH_MAX, found, NULL);
  if (n == 0 || n >= WIDE_PATH_MAX)
    return 0;
  // A directory of that name is no help file.
  DWORD attributes = GetFileAttributesW(found);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return 0;
  return path_from_wide(found, n, out, size);
}

static int is_console(DWORD which) {
  DWORD mode;
  HANDLE h = GetStdHandle(which);
  return h != NULL && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode);
}

// A key for the pager.  A function or arrow key comes from the console as
// two codes, 0 or 0xE0 and its own: both are taken, so it counts once.
static int pager_key(void) {
  int c = plat_raw_key();
  if ((c == 0 || c == 0xE0) && is_console(STD_INPUT_HANDLE))
    (void)_getch();
  return c;
}

void plat_show_help(const char *path) {
  if (path == NULL)
    return;
  // Text mode both ways: the file's line ends, LF or CRLF, reach the
  // stream as CRLF.
  FILE *f = plat_fopen(path, "r");
  if (f == NULL)
    return;
  fflush(stdout);
  if (!is_console(STD_OUTPUT_HANDLE)) {
    int c;
    while ((c = getc(f)) != EOF)
      if (putc(c, stdout) == EOF)
        break;
  } else {
    CONSOLE_SCREEN_BUFFER_INFO info;
    int rows = 0, cols = 0;  // unknown: the pager's defaults
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) {
      rows = info.srWindow.Bottom - info.srWindow.Top + 1;
      cols = info.dwSize.X;
    }
    page_text(f, stdout, rows, cols, pager_key);
  }
  fflush(stdout);
  fclose(f);
}
