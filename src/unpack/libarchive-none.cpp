// The libarchive row in a build without the library: it takes nothing, and
// -a is refused.
#include "unpack/unpack.h"

bool unpack_available(void) {
  return false;
}

static int none_open(struct unpack_source *, const uint8_t *, long, void **) {
  return UNPACK_NONE;
}

static int none_next(void *, struct unpack_member *) {
  return UNPACK_END;
}

static long none_read(void *, uint8_t *, size_t) {
  return -1;
}

static const char *none_error(void *) {
  return "no archive reader";
}

static void none_close(void *) {}

extern const struct unpack_format unpack_libarchive;
const struct unpack_format unpack_libarchive = {"libarchive", none_open, none_next, none_read, none_error, none_close};
