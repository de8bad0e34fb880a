// What the decoder fuzz targets share: the input's first four bytes choose
// how it is decoded (byte 0: the method or flags, 1 and 2: the stated size,
// up to 64 KB, 3: the bytes asked of each read and given by each pull), the
// rest is the compressed data.  What must hold: no read returns more than
// asked or writes past it, an error is named and stays, no more than the
// stated size comes out, and the decoding ends.
#ifndef KIVOR_FUZZ_UNPACK_FUZZ_H_
#define KIVOR_FUZZ_UNPACK_FUZZ_H_

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "fuzz_check.h"

struct fuzz_source {
  const uint8_t *p;
  size_t n, pos, chunk;
};

static long fuzz_pull(void *source, uint8_t *into, size_t count) {
  fuzz_source *f = (fuzz_source *)source;
  size_t k = f->n - f->pos;
  if (k > count)
    k = count;
  if (k > f->chunk)
    k = f->chunk;
  memcpy(into, f->p + f->pos, k);
  f->pos += k;
  return (long)k;
}

// Runs one decoder over the input: init(state, pull, source, size, byte 0)
// sets it up, read is its X_read.  ends_itself: the data may end before the
// stated size (a decoder whose stream marks its own end).
template <typename State, typename Init, typename Read>
int fuzz_decoder(const uint8_t *data, size_t size, Init init, Read read, bool ends_itself = false) {
  static State state;  // too large for the stack
  static uint8_t out[4096 + 64];
  if (size < 4)
    return 0;
  uint64_t stated = (uint64_t)data[1] << 8 | data[2];
  stated <<= data[0] & 0x80 ? 4 : 0;  // up to 1 MB now and then
  size_t ask = data[3] & 1 ? 4096 : (size_t)(data[3] >> 1) + 1;
  fuzz_source src = {data + 4, size - 4, 0, (size_t)(data[3] >> 4) * 31 + 1};
  init(&state, fuzz_pull, &src, stated, data[0] & 0x7f);
  uint64_t total = 0;
  for (uint64_t calls = 0;; calls++) {
    FUZZ_CHECK(calls <= stated + 1);
    memset(out + ask, 0xa5, 64);
    long n = read(&state, out, ask);
    for (int i = 0; i < 64; i++)
      FUZZ_CHECK(out[ask + i] == 0xa5);
    if (n < 0) {
      FUZZ_CHECK(state.error != NULL);
      FUZZ_CHECK(read(&state, out, ask) == -1);
      break;
    }
    FUZZ_CHECK((size_t)n <= ask);
    total += (uint64_t)n;
    FUZZ_CHECK(total <= stated);
    if (n == 0) {
      FUZZ_CHECK(total == stated || ends_itself);
      break;
    }
  }
  return 0;
}

#endif  // KIVOR_FUZZ_UNPACK_FUZZ_H_
