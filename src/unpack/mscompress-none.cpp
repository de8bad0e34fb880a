// The MS COMPRESS row in a build without libmspack: it takes nothing.
#include "unpack/unpack.h"

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
  return "no MS COMPRESS reader";
}

static void none_close(void *) {}

extern const struct unpack_format unpack_mscompress;
const struct unpack_format unpack_mscompress = {"MS COMPRESS", none_open, none_next, none_read, none_error,
                                                none_close};
