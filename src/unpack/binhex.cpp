// BinHex 4.0 (RFC 1741): a Mac file as text.  After the line "(This file
// must be converted with BinHex 4.0)" and a ':', characters of a 64-letter
// alphabet carry 6 bits each (line ends and blanks between them count for
// nothing) up to a closing ':'.  The bytes they make are run-length coded
// (rle90.h); decoded, they are a header (name length, name, a zero byte,
// type, creator, Finder flags, data fork length, resource fork length, all
// numbers big-endian, and the CRC of all that), the data fork and its CRC,
// the resource fork and its CRC.  The data fork is the one member, named
// by the stored name (none when it is empty); the resource fork is not
// read.  The text is read
// once from its start, never seeking, so a stream reads as a file does.
#include <string.h>

#include "run/startup.h"
#include "unpack/macroman.h"
#include "unpack/macwrap.h"
#include "unpack/rle90.h"
#include "unpack/unpack.h"

enum {
  TEXT_BLOCK = 4096,     // coded text read at a time
  TEXT_START = 64,       // bytes that must be text for BinHex to be looked for
  NAME_MAX_HQX = 63,     // the longest name the header holds
  HEADER_REST = 21,      // the header after its name: version, type ... CRC
  PATH_SIZE = NAME_MAX_HQX * MACROMAN_UTF8_MAX + 1,
};

static const char marker[] = "(This file must be converted with BinHex 4.0)";
static constexpr char alphabet[] = "!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr";

// Each character's 6 bits, -1 for a character outside the alphabet.
struct sextets {
  int8_t of[256];
};

static constexpr struct sextets make_sextets() {
  struct sextets t = {};
  for (int i = 0; i < 256; i++)
    t.of[i] = -1;
  for (int i = 0; i < 64; i++)
    t.of[(unsigned char)alphabet[i]] = (int8_t)i;
  return t;
}

static constexpr struct sextets codes = make_sextets();

uint16_t mac_crc16(uint16_t crc, const uint8_t *b, size_t n) {
  for (size_t i = 0; i < n; i++) {
    crc = (uint16_t)(crc ^ b[i] << 8);
    for (int k = 0; k < 8; k++)
      crc = (uint16_t)(crc & 0x8000 ? crc << 1 ^ 0x1021 : crc << 1);
  }
  return crc;
}

static bool blank(uint8_t c) {
  return c == '\r' || c == '\n' || c == ' ' || c == '\t';
}

// Where the marker line begins among the n bytes at b, or -1.  Every file
// the patterns take is looked at, so the search skips ahead by the byte
// under the marker's last place (Horspool's rule): a few hundred looks for
// the first 10140 bytes of a program.
static long find_marker(const uint8_t *b, long n) {
  const long len = (long)sizeof marker - 1;
  static long skip[256];
  if (skip[0] == 0) {
    for (long &k : skip)
      k = len;
    for (long i = 0; i < len - 1; i++)
      skip[(uint8_t)marker[i]] = len - 1 - i;
  }
  for (long i = 0; i + len <= n; i += skip[b[i + len - 1]])
    if (b[i + len - 1] == (uint8_t)marker[len - 1] && memcmp(b + i, marker, (size_t)len) == 0)
      return i;
  return -1;
}

long binhex_start(const uint8_t *b, long n) {
  const long len = (long)sizeof marker - 1;
  // Text from its first bytes on (what comes before BinHex is a mail's
  // headers or a note): a program or an image is passed over at once.
  for (long i = 0; i < n && i < TEXT_START; i++)
    if ((b[i] < 0x20 && !blank(b[i]) && b[i] != '\f') || b[i] == 0x7F)
      return -1;
  for (long from = 0;;) {
    long i = find_marker(b + from, n - from);
    if (i < 0)
      return -1;
    long at = from + i + len;
    while (at < n && blank(b[at]))
      at++;
    if (at < n && b[at] == ':')
      return at + 1;
    from += i + 1;
  }
}

bool binhex_after_text(const uint8_t *b, long n) {
  if (binhex_start(b, n) < 0)
    return false;
  long marker_at = find_marker(b, n);
  for (long i = 0; i < marker_at; i++)
    if (!blank(b[i]))
      return true;
  return false;
}

struct binhex_reader {
  struct unpack_source *src;
  uint8_t text[TEXT_BLOCK];
  size_t pos, len;           // text[pos..len) not yet decoded
  bool text_ended;           // the closing ':' (or the source's end) was met
  uint32_t bits;             // bits of characters not yet made into bytes
  int held;                  // how many, below 8
  struct rle90_state rle;
  uint8_t header[1 + NAME_MAX_HQX + HEADER_REST];
  char path[PATH_SIZE];
  uint32_t data_left;        // bytes of the data fork not yet given
  uint16_t crc;              // of those given
  bool given;                // next gave the member
  bool checked;              // its CRC was compared
  const char *text_fault;    // why the characters stopped making bytes
  const char *why;
};

static struct binhex_reader *readers[UNPACK_MAX_DEPTH + 1];  // by depth, made on first use

// The bytes the characters make, for the run-length decoder: 0 at the
// closing ':' or the text's end, -1 at a character outside the alphabet
// (after the bytes before it) or when the source fails.
static long pull(void *reader, uint8_t *into, size_t count) {
  struct binhex_reader *r = (struct binhex_reader *)reader;
  size_t done = 0;
  while (done < count && !r->text_ended && r->text_fault == NULL) {
    if (r->pos == r->len) {
      unpack_poll();
      long got = unpack_source_read(r->src, r->text, sizeof r->text);
      if (got < 0)
        r->text_fault = "read failed";
      if (got <= 0) {
        r->text_ended = true;
        break;
      }
      r->pos = 0;
      r->len = (size_t)got;
    }
    uint8_t c = r->text[r->pos++];
    if (c == ':') {
      r->text_ended = true;
    } else if (codes.of[c] >= 0) {
      r->bits = (r->bits << 6 | (uint32_t)codes.of[c]) & 0x3FFF;  // at most 7 + 6 bits
      r->held += 6;
      if (r->held >= 8) {
        r->held -= 8;
        into[done++] = (uint8_t)(r->bits >> r->held);
      }
    } else if (!blank(c)) {
      r->text_fault = "a character BinHex does not use";
    }
  }
  return done == 0 && r->text_fault != NULL ? -1 : (long)done;
}

// Up to count decoded bytes: how many (fewer only at the end), or -1 with
// r->why set.
static long decoded(struct binhex_reader *r, uint8_t *out, size_t count) {
  size_t done = 0;
  while (done < count) {
    long got = rle90_read(&r->rle, out + done, count - done);
    if (got < 0) {
      if (done > 0)
        break;  // the fault is said at the next call
      r->why = r->text_fault != NULL ? r->text_fault : r->rle.error;
      return -1;
    }
    if (got == 0)
      break;
    done += (size_t)got;
  }
  return (long)done;
}

static uint32_t be32(const uint8_t *b) {
  return (uint32_t)b[0] << 24 | (uint32_t)b[1] << 16 | (uint32_t)b[2] << 8 | b[3];
}

// Reads the header; NULL, or why it cannot be.
static const char *read_header(struct binhex_reader *r) {
  long got = decoded(r, r->header, 1);
  if (got < 0)
    return r->why;
  size_t name_len = r->header[0];
  if (got == 0 || name_len == 0 || name_len > NAME_MAX_HQX)
    return got == 0 ? "truncated header" : "bad header";
  size_t rest = name_len + HEADER_REST;
  got = decoded(r, r->header + 1, rest);
  if (got < 0)
    return r->why;
  if (got < (long)rest)
    return "truncated header";
  const uint8_t *h = r->header + 1 + name_len;  // the version byte
  if (mac_crc16(0, r->header, name_len + 20) != (h[19] << 8 | h[20]))
    return "header CRC mismatch";
  r->data_left = be32(h + 11);
  if (macroman_to_utf8(r->header + 1, name_len, r->path, sizeof r->path) < 0)
    return "bad header";  // cannot be: the path has room for any name
  return NULL;
}

static int hqx_open(struct unpack_source *src, const uint8_t *first, long n, void **reader) {
  long at = binhex_start(first, n);
  if (at < 0)
    return UNPACK_NONE;
  int depth = src->depth;
  if (readers[depth] == NULL && (readers[depth] = (struct binhex_reader *)run_alloc(sizeof *readers[depth])) == NULL)
    return UNPACK_NONE;
  struct binhex_reader *r = readers[depth];
  *reader = r;
  r->src = src;
  r->pos = r->len = 0;
  r->text_ended = false;
  r->bits = 0;
  r->held = 0;
  r->crc = 0;
  r->given = r->checked = false;
  r->text_fault = r->why = NULL;
  // The text before the coded characters, all among the first bytes.
  for (long skipped = 0; skipped < at;) {
    long want = at - skipped < (long)sizeof r->text ? at - skipped : (long)sizeof r->text;
    long got = unpack_source_read(src, r->text, (size_t)want);
    if (got <= 0) {
      r->why = "read failed";
      return UNPACK_FAILED;
    }
    skipped += got;
  }
  rle90_init(&r->rle, pull, r);
  const char *bad = read_header(r);
  if (bad != NULL) {
    r->why = bad;
    return UNPACK_FAILED;
  }
  return UNPACK_OK;
}

static int hqx_next(void *reader, struct unpack_member *m) {
  struct binhex_reader *r = (struct binhex_reader *)reader;
  if (r->given || r->data_left == 0)
    return UNPACK_END;  // read, or empty (a program all in its resource fork)
  r->given = true;
  m->path = r->path;
  m->regular = true;
  m->second_name = false;
  m->encrypted = false;
  m->utf8 = true;
  return UNPACK_OK;
}

static long hqx_read(void *reader, uint8_t *out, size_t count) {
  struct binhex_reader *r = (struct binhex_reader *)reader;
  if (r->why != NULL)
    return -1;
  if (r->data_left == 0) {
    if (r->checked)
      return 0;
    r->checked = true;
    uint8_t stored[2];
    long got = decoded(r, stored, 2);
    if (got >= 0 && got < 2)
      r->why = "truncated data";
    else if (got == 2 && (stored[0] << 8 | stored[1]) != r->crc)
      r->why = "data fork CRC mismatch";
    return r->why != NULL ? -1 : 0;
  }
  if (count > r->data_left)
    count = r->data_left;
  long got = decoded(r, out, count);
  if (got == 0)
    r->why = "truncated data";
  if (got <= 0)
    return -1;
  r->crc = mac_crc16(r->crc, out, (size_t)got);
  r->data_left -= (uint32_t)got;
  return unpack_count(got) ? got : -1;
}

static const char *hqx_error(void *reader) {
  struct binhex_reader *r = (struct binhex_reader *)reader;
  return r->why != NULL ? r->why : "unreadable";
}

static void hqx_close(void *) {}

extern const struct unpack_format unpack_binhex;
const struct unpack_format unpack_binhex = {"BinHex", hqx_open, hqx_next, hqx_read, hqx_error, hqx_close};
