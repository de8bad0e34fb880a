// What the ZIP member decoders of src/unpack/ have in common: where their
// compressed bytes come from, and the bit reader over them.  The decoders
// are pure: bytes in, bytes out, no allocation, no I/O of their own.
#ifndef KIVOR_UNPACK_SOURCE_H_
#define KIVOR_UNPACK_SOURCE_H_

#include <stddef.h>
#include <stdint.h>

// Where a decoder's compressed bytes come from: puts up to count bytes into
// into and returns how many (0 at the end of the compressed data), or -1 when
// the read failed.
typedef long (*unpack_pull)(void *source, uint8_t *into, size_t count);

// The little-endian numbers of the containers' headers.
static inline uint32_t unpack_get16(const uint8_t *b) {
  return (uint32_t)b[0] | (uint32_t)b[1] << 8;
}

static inline uint32_t unpack_get32(const uint8_t *b) {
  return unpack_get16(b) | unpack_get16(b + 2) << 16;
}

enum { UNPACK_INBUF = 512 };

// Compressed bytes taken from a pull as a stream of bits, the least
// significant bit of each byte first (the order of every ZIP method here).
struct unpack_bits {
  unpack_pull pull;
  void *source;
  uint8_t buf[UNPACK_INBUF];
  size_t pos, len;  // buf[pos..len) not yet taken
  uint32_t hold;    // bits taken from buf, not yet given
  int held;         // how many, at most 23
};

// Starts reading the bits of pull(source, ...).
static inline void unpack_bits_init(struct unpack_bits *b, unpack_pull pull, void *source) {
  b->pull = pull;
  b->source = source;
  b->pos = b->len = 0;
  b->hold = 0;
  b->held = 0;
}

// The next n bits (0 to 16), first bit lowest, into *v: 0, or -1 with *error
// set when the compressed data ended ("truncated data") or the pull failed.
static inline int unpack_bits_get(struct unpack_bits *b, int n, unsigned *v, const char **error) {
  while (b->held < n) {
    if (b->pos == b->len) {
      long got = b->pull(b->source, b->buf, sizeof b->buf);
      if (got < 0 || got > (long)sizeof b->buf) {
        *error = "read failed";
        return -1;
      }
      if (got == 0) {
        *error = "truncated data";
        return -1;
      }
      b->pos = 0;
      b->len = (size_t)got;
    }
    b->hold |= (uint32_t)b->buf[b->pos++] << b->held;
    b->held += 8;
  }
  *v = b->hold & ((1u << n) - 1);
  b->hold >>= n;
  b->held -= n;
  return 0;
}

// Compressed bytes taken from a pull one at a time (the byte-wise codes:
// run-length coding, Compact Pro's blocks).
struct unpack_bytes {
  unpack_pull pull;
  void *source;
  uint8_t buf[UNPACK_INBUF];
  size_t pos, len;  // buf[pos..len) not yet taken
  bool ended;       // the pull gave its last byte
};

// Starts taking the bytes of pull(source, ...).
static inline void unpack_bytes_init(struct unpack_bytes *b, unpack_pull pull, void *source) {
  b->pull = pull;
  b->source = source;
  b->pos = b->len = 0;
  b->ended = false;
}

// The next byte into *c, taken, or with keep left to be taken again (by
// the next call, or unpack_bytes_skip): 1, 0 at the end, or -1 with *error
// set to "read failed" when the pull failed.
static inline int unpack_bytes_take(struct unpack_bytes *b, uint8_t *c, bool keep, const char **error) {
  if (b->pos == b->len) {
    if (b->ended)
      return 0;
    long got = b->pull(b->source, b->buf, sizeof b->buf);
    if (got < 0 || got > (long)sizeof b->buf) {
      *error = "read failed";
      return -1;
    }
    if (got == 0) {
      b->ended = true;
      return 0;
    }
    b->pos = 0;
    b->len = (size_t)got;
  }
  *c = b->buf[keep ? b->pos : b->pos++];
  return 1;
}

// Takes the byte a take with keep left.
static inline void unpack_bytes_skip(struct unpack_bytes *b) {
  b->pos++;
}

#endif  // KIVOR_UNPACK_SOURCE_H_
