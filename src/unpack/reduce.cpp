// Decoding of ZIP methods 2 to 5: the follower-set expansion gives one byte
// at a time to the back-reference step, which either passes it through or
// collects it into a copy from the window.
#include "unpack/reduce.h"

#include <limits.h>
#include <string.h>

enum { REDUCE_DLE = 144 };

void reduce_init(struct reduce_state *s, unpack_pull pull, void *source, uint64_t size,
                 int method) {
  unpack_bits_init(&s->in, pull, source);
  s->left = size;
  s->done = 0;
  s->factor = method >= 2 && method <= 5 ? method - 1 : 0;
  s->sets_read = 0;
  s->last = 0;
  s->step = 0;
  s->first = s->length = 0;
  s->copy_left = s->copy_dist = 0;
  memset(s->window, 0, sizeof s->window);
  s->error = NULL;
}

static int fail(struct reduce_state *s, const char *why) {
  s->error = why;
  return -1;
}

// The follower sets, for byte 255 down to 0: a 6-bit count, then the bytes.
static int read_sets(struct reduce_state *s) {
  for (int j = 255; j >= 0; j--) {
    unsigned n, b;
    if (unpack_bits_get(&s->in, 6, &n, &s->error) < 0)
      return -1;
    if (n > 32)
      return fail(s, "follower set over 32");
    s->nfollow[j] = (uint8_t)n;
    for (unsigned i = 0; i < n; i++) {
      if (unpack_bits_get(&s->in, 8, &b, &s->error) < 0)
        return -1;
      s->followers[j][i] = (uint8_t)b;
    }
  }
  s->sets_read = 1;
  return 0;
}

// The next byte of the expansion into *c.
static int expand(struct reduce_state *s, unsigned *c) {
  unsigned n = s->nfollow[s->last], bit;
  if (n == 0) {
    if (unpack_bits_get(&s->in, 8, c, &s->error) < 0)
      return -1;
  } else {
    if (unpack_bits_get(&s->in, 1, &bit, &s->error) < 0)
      return -1;
    if (bit) {
      if (unpack_bits_get(&s->in, 8, c, &s->error) < 0)
        return -1;
    } else {
      int width = 1;  // enough bits for n - 1, at least one
      while ((1u << width) < n)
        width++;
      unsigned i;
      if (unpack_bits_get(&s->in, width, &i, &s->error) < 0)
        return -1;
      if (i >= n)
        return fail(s, "follower index beyond its set");
      *c = s->followers[s->last][i];
    }
  }
  s->last = *c;
  return 0;
}

// Takes one expanded byte: 0 with *out set when it gives a byte, 1 when it
// was part of a code (a copy may have begun).
static int step(struct reduce_state *s, unsigned c, uint8_t *out) {
  int f = s->factor;
  unsigned length_mask = 0xffu >> f;
  switch (s->step) {
  case 0:
    if (c != REDUCE_DLE) {
      *out = (uint8_t)c;
      return 0;
    }
    s->step = 1;
    return 1;
  case 1:
    if (c == 0) {
      s->step = 0;
      *out = REDUCE_DLE;
      return 0;
    }
    s->first = c;
    s->length = c & length_mask;
    s->step = s->length == length_mask ? 2 : 3;
    return 1;
  case 2:
    s->length += c;
    s->step = 3;
    return 1;
  default:
    s->copy_dist = ((s->first >> (8 - f)) << 8) + c + 1;
    s->copy_left = s->length + 3;
    s->step = 0;
    return 1;
  }
}

long reduce_read(struct reduce_state *s, uint8_t *out, size_t count) {
  if (s->error != NULL)
    return -1;
  if (count > LONG_MAX)  // what is given must fit the result
    count = LONG_MAX;
  if (s->factor == 0) {
    s->error = "not a reduce method";
    return -1;
  }
  if (!s->sets_read && s->left > 0 && read_sets(s) < 0)
    return -1;
  size_t n = 0;
  while (n < count && s->left > 0) {
    uint8_t b;
    if (s->copy_left > 0) {
      b = s->window[(s->done - s->copy_dist) % REDUCE_WINDOW];
      s->copy_left--;
    } else {
      unsigned c;
      if (expand(s, &c) < 0)
        return n > 0 ? (long)n : -1;
      if (step(s, c, &b) != 0)
        continue;
    }
    s->window[s->done % REDUCE_WINDOW] = b;
    s->done++;
    s->left--;
    out[n++] = b;
  }
  return (long)n;
}
