// Archive search in a build without an archive reader: -a is refused, so
// nothing here is ever asked to read.
#include "search/archive.h"

bool archive_search_available(void) {
  return false;
}

bool search_archive(plat_handle, const char *, const unsigned char *, long) {
  return false;
}
