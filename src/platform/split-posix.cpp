// _splitpath on POSIX: no drives, '/' the only separator.
#include "platform/platform.h"

#include <string.h>

// Copies len bytes of src into dst (size bytes), cut to fit, NUL-terminated.
static void copy_piece(char *dst, size_t size, const char *src, size_t len) {
  if (dst == NULL || size == 0)
    return;
  if (len >= size)
    len = size - 1;
  memcpy(dst, src, len);
  dst[len] = '\0';
}

void plat_split_path(const char *path, char *drive, char *dir, char *fname, char *ext,
                     size_t size) {
  if (path == NULL)
    path = "";
  const char *last_sep = strrchr(path, PLAT_SEP);
  const char *name = last_sep != NULL ? last_sep + 1 : path;
  const char *end = name + strlen(name);
  const char *dot = strrchr(name, '.');
  if (dot == NULL)
    dot = end;
  copy_piece(drive, size, "", 0);
  copy_piece(dir, size, path, (size_t)(name - path));
  copy_piece(fname, size, name, (size_t)(dot - name));
  copy_piece(ext, size, dot, (size_t)(end - dot));
}
