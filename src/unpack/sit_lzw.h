// StuffIt's method 2: the LZW coding of the Unix compress program in its
// block mode, codes of 9 up to 14 bits, without compress's three-byte
// header.  Codes are packed first bit lowest; 0 to 255 are the bytes, 256
// clears the table, 257 on are defined as they come.  The code width grows
// when the next code to define no longer fits; codes are written in groups
// of eight (as many bytes as a code has bits), and where the width grows
// or the table is cleared the rest of the group is padding.
#ifndef KIVOR_UNPACK_SIT_LZW_H_
#define KIVOR_UNPACK_SIT_LZW_H_

#include "unpack/source.h"

enum {
  SIT_LZW_BITS = 14,
  SIT_LZW_CODES = 1 << SIT_LZW_BITS,
};

// One member being decoded (about 64 KB).
struct sit_lzw_state {
  struct unpack_bits in;
  uint64_t left;      // bytes still to give
  int width;          // bits in the next code
  unsigned next;      // the next code to define
  int old;            // the code before, -1 at the start and after a clear
  unsigned in_group;  // codes read of the current group of eight
  uint8_t first;      // the first byte of old's string
  uint16_t prefix[SIT_LZW_CODES];
  uint8_t suffix[SIT_LZW_CODES];
  uint8_t stack[SIT_LZW_CODES];  // a string, last byte first
  unsigned stacked;              // bytes of it not yet given
  const char *error;
};

// Starts decoding one member: its compressed bytes come from pull(source,
// ...); it decompresses to exactly size bytes (the size the archive states).
void sit_lzw_init(struct sit_lzw_state *s, unpack_pull pull, void *source, uint64_t size);

// Up to count decompressed bytes into out: how many (0 once size bytes have
// been given), or -1 when the data is bad or the pull failed, with s->error
// saying why ("truncated data", "read failed", "a code not yet defined").
// Bytes decoded before a fault are still given; the call after returns -1.
// Never writes more than count bytes.
long sit_lzw_read(struct sit_lzw_state *s, uint8_t *out, size_t count);

#endif  // KIVOR_UNPACK_SIT_LZW_H_
