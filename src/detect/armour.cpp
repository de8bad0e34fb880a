// ASCII armour: header lines, radix-64 bodies, CRC-24 lines, end lines.
#include "detect/armour.h"

#include <string.h>

#include "detect/packets.h"

// The CRC-24 of the armour checksum line over bytes[0, n).
static uint32_t armour_crc24(const uint8_t *bytes, long n) {
  uint32_t crc = 0xB704CE;
  for (long i = 0; i < n; i++) {
    crc ^= (uint32_t)bytes[i] << 16;
    for (int b = 0; b < 8; b++) {
      crc <<= 1;
      if (crc & 0x1000000)
        crc ^= 0x1864CFB;
    }
  }
  return crc & 0xFFFFFF;
}

// One line of the text: [start, end) without its line end: LF, CR alone,
// or CRs then LF (CR LF, and the CR CR LF of text converted twice);
// next is where the following line starts; ended says a line end was seen
// (a line without one runs to the end of the bytes read).
struct text_line {
  long start, end, next;
  bool ended;
};

static bool get_line(const uint8_t *t, long n, long pos, text_line *l) {
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

// The line without its trailing blanks.
static long trimmed_end(const uint8_t *t, const text_line *l) {
  long e = l->end;
  while (e > l->start && is_blank(t[e - 1]))
    e--;
  return e;
}

static bool starts_with(const uint8_t *t, const text_line *l, const char *s) {
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
static int header_type(const uint8_t *t, const text_line *l, long *part) {
  static const char begin[] = "-----BEGIN PGP ";
  if (!starts_with(t, l, begin))
    return T_NONE;
  long e = trimmed_end(t, l);
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
static bool is_armour_header(const uint8_t *t, const text_line *l) {
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

struct block {
  long size;      // decoded bytes in scratch
  bool has_crc;   // a CRC line was there
  uint32_t crc;   // its value
};

// Reads the block whose header line ends before pos: headers, body, CRC
// line and end line.  loose takes any lines up to the first blank line as
// headers (early programs wrote "Version 2.3a").
static int read_block(const uint8_t *t, long n, long pos, bool loose, uint8_t *scratch,
                      long scratch_size, block *b) {
  text_line l;
  // Armour headers up to a blank line.  A body that starts at once (its
  // blank line lost in transit) is taken as it is.
  for (;;) {
    if (!get_line(t, n, pos, &l))
      return BLOCK_CUT;
    if (!l.ended)
      return BLOCK_CUT;
    if (trimmed_end(t, &l) == l.start) {
      pos = l.next;
      break;
    }
    if (loose && starts_with(t, &l, "-----END PGP "))
      return BLOCK_BAD;
    if (!loose && !is_armour_header(t, &l))
      break;
    pos = l.next;
  }
  b->size = 0;
  b->has_crc = false;
  b->crc = 0;
  uint32_t acc = 0;
  int bits = 0;
  long chars = 0, pads = 0;
  for (;;) {
    if (!get_line(t, n, pos, &l))
      return BLOCK_CUT;
    if (starts_with(t, &l, "-----END PGP "))
      break;
    if (!l.ended)  // the rest of this line, or more lines, lie past n
      return BLOCK_CUT;
    long e = trimmed_end(t, &l);
    if (b->has_crc || e == l.start)
      return BLOCK_BAD;  // only the end line may follow the CRC line
    if (t[l.start] == '=') {
      if (e - l.start != 5)
        return BLOCK_BAD;
      uint32_t crc = 0;
      for (long i = l.start + 1; i < e; i++) {
        int v = radix64_value(t[i]);
        if (v < 0)
          return BLOCK_BAD;
        crc = crc << 6 | (uint32_t)v;
      }
      b->has_crc = true;
      b->crc = crc;
      pos = l.next;
      continue;
    }
    for (long i = l.start; i < e; i++) {
      int v = t[i] == '=' ? -2 : radix64_value(t[i]);
      if (v == -1 || (v >= 0 && pads > 0))
        return BLOCK_BAD;
      chars++;
      if (v == -2) {
        if (++pads > 2)
          return BLOCK_BAD;
        continue;
      }
      acc = acc << 6 | (uint32_t)v;
      bits += 6;
      if (bits >= 8) {
        bits -= 8;
        if (b->size >= scratch_size)
          return BLOCK_BAD;
        scratch[b->size++] = (uint8_t)(acc >> bits);
      }
    }
    pos = l.next;
  }
  if (b->size == 0 || chars % 4 == 1 || (pads > 0 && chars % 4 != 0))
    return BLOCK_BAD;
  return BLOCK_OK;
}

// Signatures only, perhaps after a marker and one-pass packets (the
// detached signatures of an OS/2 program).
static bool signatures_only(int chain, uint64_t tags) {
  const uint64_t allowed = (uint64_t)1 << 2 | (uint64_t)1 << 4 | (uint64_t)1 << 10;
  return chain == CHAIN_SIGNATURE ||
         (chain == CHAIN_ONE_PASS && (tags & ~allowed) == 0 && (tags & (uint64_t)1 << 2) != 0);
}

// What the block of type starting after the header line at pos confirms.
// *status tells a cut block from a bad one.
static int confirm_block(const uint8_t *t, long n, long pos, int type, long part, uint8_t *scratch,
                         long scratch_size, int *status) {
  block b;
  bool loose = false;  // header lines not of the "Key: value" form
  *status = read_block(t, n, pos, false, scratch, scratch_size, &b);
  if (*status == BLOCK_BAD) {
    *status = read_block(t, n, pos, true, scratch, scratch_size, &b);
    loose = true;
  }
  if (*status != BLOCK_OK)
    return ARMOUR_NONE;
  bool crc_ok = b.has_crc && b.crc == armour_crc24(scratch, b.size);
  // Past the clean form (the header lines, the list of types) only the
  // evidence counts: a matching CRC and packets that parse.
  if ((loose || type == T_OTHER) && !crc_ok)
    return ARMOUR_NONE;
  // A CRC line vouches for the bytes of its own block; the bytes of a part
  // after the first start mid-stream, so past that their clean body is all
  // there is to check.
  if (part != 1 && b.has_crc && !crc_ok)
    return ARMOUR_NONE;
  if (part > 1)
    return type == T_FILE ? ARMOUR_FILE : ARMOUR_MESSAGE;
  uint64_t tags;
  int chain = parse_packet_chain_tags(scratch, b.size, part == 1, NULL, &tags);
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

int find_armour(const uint8_t *text, long n, bool may_be_cut, uint8_t *scratch,
                long scratch_size, bool *runs_past) {
  if (runs_past != NULL)
    *runs_past = false;
  if (text == NULL || scratch == NULL || n <= 0 || scratch_size < n / 4 * 3 + 3)
    return ARMOUR_NONE;
  bool unsigned_text = false;  // a SIGNED MESSAGE with no SIGNATURE block after it
  bool cut = false;
  text_line l;
  long pos = 0;
  while (!cut && get_line(text, n, pos, &l)) {
    pos = l.next;
    long part;
    int type = text[l.start] == '-' ? header_type(text, &l, &part) : T_NONE;
    if (type == T_NONE)
      continue;
    if (!l.ended) {  // a header line cut by the end of the bytes read
      cut = true;
      break;
    }
    int status = BLOCK_BAD;
    if (type == T_SIGNED) {  // the text, then its SIGNATURE block
      if (unsigned_text)
        continue;
      text_line s;
      long p = pos;
      bool seen = false;
      while (!seen && get_line(text, n, p, &s)) {
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
    // A block that failed: look on from the line after its header line.
  }
  if ((cut || unsigned_text) && may_be_cut && runs_past != NULL)
    *runs_past = true;
  return ARMOUR_NONE;
}
