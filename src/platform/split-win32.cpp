// _splitpath on Windows: drive, directory, file name and extension.
#include "platform/platform.h"

#include <stdio.h>
#include <string.h>

// The len bytes at src into dst (size bytes), cut to fit; nothing when dst
// is NULL or has no room at all.
static void piece(char *dst, size_t size, const char *src, size_t len) {
  if (dst != NULL && size > 0)
    snprintf(dst, size, "%.*s", (int)len, src);
}

// Split by bytes, as _splitpath does in a single-byte code page: names are
// UTF-8, whose bytes of a character are never a separator, a colon or a
// dot.  '\' and '/' both separate.  A path longer than any the program
// forms (four times the path limit) yields empty pieces.
void plat_split_path(const char *path, char *drive, char *dir, char *fname, char *ext,
                     size_t size) {
  if (path == NULL || strnlen(path, 4 * PLAT_PATH_MAX) >= 4 * PLAT_PATH_MAX)
    path = "";
  const char *after_drive = path[0] != '\0' && path[1] == ':' ? path + 2 : path;
  const char *name = after_drive;
  for (const char *p = after_drive; *p != '\0'; p++)
    if (*p == '\\' || *p == '/')
      name = p + 1;
  const char *end = name + strlen(name);
  const char *dot = strrchr(name, '.');
  if (dot == NULL)
    dot = end;
  piece(drive, size, path, (size_t)(after_drive - path));
  piece(dir, size, after_drive, (size_t)(name - after_drive));
  piece(fname, size, name, (size_t)(dot - name));
  piece(ext, size, dot, (size_t)(end - dot));
}
