// Decoding of StuffIt's method 15.  The arithmetic coder keeps 26 bits of
// code against a range of at most 2^25, renormalised to above 2^24; a
// symbol's share of the range is (range / total) * frequency, the last
// symbol taking what rounding leaves.
#include "unpack/arsenic.h"

#include <limits.h>
#include <string.h>

enum {
  CODE_BITS = 26,
  ONE = 1 << (CODE_BITS - 1),
  HALF = 1 << (CODE_BITS - 2),
  END_OF_BLOCK = 10,
  PHASE_HEADER = 0,
  PHASE_BLOCKS = 1,
  PHASE_DONE = 2
};

static int fail(struct arsenic_state *s, const char *why) {
  s->error = why;
  return -1;
}

static void model_reset(struct arsenic_model *m) {
  for (unsigned i = 0; i < m->count; i++)
    m->freq[i] = (uint16_t)m->increment;
  m->total = m->increment * m->count;
}

static void model_init(struct arsenic_model *m, unsigned first, unsigned last, unsigned increment,
                       unsigned limit) {
  m->first = first;
  m->count = last - first + 1;
  m->increment = increment;
  m->limit = limit;
  model_reset(m);
}

void arsenic_init(struct arsenic_state *s, unpack_pull pull, void *source, uint64_t size) {
  s->pull = pull;
  s->source = source;
  s->pos = s->len = 0;
  s->byte = 0;
  s->bits = 0;
  s->range = 0;  // the code not yet filled
  s->code = 0;
  model_init(&s->initial, 0, 1, 1, 256);
  model_init(&s->selector, 0, 10, 8, 1024);
  static const unsigned mtf_inc[ARSENIC_MTF_MODELS] = {8, 4, 4, 4, 2, 2, 1};
  for (int i = 0; i < ARSENIC_MTF_MODELS; i++)
    model_init(&s->mtf[i], 2u << i, (4u << i) - 1, mtf_inc[i], 1024);
  s->left = size;
  s->phase = PHASE_HEADER;
  s->block_bits = 0;
  s->block_len = s->given = s->next = 0;
  s->last = -1;
  s->same = 0;
  s->repeat = 0;
  s->crc = 0xffffffffu;
  s->error = NULL;
}

// The next bit of the data, high bit of each byte first.
static int get_bit(struct arsenic_state *s, unsigned *bit) {
  if (s->bits == 0) {
    if (s->pos == s->len) {
      long got = s->pull(s->source, s->buf, sizeof s->buf);
      if (got < 0 || got > (long)sizeof s->buf)
        return fail(s, "read failed");
      s->pos = 0;
      s->len = (size_t)got;
    }
    if (s->pos == s->len)
      return fail(s, "truncated data");
    s->byte = s->buf[s->pos++];
    s->bits = 8;
  }
  s->bits--;
  *bit = (s->byte >> s->bits) & 1;
  return 0;
}

// The next symbol of model m into *sym, the model then updated.
static int decode(struct arsenic_state *s, struct arsenic_model *m, unsigned *sym) {
  if (s->range == 0) {  // the first symbol: fill the code
    s->range = ONE;
    for (int i = 0; i < CODE_BITS; i++) {
      unsigned bit;
      if (get_bit(s, &bit) < 0)
        return -1;
      s->code = s->code << 1 | bit;
    }
  }
  uint32_t unit = s->range / m->total;  // range > 2^24, total < 2^11: not 0
  uint32_t target = s->code / unit;
  unsigned i = 0, low = 0;
  while (i + 1 < m->count && low + m->freq[i] <= target)
    low += m->freq[i++];
  unsigned high = low + m->freq[i];
  uint32_t low_part = unit * low;  // at most code
  uint32_t width = high == m->total ? s->range - low_part : unit * (high - low);
  if (s->code - low_part >= width)  // past the range: no stream leads here
    return fail(s, "bad arithmetic code");
  s->code -= low_part;
  s->range = width;
  while (s->range <= HALF) {
    unsigned bit;
    if (get_bit(s, &bit) < 0)
      return -1;
    s->range <<= 1;
    s->code = s->code << 1 | bit;
  }
  *sym = m->first + i;
  m->freq[i] = (uint16_t)(m->freq[i] + m->increment);
  m->total += m->increment;
  if (m->total > m->limit) {
    m->total = 0;
    for (unsigned k = 0; k < m->count; k++) {
      m->freq[k] = (uint16_t)((m->freq[k] + 1) >> 1);
      m->total += m->freq[k];
    }
  }
  return 0;
}

// n bits (at most 32) of the two-symbol model, the first lowest.
static int get_number(struct arsenic_state *s, int n, uint32_t *v) {
  *v = 0;
  for (int i = 0; i < n; i++) {
    unsigned bit;
    if (decode(s, &s->initial, &bit) < 0)
      return -1;
    *v |= (uint32_t)bit << i;
  }
  return 0;
}

// The inverse of the sort: rows[i] holds the byte of the last column at
// row i in its low 8 bits; adds above them the row whose last column holds
// the byte row i's rotation starts with.  Followed from the original's
// row, the links give the text in order.
static void link_rows(uint32_t *rows, uint32_t len) {
  uint32_t start[256] = {0};
  for (uint32_t i = 0; i < len; i++)
    start[rows[i] & 0xff]++;
  uint32_t sum = 0;
  for (int c = 0; c < 256; c++) {
    uint32_t n = start[c];
    start[c] = sum;
    sum += n;
  }
  for (uint32_t i = 0; i < len; i++)
    rows[start[rows[i] & 0xff]++] |= i << 8;
}

// One block, after the bit saying one follows: its last column into rows.
// Selector 0 and 1 are digits 1 and 2 of a run of the front byte, 2 is
// move-to-front position 1, 3 to 9 name the model of the position, 10 ends
// the block.
static int read_block(struct arsenic_state *s) {
  uint32_t randomised, origin;
  if (get_number(s, 1, &randomised) < 0 || get_number(s, s->block_bits, &origin) < 0)
    return -1;
  if (randomised)
    return fail(s, "randomised block, not decoded");
  uint8_t order[256];
  for (int i = 0; i < 256; i++)
    order[i] = (uint8_t)i;
  uint32_t size = (uint32_t)1 << s->block_bits, len = 0, run = 0;
  int digit = 0;
  for (;;) {
    unsigned sel, at;
    if (decode(s, &s->selector, &sel) < 0)
      return -1;
    if (sel < 2) {  // a digit 1 or 2 of a run of the front byte
      if (digit > s->block_bits)
        return fail(s, "run past the end of the block");
      run += (sel + 1) << digit++;
      continue;
    }
    if (run > size - len)
      return fail(s, "run past the end of the block");
    for (; run > 0; run--)
      s->rows[len++] = order[0];
    digit = 0;
    if (sel == END_OF_BLOCK)
      break;
    if (len == size)
      return fail(s, "block longer than stated");
    if (sel == 2)
      at = 1;
    else if (decode(s, &s->mtf[sel - 3], &at) < 0)
      return -1;
    uint8_t c = order[at];
    memmove(order + 1, order, at);
    order[0] = c;
    s->rows[len++] = c;
  }
  model_reset(&s->selector);
  for (int i = 0; i < ARSENIC_MTF_MODELS; i++)
    model_reset(&s->mtf[i]);
  if (origin >= len)
    return fail(s, "block origin past its end");
  link_rows(s->rows, len);
  s->block_len = len;
  s->given = 0;
  s->next = s->rows[origin] >> 8;
  s->last = -1;
  s->same = 0;
  return 0;
}

// Past the end of a block (or before the first): the header, then the
// next block, or the CRC after the last.
static int next_block(struct arsenic_state *s) {
  uint32_t v, end;
  if (s->phase == PHASE_HEADER) {
    uint32_t bits;
    if (get_number(s, 8, &v) < 0)
      return -1;
    if (v != 'A')
      return fail(s, "not Arsenic data");
    if (get_number(s, 8, &v) < 0)
      return -1;
    if (v != 's')
      return fail(s, "not Arsenic data");
    if (get_number(s, 4, &bits) < 0)
      return -1;
    if (bits + 9 > ARSENIC_MAX_BLOCK_BITS)
      return fail(s, "block size over 4 MiB");
    s->block_bits = (int)bits + 9;
    s->phase = PHASE_BLOCKS;
  }
  if (get_number(s, 1, &end) < 0)
    return -1;
  if (!end)
    return read_block(s);
  if (get_number(s, 32, &v) < 0)
    return -1;
  s->phase = PHASE_DONE;
  if (v != ~s->crc)
    return fail(s, "CRC mismatch");
  return 0;
}

// The next decompressed byte into *b: 1, or 0 after the end of the
// stream, or -1.
static int next_byte(struct arsenic_state *s, uint8_t *b) {
  for (;;) {
    if (s->repeat > 0) {
      s->repeat--;
      break;
    }
    if (s->phase == PHASE_DONE)
      return 0;
    if (s->given == s->block_len) {
      if (next_block(s) < 0)
        return -1;
      continue;
    }
    uint32_t row = s->rows[s->next];
    s->next = row >> 8;
    s->given++;
    int c = (int)(row & 0xff);
    if (s->same == 4) {  // a count of further copies
      s->repeat = (unsigned)c;
      s->same = 0;
      continue;
    }
    s->same = c == s->last ? s->same + 1 : 1;
    s->last = c;
    break;
  }
  *b = (uint8_t)s->last;
  s->crc ^= *b;
  for (int k = 0; k < 8; k++)
    s->crc = (s->crc >> 1) ^ (0xedb88320u & (0u - (s->crc & 1)));
  return 1;
}

long arsenic_read(struct arsenic_state *s, uint8_t *out, size_t count) {
  if (s->error != NULL)
    return -1;
  if (count > LONG_MAX)  // what is given must fit the result
    count = LONG_MAX;
  size_t n = 0;
  while (n < count && s->left > 0) {
    int r = next_byte(s, &out[n]);
    if (r < 0)
      return n > 0 ? (long)n : -1;
    if (r == 0) {
      fail(s, "data shorter than stated");
      return n > 0 ? (long)n : -1;
    }
    n++;
    s->left--;
  }
  if (s->left == 0 && s->phase != PHASE_DONE) {  // read on to the CRC
    uint8_t b;
    int r = next_byte(s, &b);
    if (r > 0)
      fail(s, "data longer than stated");
    if (r != 0)
      return n > 0 ? (long)n : -1;
  }
  return (long)n;
}
