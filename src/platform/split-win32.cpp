// _splitpath on Windows: drive, directory, file name and extension.
#include "platform/platform.h"

#include <stdlib.h>
#include <string.h>

// Copies src into dst of size bytes, cut to fit; nothing when dst is NULL
// or has no room at all.
static void copy_cut(char *dst, size_t size, const char *src) {
  if (dst == NULL || size == 0)
    return;
  size_t len = strlen(src);
  if (len >= size)
    len = size - 1;
  memcpy(dst, src, len);
  dst[len] = '\0';
}

// The pieces come from _splitpath_s (which also knows the lead bytes of a
// multibyte code page) into buffers as large as the longest path the
// program handles, so that it never reports a piece too large (which would
// end the process through the invalid-parameter handler); then each piece
// is cut to the caller's buffer.  A path longer than that yields empty
// pieces.
void plat_split_path(const char *path, char *drive, char *dir, char *fname, char *ext,
                     size_t size) {
  enum { PIECE = 4 * PLAT_PATH_MAX };
  char d[PIECE], p[PIECE], f[PIECE], e[PIECE];
  d[0] = p[0] = f[0] = e[0] = '\0';
  if (path != NULL && strnlen(path, PIECE) < PIECE &&
      _splitpath_s(path, d, sizeof d, p, sizeof p, f, sizeof f, e, sizeof e) != 0)
    d[0] = p[0] = f[0] = e[0] = '\0';
  copy_cut(drive, size, d);
  copy_cut(dir, size, p);
  copy_cut(fname, size, f);
  copy_cut(ext, size, e);
}
