// LZW decoding for ZIP method 1.  The string of a code is rebuilt on a stack
// by following its prefixes back to a literal; a chain that is longer than
// the table has codes (a loop) or meets an undefined code is refused.
#include "unpack/shrink.h"

#include <limits.h>
#include <string.h>

enum { SHRINK_CONTROL = 256, SHRINK_FIRST_FREE = 257, SHRINK_MAX_BITS = 13 };

void shrink_init(struct shrink_state *s, unpack_pull pull, void *source, uint64_t size) {
  unpack_bits_init(&s->in, pull, source);
  s->left = size;
  memset(s->used, 0, sizeof s->used);
  memset(s->used, 1, 256);
  for (int i = 0; i < 256; i++) {
    s->prefix[i] = 0;
    s->suffix[i] = (uint8_t)i;
  }
  s->pending = 0;
  s->code_bits = 9;
  s->prev = -1;
  s->free_code = SHRINK_FIRST_FREE;
  s->cleared = 0;
  s->error = NULL;
}

static int fail(struct shrink_state *s, const char *why) {
  s->error = why;
  return -1;
}

static void next_free(struct shrink_state *s) {
  while (s->free_code < SHRINK_CODES && s->used[s->free_code])
    s->free_code++;
}

// Frees every entry no other entry extends.  The stack is empty here and
// serves to mark the entries that are prefixes.
static void partial_clear(struct shrink_state *s) {
  memset(s->stack, 0, sizeof s->stack);
  for (int i = SHRINK_FIRST_FREE; i < SHRINK_CODES; i++)
    if (s->used[i])
      s->stack[s->prefix[i]] = 1;
  for (int i = SHRINK_FIRST_FREE; i < SHRINK_CODES; i++)
    if (s->used[i] && !s->stack[i])
      s->used[i] = 0;
  s->free_code = SHRINK_FIRST_FREE;
  next_free(s);
  s->cleared = 1;
}

// Reads codes up to the next one that stands for a string, puts that string
// on the stack and adds the entry the code before and it define.
static int next_string(struct shrink_state *s) {
  unsigned code, sub;
  for (;;) {
    if (unpack_bits_get(&s->in, s->code_bits, &code, &s->error) < 0)
      return -1;
    if (code != SHRINK_CONTROL)
      break;
    if (unpack_bits_get(&s->in, s->code_bits, &sub, &s->error) < 0)
      return -1;
    if (sub == 1) {
      if (s->code_bits == SHRINK_MAX_BITS)
        return fail(s, "code size beyond 13 bits");
      s->code_bits++;
    } else if (sub == 2) {
      partial_clear(s);
    } else {
      return fail(s, "bad control code");
    }
  }
  if (s->prev < 0) {
    if (code > 255)
      return fail(s, "bad first code");
    s->stack[0] = (uint8_t)code;
    s->pending = 1;
    s->prev = (int)code;
    return 0;
  }
  int n = 0;
  unsigned c = code;
  int unknown = !s->used[code];
  if (unknown) {  // the entry this very code adds: prev's string + its first byte
    if ((int)code != s->free_code || s->cleared)
      return fail(s, "undefined code");
    n = 1;  // stack[0], the last byte, is set once the first is known
    c = (unsigned)s->prev;
  }
  while (c > 255) {
    if (n == SHRINK_CODES - 1 || !s->used[c])
      return fail(s, "bad code table");
    s->stack[n++] = s->suffix[c];
    c = s->prefix[c];
  }
  s->stack[n++] = (uint8_t)c;
  if (unknown)
    s->stack[0] = (uint8_t)c;
  if (s->free_code < SHRINK_CODES && !s->cleared) {
    s->prefix[s->free_code] = (uint16_t)s->prev;
    s->suffix[s->free_code] = (uint8_t)c;
    s->used[s->free_code] = 1;
    next_free(s);
  }
  s->pending = n;
  s->prev = (int)code;
  s->cleared = 0;
  return 0;
}

long shrink_read(struct shrink_state *s, uint8_t *out, size_t count) {
  if (s->error != NULL)
    return -1;
  if (count > LONG_MAX)  // what is given must fit the result
    count = LONG_MAX;
  size_t n = 0;
  while (n < count && s->left > 0) {
    if (s->pending == 0 && next_string(s) < 0)
      return n > 0 ? (long)n : -1;
    while (s->pending > 0 && n < count && s->left > 0) {
      out[n++] = s->stack[--s->pending];
      s->left--;
    }
  }
  return (long)n;
}
