// The libarchive row in a build without the library: it takes nothing, and
// -a is refused.
#include "unpack/unpack.h"

bool unpack_available(void) {
  return false;
}

extern const struct unpack_format unpack_libarchive;
const struct unpack_format unpack_libarchive = {"libarchive",      unpack_none_open,  unpack_none_next,
                                                unpack_none_read,  unpack_none_error, unpack_none_close};
