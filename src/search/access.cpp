// Opening, reading and finding candidates under the two interpretations of
// 8-bit file names.
#include "search/access.h"

#include <errno.h>
#include <string.h>

#include <mutex>
#include <shared_mutex>

#include "run/globals.h"

// Held shared by whatever only reads the interpretation, alone by whatever
// changes it.
static std::shared_mutex names_lock;

plat_handle open_for_reading(plat_dir dir, const char *path, int regular,
                             struct plat_file_id *id) {
  std::shared_lock<std::shared_mutex> shared(names_lock);
  if (!plat_file_apis_are_ansi())
    return PLAT_INVALID_HANDLE;
  return plat_open_read_in(dir, path, regular, id);  // on success the mode stays ANSI
}

plat_handle open_for_reading_again(plat_dir dir, const char *path, struct plat_file_id *id) {
  std::lock_guard<std::shared_mutex> alone(names_lock);
  if (!plat_file_apis_are_ansi() && plat_name_reads_alike(path)) {
    plat_set_file_apis_ansi();
    plat_handle h = plat_open_read_in(dir, path, 0, id);
    if (h != PLAT_INVALID_HANDLE)
      return h;
    plat_set_file_apis_oem();
  }
  // Names are found whatever the interpretation: the ANSI one, once it
  // holds, is never left again, so no name is ever shown in a passing OEM.
  return plat_open_read_in(dir, path, 0, id);
}

void names_lock_shared(void) {
  names_lock.lock_shared();
}

void names_unlock_shared(void) {
  names_lock.unlock_shared();
}

long read_bytes(plat_handle h, void *buffer, size_t count) {
  return plat_read(h, buffer, count);
}

bool candidate_exists(plat_dir dir, const char *path) {
  struct plat_find_data fd;
  {
    std::shared_lock<std::shared_mutex> shared(names_lock);
    struct plat_find *h = plat_find_lookup(dir, path, &fd);
    if (h != NULL) {
      plat_find_close(h);
      return true;
    }
    if (errno != ENOENT)
      return true;  // not looked at (no descriptor, say): named, not lost in silence
  }
  char pattern[PATH_BUF];
  size_t len = strlen(path);
  if (len >= sizeof pattern)
    return false;
  for (size_t i = 0; i <= len; i++) {
    unsigned char c = (unsigned char)path[i];
    pattern[i] = c > 0x80 ? '?' : (char)c;
  }
  std::lock_guard<std::shared_mutex> alone(names_lock);
  plat_set_file_apis_ansi();
  struct plat_find *h = plat_find_lookup(dir, pattern, &fd);
  if (h == NULL)
    return errno != ENOENT;
  plat_find_close(h);
  return true;
}
