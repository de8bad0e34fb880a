#ifndef KIVOR_UNPACK_SOURCE_H_
#define KIVOR_UNPACK_SOURCE_H_

#include <stddef.h>
#include <stdint.h>

// Where a decoder's compressed bytes come from: puts up to count bytes into
// into and returns how many (0 at the end of the compressed data), or -1 when
// the read failed.
typedef long (*unpack_pull)(void *source, uint8_t *into, size_t count);

#endif  // KIVOR_UNPACK_SOURCE_H_
