// Decoding of ZIP method 6.  A tree is stored as runs of equal bit lengths;
// its codes are the canonical ones for those lengths (shortest first, equal
// lengths in symbol order), sent first bit first.
#include "unpack/implode.h"

#include <limits.h>
#include <string.h>

void implode_init(struct implode_state *s, unpack_pull pull, void *source, uint64_t size,
                  unsigned flags) {
  unpack_bits_init(&s->in, pull, source);
  s->left = size;
  s->done = 0;
  s->window_8k = (flags & IMPLODE_FLAG_8K) != 0;
  s->literal_tree = (flags & IMPLODE_FLAG_3TREES) != 0;
  s->trees_read = 0;
  s->copy_left = s->copy_dist = 0;
  memset(s->window, 0, sizeof s->window);
  s->error = NULL;
}

static int fail(struct implode_state *s, const char *why) {
  s->error = why;
  return -1;
}

// One tree of nsym symbols: a byte giving the number of bytes after it less
// one, each byte a run of (high nibble + 1) symbols of (low nibble + 1) bits.
static int read_tree(struct implode_state *s, struct implode_tree *t, int nsym) {
  uint8_t bits[256];
  unsigned nbytes, b;
  int k = 0;
  if (unpack_bits_get(&s->in, 8, &nbytes, &s->error) < 0)
    return -1;
  for (unsigned i = 0; i <= nbytes; i++) {
    if (unpack_bits_get(&s->in, 8, &b, &s->error) < 0)
      return -1;
    int run = (int)(b >> 4) + 1;
    if (k + run > nsym)
      return fail(s, "bad code table");
    for (int r = 0; r < run; r++)
      bits[k++] = (uint8_t)((b & 15) + 1);
  }
  if (k != nsym)
    return fail(s, "bad code table");
  memset(t->count, 0, sizeof t->count);
  for (int i = 0; i < nsym; i++)
    t->count[bits[i]]++;
  long unused = 1;  // codes of the current length not yet given
  for (int len = 1; len <= 16; len++) {
    unused = unused * 2 - t->count[len];
    if (unused < 0)
      return fail(s, "code table over-subscribed");
  }
  if (unused != 0)
    return fail(s, "code table incomplete");
  uint16_t next[17];
  next[1] = 0;
  for (int len = 1; len < 16; len++)
    next[len + 1] = (uint16_t)(next[len] + t->count[len]);
  for (int i = 0; i < nsym; i++)
    t->symbol[next[bits[i]]++] = (uint16_t)i;
  return 0;
}

// The next symbol of tree t into *sym, one bit at a time.
static int decode(struct implode_state *s, const struct implode_tree *t, unsigned *sym) {
  long code = 0, first = 0, index = 0;
  for (int len = 1; len <= 16; len++) {
    unsigned bit;
    if (unpack_bits_get(&s->in, 1, &bit, &s->error) < 0)
      return -1;
    code |= (long)(bit ^ 1);  // the codes are sent with every bit inverted
    long n = t->count[len];
    if (code - first < n) {
      *sym = t->symbol[index + code - first];
      return 0;
    }
    index += n;
    first = (first + n) << 1;
    code <<= 1;
  }
  return fail(s, "bad code");  // not reached with a complete tree
}

// Reads the next literal or back-reference: 0 with *out set for a literal,
// 1 when a copy has been set up.
static int next_item(struct implode_state *s, uint8_t *out) {
  unsigned flag, v, low, high, length;
  if (unpack_bits_get(&s->in, 1, &flag, &s->error) < 0)
    return -1;
  if (flag) {
    if (s->literal_tree ? decode(s, &s->literals, &v) : unpack_bits_get(&s->in, 8, &v, &s->error))
      return -1;
    *out = (uint8_t)v;
    return 0;
  }
  int low_bits = s->window_8k ? 7 : 6;
  if (unpack_bits_get(&s->in, low_bits, &low, &s->error) < 0 ||
      decode(s, &s->distances, &high) < 0 || decode(s, &s->lengths, &length) < 0)
    return -1;
  if (length == 63) {
    if (unpack_bits_get(&s->in, 8, &v, &s->error) < 0)
      return -1;
    length += v;
  }
  s->copy_dist = ((high << low_bits) | low) + 1;
  s->copy_left = length + (s->literal_tree ? 3 : 2);
  return 1;
}

long implode_read(struct implode_state *s, uint8_t *out, size_t count) {
  if (s->error != NULL)
    return -1;
  if (count > LONG_MAX)  // what is given must fit the result
    count = LONG_MAX;
  if (!s->trees_read && s->left > 0) {
    if ((s->literal_tree && read_tree(s, &s->literals, 256) < 0) ||
        read_tree(s, &s->lengths, 64) < 0 || read_tree(s, &s->distances, 64) < 0)
      return -1;
    s->trees_read = 1;
  }
  size_t n = 0;
  while (n < count && s->left > 0) {
    uint8_t b;
    if (s->copy_left > 0) {
      b = s->window[(s->done - s->copy_dist) % IMPLODE_WINDOW];
      s->copy_left--;
    } else {
      int r = next_item(s, &b);
      if (r < 0)
        return n > 0 ? (long)n : -1;
      if (r > 0)
        continue;
    }
    s->window[s->done % IMPLODE_WINDOW] = b;
    s->done++;
    s->left--;
    out[n++] = b;
  }
  return (long)n;
}
