// StuffIt's method 13: back-references into a 64 KiB window and literals,
// coded with three prefix codes: two for literals and lengths (the first
// after a literal, the second after a back-reference) and one for the bit
// length of a distance.  The first byte chooses the codes: its high four
// bits 1 to 5 name one of five sets fixed by the format, 0 says the codes
// follow as code lengths (themselves coded with a fixed code of 37
// symbols); then bit 3 says the second code is the first again, and the
// low three bits give the distance code's size less 10.  Bits are taken
// least significant first; a code's first bit is its most significant.
//
// A code whose lengths over-subscribe or leave codes unused is refused, as
// is a back-reference to before the first byte decoded.
#ifndef KIVOR_UNPACK_SIT13_H_
#define KIVOR_UNPACK_SIT13_H_

#include "unpack/source.h"

enum {
  SIT13_WINDOW = 65536,
  SIT13_SYMBOLS = 321,   // literals, lengths and the end
  SIT13_MAX_BITS = 31,   // the longest code length the format can state
};

// A canonical code: how many codes of each length, and the symbols in code
// order.
struct sit13_code {
  uint16_t count[SIT13_MAX_BITS + 1];
  uint16_t symbol[SIT13_SYMBOLS];
};

// One member being decoded (about 66 KB).
struct sit13_state {
  struct unpack_bits in;
  uint64_t left;  // bytes still to give
  uint64_t done;  // bytes given: where the next goes in the window
  bool started;   // the codes are read
  int second;     // which of codes[] follows a back-reference (0 or 1)
  int current;    // which of codes[] reads the next symbol
  struct sit13_code codes[3];  // first, second, distance lengths
  unsigned copy_left, copy_dist;
  uint8_t window[SIT13_WINDOW];
  const char *error;
};

// Starts decoding one member: its compressed bytes come from pull(source,
// ...); it decompresses to exactly size bytes (the size the archive states).
void sit13_init(struct sit13_state *s, unpack_pull pull, void *source, uint64_t size);

// Up to count decompressed bytes into out: how many (0 once size bytes have
// been given), or -1 when the data is bad or the pull failed, with s->error
// saying why ("truncated data", "read failed", "bad code table", "code
// table over-subscribed", "code table incomplete", "a code outside the
// table", "a back-reference before the start of the data", "data ends
// before its stated size", "unknown code set").  Bytes decoded before a
// fault are still given; the call after returns -1.  Never writes more
// than count bytes.
long sit13_read(struct sit13_state *s, uint8_t *out, size_t count);

#endif  // KIVOR_UNPACK_SIT13_H_
