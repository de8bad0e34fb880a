// Decoding of Compact Pro's forks: the LZH layer, the RLE layer, and the
// two chained.
#include "unpack/cpt_lzh.h"

#include <limits.h>
#include <string.h>


// ------------------------------------------------------------------ LZH

void cpt_lzh_init(struct cpt_lzh_state *s, unpack_pull pull, void *source) {
  unpack_bytes_init(&s->in, pull, source);
  s->hold = 0;
  s->held = 0;
  s->block_bytes = s->block_units = 0;
  s->in_block = false;
  s->copy_left = s->copy_dist = 0;
  s->done = 0;
  memset(s->window, 0, sizeof s->window);
  s->error = NULL;
}

// The next coded byte into *b: 1, 0 at the end, -1 when the pull failed.
static int lzh_take(struct cpt_lzh_state *s, uint8_t *b) {
  return unpack_bytes_take(&s->in, b, false, &s->error);
}

// The next byte of a block's codes: 0, or -1 with s->error set.
static int header_byte(struct cpt_lzh_state *s, uint8_t *b) {
  int got = lzh_take(s, b);
  if (got == 0)
    s->error = "truncated data";
  return got > 0 ? 0 : -1;
}

// The next n bits (0 to 15), first bit highest, into *v: 0, or -1 with
// s->error set.
static int lzh_bits(struct cpt_lzh_state *s, int n, unsigned *v) {
  while (s->held < n) {
    uint8_t b;
    if (header_byte(s, &b) < 0)
      return -1;
    s->hold = s->hold << 8 | b;
    s->held += 8;
    s->block_bytes++;
  }
  s->held -= n;
  *v = (s->hold >> s->held) & ((1u << n) - 1);
  s->hold &= (1u << s->held) - 1;
  return 0;
}

static int lzh_fail(struct cpt_lzh_state *s, const char *why) {
  s->error = why;
  return -1;
}

// One code of nsym symbols: a byte giving how many bytes of lengths follow,
// each holding two, the earlier symbol's in the high nibble; the symbols
// past them have none.
static int read_code(struct cpt_lzh_state *s, struct cpt_code *c, int nsym) {
  uint8_t nbytes, b, lengths[256];
  if (header_byte(s, &nbytes) < 0)
    return -1;
  if (nbytes * 2 > nsym)
    return lzh_fail(s, "bad code table");
  memset(lengths, 0, sizeof lengths);
  for (int i = 0; i < nbytes; i++) {
    if (header_byte(s, &b) < 0)
      return -1;
    lengths[2 * i] = (uint8_t)(b >> 4);
    lengths[2 * i + 1] = (uint8_t)(b & 15);
  }
  memset(c->count, 0, sizeof c->count);
  for (int i = 0; i < nsym; i++)
    c->count[lengths[i]]++;
  long unused = 1;  // codes of the current length not yet given
  for (int len = 1; len <= 15; len++) {
    unused = unused * 2 - c->count[len];
    if (unused < 0)
      return lzh_fail(s, "bad code table");
  }
  uint16_t next[16];
  next[1] = 0;
  for (int len = 1; len < 15; len++)
    next[len + 1] = (uint16_t)(next[len] + c->count[len]);
  for (int i = 0; i < nsym; i++)
    if (lengths[i] != 0)
      c->symbol[next[lengths[i]]++] = (uint16_t)i;
  return 0;
}

// The next symbol of code c into *sym, one bit at a time.
static int decode(struct cpt_lzh_state *s, const struct cpt_code *c, unsigned *sym) {
  long code = 0, first = 0, index = 0;
  for (int len = 1; len <= 15; len++) {
    unsigned bit;
    if (lzh_bits(s, 1, &bit) < 0)
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
  return lzh_fail(s, "bad code");
}

// Reads a block's codes: 1, 0 when the coded bytes end before it, or -1.
static int start_block(struct cpt_lzh_state *s) {
  uint8_t b;  // find out whether there is a next byte
  int got = unpack_bytes_take(&s->in, &b, true, &s->error);
  if (got <= 0)
    return got;
  if (read_code(s, &s->literals, 256) < 0 || read_code(s, &s->lengths, 64) < 0 ||
      read_code(s, &s->distances, 128) < 0)
    return -1;
  s->in_block = true;
  s->block_bytes = s->block_units = 0;
  return 1;
}

// Ends a block: the rest of its last byte and the padding after it are
// passed over (as much of it as there is).
static int end_block(struct cpt_lzh_state *s) {
  s->in_block = false;
  s->hold = 0;
  s->held = 0;
  for (int skip = s->block_bytes & 1 ? 3 : 2; skip > 0; skip--) {
    uint8_t b;
    int got = lzh_take(s, &b);
    if (got <= 0)
      return got;
  }
  return 0;
}

long cpt_lzh_read(struct cpt_lzh_state *s, uint8_t *out, size_t count) {
  if (s->error != NULL)
    return -1;
  if (count > LONG_MAX)  // what is given must fit the result
    count = LONG_MAX;
  size_t n = 0;
  while (n < count) {
    unsigned v;
    if (s->copy_left > 0) {
      v = s->window[(s->done - s->copy_dist) % CPT_WINDOW];
      s->copy_left--;
    } else {
      if (!s->in_block) {
        int r = start_block(s);
        if (r < 0)
          return n > 0 ? (long)n : -1;
        if (r == 0)
          break;
      }
      unsigned flag, length, high, low;
      if (lzh_bits(s, 1, &flag) < 0)
        return n > 0 ? (long)n : -1;
      if (flag) {
        if (decode(s, &s->literals, &v) < 0)
          return n > 0 ? (long)n : -1;
        s->block_units += 2;
      } else {
        if (decode(s, &s->lengths, &length) < 0 || decode(s, &s->distances, &high) < 0 ||
            lzh_bits(s, 6, &low) < 0)
          return n > 0 ? (long)n : -1;
        s->copy_left = length;
        s->copy_dist = high << 6 | low;
        s->block_units += 3;
      }
      if (s->block_units >= CPT_BLOCK && end_block(s) < 0)
        return n > 0 ? (long)n : -1;
      if (!flag)
        continue;
    }
    s->window[s->done % CPT_WINDOW] = (uint8_t)v;
    s->done++;
    out[n++] = (uint8_t)v;
  }
  return (long)n;
}

// ------------------------------------------------------------------ RLE

void cpt_rle_init(struct cpt_rle_state *s, unpack_pull pull, void *source, uint64_t size) {
  unpack_bytes_init(&s->in, pull, source);
  s->left = size;
  s->last = -1;
  s->repeat = 0;
  s->error = NULL;
}

// The next coded byte into *b, taken or (keep) left to be taken again: 1,
// 0 at the end, -1 when the pull failed.
static int rle_take(struct cpt_rle_state *s, uint8_t *b, bool keep) {
  return unpack_bytes_take(&s->in, b, keep, &s->error);
}

long cpt_rle_read(struct cpt_rle_state *s, uint8_t *out, size_t count) {
  if (s->error != NULL)
    return -1;
  if (count > LONG_MAX)
    count = LONG_MAX;
  size_t done = 0;
  while (done < count && s->left > 0) {
    if (s->error != NULL)
      return done > 0 ? (long)done : -1;
    if (s->repeat > 0) {
      out[done++] = (uint8_t)s->last;
      s->repeat--;
      s->left--;
      continue;
    }
    uint8_t b, next;
    int got = rle_take(s, &b, false);
    if (got == 0)
      s->error = "truncated data";
    if (got <= 0)
      continue;  // the fault is said at the loop's top
    if (b == 0x81) {
      got = rle_take(s, &next, true);
      if (got < 0)
        continue;
      if (got > 0 && next == 0x82) {
        unpack_bytes_skip(&s->in);
        got = rle_take(s, &next, false);
        if (got == 0)
          s->error = "truncated data";
        if (got <= 0)
          continue;
        if (next == 0) {  // 0x81 0x82 as data: the 0x82 comes next, and runs repeat it
          out[done++] = 0x81;
          s->left--;
          s->last = 0x82;
          s->repeat = 1;
        } else if (s->last < 0) {
          s->error = "a run with nothing to repeat";
        } else {
          s->repeat = next - 1u;
        }
        continue;
      }
    }
    out[done++] = b;
    s->left--;
    s->last = b;
  }
  return (long)done;
}

// ----------------------------------------------------------------- fork

static long lzh_pull(void *lzh, uint8_t *into, size_t count) {
  return cpt_lzh_read((struct cpt_lzh_state *)lzh, into, count);
}

void cpt_fork_init(struct cpt_fork_state *s, unpack_pull pull, void *source, uint64_t size,
                   bool lzh) {
  s->error = NULL;
  s->lzh.error = NULL;
  if (lzh) {
    cpt_lzh_init(&s->lzh, pull, source);
    cpt_rle_init(&s->rle, lzh_pull, &s->lzh, size);
  } else {
    cpt_rle_init(&s->rle, pull, source, size);
  }
}

long cpt_fork_read(struct cpt_fork_state *s, uint8_t *out, size_t count) {
  long got = cpt_rle_read(&s->rle, out, count);
  if (got < 0)
    s->error = s->lzh.error != NULL ? s->lzh.error : s->rle.error;  // a failed LZH layer fails the RLE one
  return got;
}
