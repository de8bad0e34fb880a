// Decoding of ZIP method 9.  A block starts with a last-block bit and two
// bits of type; Huffman codes are sent first bit first, every other field
// lowest bit first.  The codes are the canonical ones for their lengths
// (shortest first, equal lengths in symbol order).
#include "unpack/deflate64.h"

#include <limits.h>
#include <string.h>

static const char BAD_CODE[] = "bad code";

void deflate64_init(struct deflate64_state *s, unpack_pull pull, void *source, uint64_t size) {
  unpack_bits_init(&s->in, pull, source);
  s->left = size;
  s->done = 0;
  s->stage = DEFLATE64_HEADER;
  s->final = 0;
  s->stored_left = 0;
  s->copy_left = s->copy_dist = 0;
  s->error = NULL;
}

static int fail(struct deflate64_state *s, const char *why) {
  s->error = why;
  return -1;
}

static int bits(struct deflate64_state *s, int n, unsigned *v) {
  return unpack_bits_get(&s->in, n, v, &s->error);
}

// Makes c the code of n symbols with the given bit lengths (0: no code):
// 0, or -1 when the lengths cannot make one.
static int build(struct deflate64_code *c, const uint8_t *lengths, int n) {
  memset(c->count, 0, sizeof c->count);
  for (int i = 0; i < n; i++)
    c->count[lengths[i]]++;
  int codes = n - c->count[0];
  c->count[0] = 0;
  long unused = 1;  // codes of the current length not yet given
  for (int len = 1; len <= DEFLATE64_MAXBITS; len++) {
    unused = unused * 2 - c->count[len];
    if (unused < 0)
      return -1;
  }
  if (unused != 0 && codes > 1)
    return -1;  // one code alone may leave the rest unused
  uint16_t next[DEFLATE64_MAXBITS + 1];
  next[1] = 0;
  for (int len = 1; len < DEFLATE64_MAXBITS; len++)
    next[len + 1] = (uint16_t)(next[len] + c->count[len]);
  for (int i = 0; i < n; i++)
    if (lengths[i] != 0)
      c->symbol[next[lengths[i]]++] = (uint16_t)i;
  return 0;
}

// The next symbol of code c into *sym, one bit at a time.
static int decode(struct deflate64_state *s, const struct deflate64_code *c, unsigned *sym) {
  long code = 0, first = 0, index = 0;
  for (int len = 1; len <= DEFLATE64_MAXBITS; len++) {
    unsigned bit;
    if (bits(s, 1, &bit) < 0)
      return -1;
    code |= (long)bit;
    long n = c->count[len];
    if (code - first < n) {
      *sym = c->symbol[index + code - first];
      return 0;
    }
    index += n;
    first = (first + n) << 1;
    code <<= 1;
  }
  return fail(s, BAD_CODE);  // a code an incomplete table does not have
}

static void fixed_codes(struct deflate64_state *s) {
  uint8_t lengths[DEFLATE64_LITERALS];
  memset(lengths, 8, 144);
  memset(lengths + 144, 9, 112);
  memset(lengths + 256, 7, 24);
  memset(lengths + 280, 8, 8);
  build(&s->literals, lengths, DEFLATE64_LITERALS);
  memset(lengths, 5, DEFLATE64_DISTANCES);
  build(&s->distances, lengths, DEFLATE64_DISTANCES);
}

// A dynamic block's codes: the counts of literal/length, distance and
// code-length codes, the code-length code's lengths, then the lengths of
// both codes in that code, with runs.
static int dynamic_codes(struct deflate64_state *s) {
  static const uint8_t order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  unsigned hlit, hdist, hclen, v;
  if (bits(s, 5, &hlit) < 0 || bits(s, 5, &hdist) < 0 || bits(s, 4, &hclen) < 0)
    return -1;
  int nlit = (int)hlit + 257, ndist = (int)hdist + 1, total = nlit + ndist;
  if (nlit > 286)
    return fail(s, "bad code table");
  uint8_t lengths[DEFLATE64_LITERALS + DEFLATE64_DISTANCES];
  memset(lengths, 0, 19);
  for (unsigned i = 0; i < hclen + 4; i++) {
    if (bits(s, 3, &v) < 0)
      return -1;
    lengths[order[i]] = (uint8_t)v;
  }
  struct deflate64_code runs;
  if (build(&runs, lengths, 19) < 0)
    return fail(s, "bad code table");
  for (int i = 0; i < total;) {
    unsigned sym;
    if (decode(s, &runs, &sym) < 0)
      return s->error == BAD_CODE ? fail(s, "bad code table") : -1;
    if (sym < 16) {
      lengths[i++] = (uint8_t)sym;
      continue;
    }
    uint8_t value = 0;
    unsigned repeat;
    if (sym == 16) {
      if (i == 0)
        return fail(s, "bad code table");  // nothing to repeat
      value = lengths[i - 1];
      if (bits(s, 2, &v) < 0)
        return -1;
      repeat = 3 + v;
    } else if (sym == 17) {
      if (bits(s, 3, &v) < 0)
        return -1;
      repeat = 3 + v;
    } else {
      if (bits(s, 7, &v) < 0)
        return -1;
      repeat = 11 + v;
    }
    if (repeat > (unsigned)(total - i))
      return fail(s, "bad code table");
    memset(lengths + i, value, repeat);
    i += (int)repeat;
  }
  if (lengths[256] == 0 || build(&s->literals, lengths, nlit) < 0 ||
      build(&s->distances, lengths + nlit, ndist) < 0)
    return fail(s, "bad code table");
  return 0;
}

// A block's header, and the codes or stored length after it.
static int block_header(struct deflate64_state *s) {
  unsigned last, type, len, nlen;
  if (bits(s, 1, &last) < 0 || bits(s, 2, &type) < 0)
    return -1;
  s->final = (int)last;
  switch (type) {
    case 0:
      if (bits(s, s->in.held & 7, &len) < 0 || bits(s, 16, &len) < 0 || bits(s, 16, &nlen) < 0)
        return -1;
      if ((len ^ 0xFFFFu) != nlen)
        return fail(s, "stored length mismatch");
      s->stored_left = len;
      s->stage = DEFLATE64_STORED;
      return 0;
    case 1:
      fixed_codes(s);
      break;
    case 2:
      if (dynamic_codes(s) < 0)
        return -1;
      break;
    default:
      return fail(s, "bad block type");
  }
  s->stage = DEFLATE64_CODED;
  return 0;
}

// The next item of a coded block: 0 with *out set for a literal, 1 when a
// copy has been set up or the block ended.
static int next_item(struct deflate64_state *s, uint8_t *out) {
  unsigned sym, v = 0;
  if (decode(s, &s->literals, &sym) < 0)
    return -1;
  if (sym < 256) {
    *out = (uint8_t)sym;
    return 0;
  }
  if (sym == 256) {
    s->stage = s->final ? DEFLATE64_END : DEFLATE64_HEADER;
    return 1;
  }
  if (sym > 285)
    return fail(s, BAD_CODE);
  unsigned length, extra;
  if (sym < 265) {
    length = sym - 254;
    extra = 0;
  } else if (sym < 285) {
    extra = (sym - 261) / 4;
    length = ((4 + ((sym - 261) & 3)) << extra) + 3;
  } else {
    length = 3;  // deflate's 258 is 3 plus 16 bits here
    extra = 16;
  }
  if (bits(s, (int)extra, &v) < 0)
    return -1;
  length += v;
  unsigned dsym, dist;
  if (decode(s, &s->distances, &dsym) < 0)
    return -1;
  if (dsym < 4) {
    dist = dsym + 1;
  } else {
    extra = dsym / 2 - 1;
    if (bits(s, (int)extra, &v) < 0)
      return -1;
    dist = ((2 + (dsym & 1)) << extra) + 1 + v;
  }
  if (dist > s->done)
    return fail(s, "back-reference before the start");
  s->copy_left = length;
  s->copy_dist = dist;
  return 1;
}

long deflate64_read(struct deflate64_state *s, uint8_t *out, size_t count) {
  if (s->error != NULL)
    return -1;
  if (count > LONG_MAX)  // what is given must fit the result
    count = LONG_MAX;
  size_t n = 0;
  while (n < count && s->left > 0) {
    uint8_t b;
    if (s->copy_left > 0) {
      b = s->window[(s->done - s->copy_dist) % DEFLATE64_WINDOW];
      s->copy_left--;
    } else if (s->stage == DEFLATE64_CODED) {
      int r = next_item(s, &b);
      if (r < 0)
        return n > 0 ? (long)n : -1;
      if (r > 0)
        continue;
    } else if (s->stage == DEFLATE64_STORED && s->stored_left > 0) {
      unsigned v;
      if (bits(s, 8, &v) < 0)
        return n > 0 ? (long)n : -1;
      b = (uint8_t)v;
      s->stored_left--;
    } else if (s->stage == DEFLATE64_STORED) {
      s->stage = s->final ? DEFLATE64_END : DEFLATE64_HEADER;
      continue;
    } else if (s->stage == DEFLATE64_HEADER) {
      if (block_header(s) < 0)
        return n > 0 ? (long)n : -1;
      continue;
    } else {
      break;  // the final block ended
    }
    s->window[s->done % DEFLATE64_WINDOW] = b;
    s->done++;
    s->left--;
    out[n++] = b;
  }
  return (long)n;
}
