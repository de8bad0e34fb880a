// ASCII armour: header lines, radix-64 bodies, CRC-24 lines, end lines.
#include "detect/armour.h"

#include <string.h>

#include "detect/packets.h"

bool armour_next_line(const uint8_t *t, long n, long pos, armour_line *l) {
  if (pos >= n)
    return false;
  long i = pos;
  while (i < n && t[i] != '\n' && t[i] != '\r')
    i++;
  l->start = pos;
  l->end = i;
  l->ended = i < n;
  l->next = i < n ? i + 1 : n;
  if (i < n && t[i] == '\r') {
    long j = i + 1;
    while (j < n && t[j] == '\r')
      j++;
    if (j < n && t[j] == '\n')
      l->next = j + 1;
  }
  return true;
}

static bool is_blank(uint8_t c) { return c == ' ' || c == '\t'; }

long armour_trimmed_end(const uint8_t *t, const armour_line *l) {
  long e = l->end;
  while (e > l->start && is_blank(t[e - 1]))
    e--;
  return e;
}

static bool starts_with(const uint8_t *t, const armour_line *l, const char *s) {
  size_t k = strlen(s);
  return (size_t)(l->end - l->start) >= k && memcmp(t + l->start, s, k) == 0;
}

// Armour types, and the part number of a multi-part message or file.
// T_OTHER: a type outside the list, confirmed only by a matching CRC.
enum { T_NONE, T_MESSAGE, T_KEY, T_SIGNATURE, T_SIGNED, T_FILE, T_OTHER };

// ", PART n/m" or ", PART n" after a type: the part number, or 0.
static long part_number(const uint8_t *s, long len) {
  static const char part[] = ", PART ";
  long k = (long)sizeof part - 1;
  if (len <= k || memcmp(s, part, (size_t)k) != 0)
    return 0;
  long i = k, num = 0;
  while (i < len && s[i] >= '0' && s[i] <= '9' && num < 100000)
    num = num * 10 + (s[i++] - '0');
  if (i == k || num == 0)
    return 0;
  if (i < len && s[i] == '/') {
    long j = ++i;
    while (i < len && s[i] >= '0' && s[i] <= '9')
      i++;
    if (i == j)
      return 0;
  }
  return i == len ? num : 0;
}

// The type of an armour header line, T_NONE when it is not one.
static int header_type(const uint8_t *t, const armour_line *l, long *part) {
  static const char begin[] = "-----BEGIN PGP ";
  if (!starts_with(t, l, begin))
    return T_NONE;
  long e = armour_trimmed_end(t, l);
  long s = l->start + (long)sizeof begin - 1;
  if (e - s < 6 || memcmp(t + e - 5, "-----", 5) != 0)
    return T_NONE;
  const uint8_t *name = t + s;
  long len = e - 5 - s;
  static const struct {
    const char *text;
    int type;
    bool parts;
  } types[] = {
      {"MESSAGE", T_MESSAGE, true},         {"PUBLIC KEY BLOCK", T_KEY, false},
      {"PRIVATE KEY BLOCK", T_KEY, false},  {"SECRET KEY BLOCK", T_KEY, false},
      {"SIGNATURE", T_SIGNATURE, false},    {"SIGNED MESSAGE", T_SIGNED, false},
      {"ARMORED FILE", T_FILE, true},
  };
  *part = 0;
  for (const auto &ty : types) {
    long k = (long)strlen(ty.text);
    if (len < k || memcmp(name, ty.text, (size_t)k) != 0)
      continue;
    if (len == k)
      return ty.type;
    if (ty.parts && (*part = part_number(name + k, len - k)) != 0)
      return ty.type;
  }
  *part = 0;
  return T_OTHER;
}

static int radix64_value(uint8_t c) {
  if (c >= 'A' && c <= 'Z')
    return c - 'A';
  if (c >= 'a' && c <= 'z')
    return c - 'a' + 26;
  if (c >= '0' && c <= '9')
    return c - '0' + 52;
  if (c == '+')
    return 62;
  if (c == '/')
    return 63;
  return -1;
}

// An armour header ("Key: value"): a key of printable characters without
// blanks, a colon, then a blank or the line end.
static bool is_armour_header(const uint8_t *t, const armour_line *l) {
  for (long i = l->start; i < l->end; i++) {
    if (t[i] == ':')
      return i > l->start && (i + 1 == l->end || is_blank(t[i + 1]));
    if (t[i] <= ' ' || t[i] >= 0x7F)
      return false;
  }
  return false;
}

// The outcome of reading one block.
enum { BLOCK_BAD, BLOCK_CUT, BLOCK_OK };

// Phases of a block read line by line.
enum { P_BEGIN, P_HEADERS, P_LOOSE_HEADERS, P_BODY, P_DONE, P_BAD };

static uint32_t crc24_byte(uint32_t crc, uint8_t byte) {
  crc ^= (uint32_t)byte << 16;
  for (int b = 0; b < 8; b++) {
    crc <<= 1;
    if (crc & 0x1000000)
      crc ^= 0x1864CFB;
  }
  return crc & 0xFFFFFF;
}

static bool all_radix64(const uint8_t *t, long s, long e) {
  for (long i = s; i < e; i++)
    if (radix64_value(t[i]) < 0 && t[i] != '=')
      return false;
  return true;
}

static void start_block(armour_stream *r, int type, long part) {
  memset(r, 0, sizeof *r);
  r->type = type;
  r->part = part;
  r->phase = P_HEADERS;
  r->crc_run = 0xB704CE;
}

// Takes one line of the block (the header line itself in P_BEGIN): armour
// headers up to a blank line, the body, the CRC line, the end line.  A
// body that starts at once (its blank line lost in transit) is taken as it
// is; header lines not of the "Key: value" form (early programs wrote
// "Version 2.3a") make the block loose, to be vouched for by its CRC.
// Decoded bytes go to scratch as far as it holds them.
static void block_line(armour_stream *r, const uint8_t *t, const armour_line *l, uint8_t *scratch,
                       long scratch_size) {
  long e = armour_trimmed_end(t, l);
  if (r->phase == P_BEGIN) {
    long part = 0;
    int type = t[l->start] == '-' ? header_type(t, l, &part) : T_NONE;
    if (type == T_NONE || type == T_SIGNED)
      r->phase = P_BAD;
    else
      start_block(r, type, part);
    return;
  }
  if (r->phase == P_HEADERS || r->phase == P_LOOSE_HEADERS) {
    if (e == l->start) {
      r->phase = P_BODY;
      return;
    }
    if (starts_with(t, l, "-----END PGP ")) {
      r->phase = P_BAD;
      return;
    }
    if (r->phase == P_LOOSE_HEADERS || is_armour_header(t, l))
      return;
    if (!all_radix64(t, l->start, e)) {
      r->phase = P_LOOSE_HEADERS;
      r->loose = true;
      return;
    }
    r->phase = P_BODY;
  }
  if (r->phase != P_BODY)
    return;
  if (starts_with(t, l, "-----END PGP ")) {
    bool clean = r->size > 0 && r->chars % 4 != 1 && (r->pads == 0 || r->chars % 4 == 0);
    r->phase = clean ? P_DONE : P_BAD;
    return;
  }
  if (r->has_crc || e == l->start) {
    r->phase = P_BAD;  // only the end line may follow the CRC line
    return;
  }
  if (t[l->start] == '=') {
    uint32_t crc = 0;
    bool ok = e - l->start == 5;
    for (long i = l->start + 1; ok && i < e; i++) {
      int v = radix64_value(t[i]);
      ok = v >= 0;
      crc = crc << 6 | (uint32_t)(ok ? v : 0);
    }
    if (!ok) {
      r->phase = P_BAD;
      return;
    }
    r->has_crc = true;
    r->crc = crc;
    return;
  }
  for (long i = l->start; i < e; i++) {
    int v = t[i] == '=' ? -2 : radix64_value(t[i]);
    if (v == -1 || (v >= 0 && r->pads > 0)) {
      r->phase = P_BAD;
      return;
    }
    r->chars++;
    if (v == -2) {
      if (++r->pads > 2) {
        r->phase = P_BAD;
        return;
      }
      continue;
    }
    r->acc = r->acc << 6 | (uint32_t)v;
    r->bits += 6;
    if (r->bits >= 8) {
      r->bits -= 8;
      uint8_t byte = (uint8_t)(r->acc >> r->bits);
      r->crc_run = crc24_byte(r->crc_run, byte);
      if (r->kept < scratch_size)
        scratch[r->kept++] = byte;
      r->size++;
    }
  }
}

// Reads the block whose header line ends before pos.
static int read_block(const uint8_t *t, long n, long pos, uint8_t *scratch, long scratch_size,
                      armour_stream *r) {
  armour_line l;
  while (r->phase != P_DONE && r->phase != P_BAD) {
    if (!armour_next_line(t, n, pos, &l))
      return BLOCK_CUT;
    // A line without its end runs past n; only the end line may lack one.
    if (!l.ended && !(r->phase == P_BODY && starts_with(t, &l, "-----END PGP ")))
      return BLOCK_CUT;
    block_line(r, t, &l, scratch, scratch_size);
    pos = l.next;
  }
  return r->phase == P_DONE ? BLOCK_OK : BLOCK_BAD;
}

// Signatures only, perhaps after a marker and one-pass packets (the
// detached signatures of an OS/2 program).
static bool signatures_only(int chain, uint64_t tags) {
  const uint64_t allowed = (uint64_t)1 << 2 | (uint64_t)1 << 4 | (uint64_t)1 << 10;
  return chain == CHAIN_SIGNATURE ||
         (chain == CHAIN_ONE_PASS && (tags & ~allowed) == 0 && (tags & (uint64_t)1 << 2) != 0);
}

// What a block read to its end line confirms; scratch holds the first
// r->kept of its r->size decoded bytes.
static int judge_block(const armour_stream *r, const uint8_t *scratch) {
  int type = r->type;
  long part = r->part;
  bool crc_ok = r->has_crc && r->crc == r->crc_run;
  // Past the clean form (the header lines, the list of types) only the
  // evidence counts: a matching CRC and packets that parse.
  if ((r->loose || type == T_OTHER) && !crc_ok)
    return ARMOUR_NONE;
  // A CRC line vouches for the bytes of its own block; the bytes of a part
  // after the first start mid-stream, so past that their clean body is all
  // there is to check.
  if (part != 1 && r->has_crc && !crc_ok)
    return ARMOUR_NONE;
  if (part > 1)
    return type == T_FILE ? ARMOUR_FILE : ARMOUR_MESSAGE;
  uint64_t tags;
  int chain = parse_packet_chain_tags(scratch, r->kept, part == 1 || r->kept < r->size, NULL,
                                      &tags);
  int found = ARMOUR_NONE;
  switch (type) {
    case T_KEY:
      found = chain != CHAIN_NONE ? ARMOUR_KEY : ARMOUR_NONE;
      break;
    case T_SIGNATURE:
      found = signatures_only(chain, tags) ? ARMOUR_SIGNATURE : ARMOUR_NONE;
      break;
    case T_FILE:  // may hold bytes that are not packets: the CRC vouches
      found = chain != CHAIN_NONE || crc_ok ? ARMOUR_FILE : ARMOUR_NONE;
      break;
    case T_MESSAGE:
      if (chain != CHAIN_NONE)
        found = chain == CHAIN_SIGNATURE && part == 0 ? ARMOUR_SIGNATURE : ARMOUR_MESSAGE;
      break;
    default:
      break;
  }
  if (found != ARMOUR_NONE || !crc_ok || chain == CHAIN_NONE)
    return found;
  // A type that does not fit its packets: the packets name the kind.
  if (chain == CHAIN_PUBLIC_KEY || chain == CHAIN_SECRET_KEY)
    return ARMOUR_KEY;
  return signatures_only(chain, tags) ? ARMOUR_SIGNATURE : ARMOUR_MESSAGE;
}

// What the block of type starting after the header line at pos confirms.
// *status tells a cut block from a bad one.
static int confirm_block(const uint8_t *t, long n, long pos, int type, long part, uint8_t *scratch,
                         long scratch_size, int *status) {
  armour_stream r;
  start_block(&r, type, part);
  *status = read_block(t, n, pos, scratch, scratch_size, &r);
  return *status == BLOCK_OK ? judge_block(&r, scratch) : ARMOUR_NONE;
}

void armour_stream_begin(armour_stream *s) {
  memset(s, 0, sizeof *s);
  s->phase = P_BEGIN;
}

long armour_stream_feed(armour_stream *s, const uint8_t *text, long n, bool at_end,
                        uint8_t *scratch, long scratch_size) {
  long pos = 0;
  armour_line l;
  while (!armour_stream_done(s) && armour_next_line(text, n, pos, &l)) {
    long j = l.end;
    while (j < n && text[j] == '\r')
      j++;
    if (!at_end && (!l.ended || j == n))  // its end (CRs, then perhaps LF) may go on
      break;
    block_line(s, text, &l, scratch, scratch_size);
    pos = l.next;
  }
  if (at_end && pos >= n && !armour_stream_done(s))
    s->phase = P_BAD;  // no end line
  return pos;
}

bool armour_stream_done(const armour_stream *s) {
  return s->phase == P_DONE || s->phase == P_BAD;
}

bool armour_stream_clean(const armour_stream *s) { return s->phase == P_DONE; }

int armour_stream_result(const armour_stream *s, const uint8_t *scratch) {
  return s->phase == P_DONE ? judge_block(s, scratch) : ARMOUR_NONE;
}

int find_armour(const uint8_t *text, long n, bool may_be_cut, uint8_t *scratch,
                long scratch_size, bool *runs_past) {
  return find_armour_from(text, n, may_be_cut, scratch, scratch_size, runs_past, NULL);
}

int find_armour_from(const uint8_t *text, long n, bool may_be_cut, uint8_t *scratch,
                     long scratch_size, bool *runs_past, long *cut_block) {
  if (runs_past != NULL)
    *runs_past = false;
  if (cut_block != NULL)
    *cut_block = -1;
  long cut_at = -1;
  if (text == NULL || scratch == NULL || n <= 0 || scratch_size < n / 4 * 3 + 3)
    return ARMOUR_NONE;
  bool unsigned_text = false;  // a SIGNED MESSAGE with no SIGNATURE block after it
  bool cut = false;
  armour_line l;
  long pos = 0;
  while (!cut && armour_next_line(text, n, pos, &l)) {
    pos = l.next;
    long part;
    int type = text[l.start] == '-' ? header_type(text, &l, &part) : T_NONE;
    if (type == T_NONE)
      continue;
    if (!l.ended) {  // a header line cut by the end of the bytes read
      cut = true;
      cut_at = l.start;
      break;
    }
    int status = BLOCK_BAD;
    if (type == T_SIGNED) {  // the text, then its SIGNATURE block
      if (unsigned_text)
        continue;
      armour_line s;
      long p = pos;
      bool seen = false;
      while (!seen && armour_next_line(text, n, p, &s)) {
        p = s.next;
        long sp;
        seen = text[s.start] == '-' && s.ended && header_type(text, &s, &sp) == T_SIGNATURE;
      }
      if (!seen) {
        unsigned_text = true;
        continue;
      }
      if (confirm_block(text, n, p, T_SIGNATURE, 0, scratch, scratch_size, &status) ==
          ARMOUR_SIGNATURE)
        return ARMOUR_CLEAR_SIGNED;
      pos = s.start;  // the signed text holds no header lines: look on from there
    } else {
      int found = confirm_block(text, n, pos, type, part, scratch, scratch_size, &status);
      if (found != ARMOUR_NONE)
        return found;
    }
    cut = status == BLOCK_CUT;
    if (cut && type != T_SIGNED)
      cut_at = l.start;
    // A block that failed: look on from the line after its header line.
  }
  if ((cut || unsigned_text) && may_be_cut && runs_past != NULL) {
    *runs_past = true;
    if (cut_block != NULL && !unsigned_text)
      *cut_block = cut_at;
  }
  return ARMOUR_NONE;
}
