// The MS COMPRESS row in a build without libmspack: it takes nothing.
#include "unpack/unpack.h"

extern const struct unpack_format unpack_mscompress;
const struct unpack_format unpack_mscompress = {"MS COMPRESS",     unpack_none_open,  unpack_none_next,
                                                unpack_none_read,  unpack_none_error, unpack_none_close};
