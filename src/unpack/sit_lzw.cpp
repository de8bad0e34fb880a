// StuffIt's method 2 (see sit_lzw.h).
#include "unpack/sit_lzw.h"

enum { CLEAR = 256, FIRST_FREE = 257, MIN_BITS = 9 };

void sit_lzw_init(struct sit_lzw_state *s, unpack_pull pull, void *source, uint64_t size) {
  unpack_bits_init(&s->in, pull, source);
  s->left = size;
  s->width = MIN_BITS;
  s->next = FIRST_FREE;
  s->old = -1;
  s->in_group = 0;
  s->first = 0;
  s->stacked = 0;
  s->error = NULL;
}

// Passes over the rest of the current group of codes; false with s->error
// set when the data ends first.
static bool end_group(struct sit_lzw_state *s) {
  unsigned skip = s->in_group == 0 ? 0 : (8 - s->in_group) * (unsigned)s->width;
  s->in_group = 0;
  while (skip > 0) {
    unsigned n = skip < 16 ? skip : 16, v;
    if (unpack_bits_get(&s->in, (int)n, &v, &s->error) != 0)
      return false;
    skip -= n;
  }
  return true;
}

// Reads the next code and puts its string on the stack; false with
// s->error set.
static bool next_code(struct sit_lzw_state *s) {
  for (;;) {
    if (s->width < SIT_LZW_BITS && s->next >= (1u << s->width)) {
      if (!end_group(s))
        return false;
      s->width++;
    }
    unsigned code;
    if (unpack_bits_get(&s->in, s->width, &code, &s->error) != 0)
      return false;
    s->in_group = (s->in_group + 1) & 7;
    if (code == CLEAR) {
      if (!end_group(s))
        return false;
      s->width = MIN_BITS;
      s->next = FIRST_FREE;
      s->old = -1;
      continue;
    }
    if (s->old < 0) {  // the first code of a table stands for a byte
      if (code > 255) {
        s->error = "a code not yet defined";
        return false;
      }
      s->stack[s->stacked++] = (uint8_t)code;
      s->old = (int)code;
      s->first = (uint8_t)code;
      return true;
    }
    if (code > s->next || (code == s->next && s->next >= SIT_LZW_CODES)) {
      s->error = "a code not yet defined";
      return false;
    }
    unsigned c = code;
    if (code == s->next) {  // the string before and its own first byte
      s->stack[s->stacked++] = s->first;
      c = (unsigned)s->old;
    }
    while (c > 255) {  // prefixes always have lower codes: this ends
      s->stack[s->stacked++] = s->suffix[c];
      c = s->prefix[c];
    }
    s->stack[s->stacked++] = (uint8_t)c;
    if (s->next < SIT_LZW_CODES) {
      s->prefix[s->next] = (uint16_t)s->old;
      s->suffix[s->next] = (uint8_t)c;
      s->next++;
    }
    s->old = (int)code;
    s->first = (uint8_t)c;
    return true;
  }
}

long sit_lzw_read(struct sit_lzw_state *s, uint8_t *out, size_t count) {
  if (s->error != NULL)
    return -1;
  size_t n = 0;
  while (n < count && s->left > 0) {
    if (s->stacked == 0 && !next_code(s))
      break;
    out[n++] = s->stack[--s->stacked];
    s->left--;
  }
  if (n == 0 && s->error != NULL)
    return -1;
  return (long)n;
}
