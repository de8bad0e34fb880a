// ZIP method 1 ("shrunk"): LZW with codes of 9 to 13 bits, where code 256
// followed by 1 widens the codes by one bit and followed by 2 frees every
// table entry that no other entry extends (a partial clear).  Freed codes
// are handed out again lowest first.  The code right after a partial clear
// adds no entry: the compressor clears when its table is full, when the
// entry it would have made with that code's predecessor found no room.
#ifndef KIVOR_UNPACK_SHRINK_H_
#define KIVOR_UNPACK_SHRINK_H_

#include "unpack/source.h"

enum { SHRINK_CODES = 8192 };

// One member being decoded; large (about 40 KB): keep it off small stacks.
struct shrink_state {
  struct unpack_bits in;
  uint64_t left;                  // bytes still to give
  uint16_t prefix[SHRINK_CODES];  // entry = string of prefix + suffix
  uint8_t suffix[SHRINK_CODES];
  uint8_t used[SHRINK_CODES];     // entry defined (0 to 255 always)
  uint8_t stack[SHRINK_CODES];    // the current string, last byte at [0]
  int pending;                    // stack[0..pending) not yet given
  int code_bits;
  int prev;       // the code before, -1 before the first
  int free_code;  // lowest undefined code, SHRINK_CODES when the table is full
  int cleared;    // a partial clear since the last code
  const char *error;
};

// Starts decoding one member: its compressed bytes come from pull(source, ...);
// it decompresses to exactly size bytes (the size the archive states).
void shrink_init(struct shrink_state *s, unpack_pull pull, void *source, uint64_t size);

// Up to count decompressed bytes into out: how many (0 once size bytes have
// been given), or -1 when the data is bad or the pull failed, with s->error
// saying why.  Bytes decoded before a fault are still given; the call after
// returns -1.  Never writes more than count bytes.
long shrink_read(struct shrink_state *s, uint8_t *out, size_t count);

#endif  // KIVOR_UNPACK_SHRINK_H_
