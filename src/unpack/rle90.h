// The run-length coding of BinHex 4.0 and of StuffIt's method 1: a byte
// 0x90 followed by a count n repeats the byte before it until it has been
// given n times in all (n of 1 gives it no more); 0x90 followed by 0 is a
// 0x90 of the data.  A run repeats what was given last, a coded 0x90
// included.  Pure: bytes in from a pull, bytes out, no allocation.
#ifndef KIVOR_UNPACK_RLE90_H_
#define KIVOR_UNPACK_RLE90_H_

#include "unpack/source.h"

struct rle90_state {
  struct unpack_bytes in;
  int last;         // the byte a run repeats; -1 before the first
  unsigned repeat;  // copies of last still to give
  const char *error;
};

// Starts decoding the bytes of pull(source, ...).
void rle90_init(struct rle90_state *s, unpack_pull pull, void *source);

// Up to count decoded bytes into out: how many, 0 once the coded bytes have
// ended, or -1 with s->error set ("truncated data" for a 0x90 at the very
// end, "a run with nothing to repeat" for one before any byte, "read
// failed").  Bytes decoded before a fault are given first.  Never writes
// more than count bytes.
long rle90_read(struct rle90_state *s, uint8_t *out, size_t count);

#endif  // KIVOR_UNPACK_RLE90_H_
