// Decoders of ARJ members.  The compressed bits are read from the high
// bit of each byte down.  Methods 1 to 3 send blocks: a 16-bit count of
// symbols, a code for code lengths, the literal/length code described with
// it, and the distance code; a literal/length symbol below 256 is a byte,
// one above is a match of symbol - 253 bytes whose distance follows.
// Method 4 has fixed codes: a length prefix of up to 7 one-bits, 0 for a
// literal byte, and a distance prefix of up to 4 one-bits over 9 bits.
#include "unpack/arj_decode.h"

#include <limits.h>
#include <string.h>

namespace {

enum {
  NT = 19,         // code-length symbols
  TBIT = 5,        // bits of their count
  NP = 17,         // distance symbols
  PBIT = 5,        // bits of their count
  CBIT = 9,        // bits of the literal/length count
  MIN_MATCH = 3,
  MAX_BITS = 16,   // the longest code
  MASK = ARJ_WINDOW - 1,
};

uint8_t next_byte(arj_state *s) {
  if (s->in_pos == s->in_len && !s->in_end) {
    long got = s->pull(s->source, s->in, sizeof s->in);
    s->in_pos = 0;
    s->in_len = 0;
    if (got < 0 || got > (long)sizeof s->in) {
      s->in_end = true;
      if (s->error == NULL)
        s->error = "read failed";
    } else if (got == 0) {
      s->in_end = true;
    } else {
      s->in_len = (size_t)got;
    }
  }
  if (s->in_pos < s->in_len)
    return s->in[s->in_pos++];
  if (s->pad_bytes < UINT32_MAX / 8)
    s->pad_bytes++;
  return 0;  // past the end: zeros, caught by failed() once used
}

// The next n (0 to 16) bits.
uint32_t get_bits(arj_state *s, int n) {
  while (s->nbits < n) {
    s->bits = s->bits << 8 | next_byte(s);
    s->nbits += 8;
  }
  s->nbits -= n;
  uint32_t v = s->bits >> s->nbits;
  s->bits &= (1u << s->nbits) - 1;
  return v;
}

// True when decoding has to stop: an error so far, or bits used that the
// source never gave.
bool failed(arj_state *s) {
  if (s->error == NULL && s->pad_bytes * 8 > (uint32_t)s->nbits)
    s->error = "truncated data";
  return s->error != NULL;
}

bool bad_table(arj_state *s) {
  s->error = "bad code table";
  return false;
}

// Makes the canonical code of the n lengths at len (each 0 to 16): false
// when they over-fill the code space.  A code that leaves some space
// unused is taken; meeting an unused code fails then.
bool build_code(arj_code *c, const uint8_t *len, int n) {
  uint16_t at[MAX_BITS + 1];
  c->single = -1;
  memset(c->count, 0, sizeof c->count);
  for (int i = 0; i < n; i++)
    c->count[len[i]]++;
  c->count[0] = 0;
  long room = 1;
  for (int l = 1; l <= MAX_BITS; l++) {
    room = room * 2 - c->count[l];
    if (room < 0)
      return false;
  }
  at[1] = 0;
  for (int l = 1; l < MAX_BITS; l++)
    at[l + 1] = (uint16_t)(at[l] + c->count[l]);
  for (int i = 0; i < n; i++)
    if (len[i] != 0)
      c->symbol[at[len[i]]++] = (uint16_t)i;
  return true;
}

// The next symbol of code c, or -1 (s->error set) on a code it lacks.
int decode(arj_state *s, const arj_code *c) {
  if (c->single >= 0)
    return c->single;
  int code = 0, first = 0, index = 0;
  for (int l = 1; l <= MAX_BITS; l++) {
    code |= (int)get_bits(s, 1);
    int n = c->count[l];
    if (code - first < n)
      return c->symbol[index + code - first];
    index += n;
    first = (first + n) << 1;
    code <<= 1;
  }
  s->error = "bad code table";
  return -1;
}

// Reads the code-length or distance code: a count in nbit bits, then the
// lengths, each 3 bits or 7 and a run of one-bits; after the special'th
// length (unless special is -1) a 2-bit count of zero lengths.  A count of
// 0 gives one symbol, in nbit bits, that takes no bits.
bool read_short_code(arj_state *s, arj_code *c, int nn, int nbit, int special) {
  uint8_t len[ARJ_NPT] = {0};
  int n = (int)get_bits(s, nbit);
  if (n == 0) {
    int only = (int)get_bits(s, nbit);
    if (only >= nn)
      return bad_table(s);
    c->single = only;
    return !failed(s);
  }
  if (n > nn)
    return bad_table(s);
  for (int i = 0; i < n && !failed(s);) {
    int l = (int)get_bits(s, 3);
    if (l == 7)
      while (get_bits(s, 1) != 0 && !failed(s))
        if (++l > MAX_BITS)
          return bad_table(s);
    len[i++] = (uint8_t)l;
    if (i == special)
      for (int zeros = (int)get_bits(s, 2); zeros > 0 && i < nn; zeros--)
        len[i++] = 0;
  }
  if (failed(s))
    return false;
  return build_code(c, len, nn) || bad_table(s);
}

// Reads the literal/length code, its lengths coded with s->lengths: 0 to 2
// are runs of zero lengths (one, 3 + 4 bits, 20 + 9 bits), k above is a
// length of k - 2.
bool read_literal_code(arj_state *s) {
  uint8_t len[ARJ_NC] = {0};
  arj_code *c = &s->literal;
  int n = (int)get_bits(s, CBIT);
  if (n == 0) {
    int only = (int)get_bits(s, CBIT);
    if (only >= ARJ_NC)
      return bad_table(s);
    c->single = only;
    return !failed(s);
  }
  if (n > ARJ_NC)
    return bad_table(s);
  for (int i = 0; i < n;) {
    int k = decode(s, &s->lengths);
    if (k < 0 || failed(s))
      return false;
    if (k > 2) {
      len[i++] = (uint8_t)(k - 2);
      continue;
    }
    int run = k == 0 ? 1 : k == 1 ? (int)get_bits(s, 4) + 3 : (int)get_bits(s, CBIT) + 20;
    if (run > n - i)
      return bad_table(s);
    i += run;  // len[] is zero already
  }
  if (failed(s))
    return false;
  return build_code(c, len, ARJ_NC) || bad_table(s);
}

bool read_block_start(arj_state *s) {
  s->block_left = get_bits(s, 16);
  if (failed(s))
    return false;
  if (s->block_left == 0) {
    s->error = "empty block";
    return false;
  }
  return read_short_code(s, &s->lengths, NT, TBIT, 3) && read_literal_code(s) &&
         read_short_code(s, &s->position, NP, PBIT, -1);
}

// Decodes the next symbol of methods 1 to 4: a byte (0 to 255), or 256 with
// s->copy_left and s->copy_distance set; -1 on an error.
int next_symbol(arj_state *s) {
  uint32_t length, distance;
  if (s->method == 4) {
    int width = 0;
    uint32_t base = 0;
    while (width < 7 && get_bits(s, 1) != 0)
      base += 1u << width++;
    uint32_t c = base + get_bits(s, width);
    if (c == 0) {
      uint32_t byte = get_bits(s, 8);
      return failed(s) ? -1 : (int)byte;
    }
    length = c + MIN_MATCH - 1;
    width = 9;
    base = 0;
    while (width < 13 && get_bits(s, 1) != 0)
      base += 1u << width++;
    distance = base + get_bits(s, width) + 1;
  } else {
    if (s->block_left == 0 && !read_block_start(s))
      return -1;
    s->block_left--;
    int c = decode(s, &s->literal);
    if (c < 0)
      return -1;
    if (c < 256)
      return failed(s) ? -1 : c;
    length = (uint32_t)c - 256 + MIN_MATCH;
    int p = decode(s, &s->position);
    if (p < 0)
      return -1;
    distance = p == 0 ? 1 : (1u << (p - 1)) + get_bits(s, p - 1) + 1;
  }
  if (failed(s))
    return -1;
  if (distance > s->done) {
    s->error = "back-reference before the start";
    return -1;
  }
  s->copy_left = length;
  s->copy_distance = distance;
  return 256;
}

}  // namespace

void arj_decode_init(struct arj_state *s, int method, unpack_pull pull, void *source,
                     uint64_t size) {
  s->method = method;
  s->pull = pull;
  s->source = source;
  s->left = size;
  s->done = 0;
  s->in_pos = s->in_len = 0;
  s->in_end = false;
  s->bits = 0;
  s->nbits = 0;
  s->pad_bytes = 0;
  s->block_left = 0;
  s->copy_left = s->copy_distance = 0;
  s->error = method < 0 || method > 4 ? "unknown method" : NULL;
}

long arj_decode_read(struct arj_state *s, uint8_t *out, size_t count) {
  if (s->error != NULL)
    return -1;
  if (count > LONG_MAX)
    count = LONG_MAX;
  size_t n = 0;
  while (n < count && s->left > 0) {
    int byte;
    if (s->copy_left > 0) {
      s->copy_left--;
      byte = s->window[(s->done - s->copy_distance) & MASK];
    } else if (s->method == 0) {
      byte = next_byte(s);
      if (failed(s))
        break;
    } else {
      byte = next_symbol(s);
      if (byte < 0)
        break;
      if (byte == 256)
        continue;
    }
    s->window[s->done & MASK] = (uint8_t)byte;
    s->done++;
    s->left--;
    out[n++] = (uint8_t)byte;
  }
  // The bytes before an error are good: they go out first.
  return n == 0 && s->error != NULL ? -1 : (long)n;
}
