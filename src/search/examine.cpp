// check_file: the examination of one candidate, and its two small tests.
#include "search/examine.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "detect/confirm.h"
#include "log/hitfile.h"
#include "log/shorten.h"
#include "log/shown.h"
#include "platform/ascii.h"
#include "run/abort.h"
#include "run/exit.h"
#include "run/globals.h"
#include "search/access.h"
#include "search/archive.h"
#include "search/pathjoin.h"
#include "unpack/unpack.h"

const char g_packet_kinds[KIND_SLOTS][KIND_TEXT] = {
    "unknown",
    "encrypted",
    "packet signed, RSA secret key",
    "encrypted, possibly signed",
    "unknown",
    "secret key certificate",
    "public key certificate",
    "unknown",
    "compressed data",
    "conventional key encryption",
    "unknown",
    "possibly literal plaintext",
    "key control packet",
    "user id packet",
    "comment packet",
    "DHDSS > PGP5.x encryption",
};

// What a packet tag needs before it is reported.
enum packet_test {
  TEST_NONE,    // reported as it stands
  TEST_LENGTH,  // the stated length must fit the bytes read
  TEST_MODE,    // literal data: the mode byte must be 'b' or 't'
  TEST_MARKER,  // only the "PGP" marker makes it a hit
  TEST_NEVER,   // never a hit, no further test
};

// How each packet tag 0 to 31 is judged: its test and its kind-text slot.
// Tags 15 to 31 (a first byte with bit 6 set among them) share the marker test.
static const struct {
  unsigned char test;
  unsigned char kind;
} packet_rules[32] = {
    {TEST_MARKER, MARKER_KIND},  // 0
    {TEST_LENGTH, 1},            // 1 encrypted
    {TEST_LENGTH, 2},            // 2 signed
    {TEST_LENGTH, 3},            // 3 encrypted, possibly signed
    {TEST_MARKER, MARKER_KIND},  // 4
    {TEST_NONE, 5},              // 5 secret key certificate
    {TEST_NONE, 6},              // 6 public key certificate
    {TEST_MARKER, MARKER_KIND},  // 7
    {TEST_NONE, 8},              // 8 compressed data
    {TEST_NONE, 9},              // 9 conventional key encryption
    {TEST_MARKER, MARKER_KIND},  // 10
    {TEST_MODE, 11},             // 11 literal data
    {TEST_NONE, 12},             // 12 key control packet
    {TEST_NONE, 13},             // 13 user id packet
    {TEST_NEVER, 14},            // 14 comment packet
    {TEST_MARKER, MARKER_KIND}, {TEST_MARKER, MARKER_KIND},  // 15, 16
    {TEST_MARKER, MARKER_KIND}, {TEST_MARKER, MARKER_KIND},  // 17, 18
    {TEST_MARKER, MARKER_KIND}, {TEST_MARKER, MARKER_KIND},  // 19, 20
    {TEST_MARKER, MARKER_KIND}, {TEST_MARKER, MARKER_KIND},  // 21, 22
    {TEST_MARKER, MARKER_KIND}, {TEST_MARKER, MARKER_KIND},  // 23, 24
    {TEST_MARKER, MARKER_KIND}, {TEST_MARKER, MARKER_KIND},  // 25, 26
    {TEST_MARKER, MARKER_KIND}, {TEST_MARKER, MARKER_KIND},  // 27, 28
    {TEST_MARKER, MARKER_KIND}, {TEST_MARKER, MARKER_KIND},  // 29, 30
    {TEST_MARKER, MARKER_KIND},                              // 31
};

// Header size (type byte and length field) by length type b[0] & 3.
static const int header_size[4] = {2, 3, 5, 1};

// packet_length_fits on any buffer of n bytes, n of 5 or more.
static bool length_fits(const unsigned char *b, long n) {
  uint64_t length;
  switch (b[0] & 3) {
    case 0:
      length = b[1];
      break;
    case 1:
      length = (uint64_t)b[1] << 8 | b[2];
      break;
    case 2:
      length = (uint64_t)b[1] << 24 | (uint64_t)b[2] << 16 | (uint64_t)b[3] << 8 | b[4];
      break;
    default:  // indeterminate length
      length = 0;
      break;
  }
  if (length == 0 || n < 0)
    return false;
  return (uint64_t)header_size[b[0] & 3] + length <= (uint64_t)n;
}

bool packet_length_fits(long n) {
  return length_fits(g_inbuf, n);
}

bool has_pgp_marker(const unsigned char *buffer, long n) {
  static const unsigned char marker[] = {0xA8, 0x03, 'P', 'G', 'P'};
  if (n >= (long)sizeof marker && memcmp(buffer, marker, sizeof marker) == 0)
    return true;
  for (long i = 0; i < n && i < 10 && i + 3 <= n; i++)
    if (buffer[i] == 'P' && buffer[i + 1] == 'G' && buffer[i + 2] == 'P')
      return true;
  return false;
}

// Writes one hit line: the name in its field, a blank, the kind and its
// suffix; a failed write ends the run.
static void write_hit(const char *display, const char *kind, const char *suffix) {
  fprint_name_field(g_hit_stream, display, g_settings->name_width);
  fprintf(g_hit_stream, " %s%s\n", kind, suffix);
  check_hit_stream(0);
  g_hits_found++;
}

static const struct file_class no_hit = {NULL, ""};

// The packet branch, for a first byte of 0x80 or more and n of 10 or more
// (the tests read at most b[5]).
static struct file_class judge_packet(const unsigned char *b, long n) {
  int tag = (b[0] & 0x7C) >> 2;
  int kind = packet_rules[tag].kind;
  const char *suffix = "";

  switch (packet_rules[tag].test) {
    case TEST_NONE:
      break;
    case TEST_LENGTH:
      if (!length_fits(b, n))
        return no_hit;
      break;
    case TEST_MODE: {
      unsigned char mode = b[header_size[b[0] & 3]];
      if (mode != 'b' && mode != 't') {
        if (!has_pgp_marker(b, n))
          return no_hit;
        kind = MARKER_KIND;
      }
      break;
    }
    case TEST_MARKER:
      if (!has_pgp_marker(b, n))
        return no_hit;
      break;
    default:  // TEST_NEVER
      return no_hit;
  }
  if (tag == 1 && (b[4] == 1 || ((b[0] & 1) != 0 && b[5] == 1)))
    suffix = " & signed";
  if (tag == 8 && b[1] == 1)
    suffix = " signature only";
  return {g_packet_kinds[kind], suffix};
}

// True when the n bytes at text hold needle.
static bool holds(const char *text, size_t n, const char *needle) {
  size_t k = strlen(needle);
  for (const char *end = text + n; (size_t)(end - text) >= k; text++) {
    text = (const char *)memchr(text, needle[0], (size_t)(end - text) - k + 1);
    if (text == NULL)
      return false;
    if (memcmp(text, needle, k) == 0)
      return true;
  }
  return false;
}

// The text branch: ASCII armour, looked for up to the first zero byte.
static struct file_class judge_text(const unsigned char *b, long n) {
  const char *text = (const char *)b;
  const char *zero = (const char *)memchr(text, 0, (size_t)n);
  size_t len = zero != NULL ? (size_t)(zero - text) : (size_t)n;
  if (holds(text, len, "--BEGIN PGP MESSAGE--"))
    return {"possible ascii armor", ""};
  if (holds(text, len, "KEY BLOCK"))
    return {"ascii armored key", ""};
  return no_hit;
}

struct file_class classify_bytes(const unsigned char *b, long n) {
  if (n < 10)
    return no_hit;
  return b[0] < 0x80 ? judge_text(b, n) : judge_packet(b, n);
}

// The hit line of the first-byte test, for the n bytes at b.
static void report_class(const char *display, const unsigned char *b, long n) {
  struct file_class c = classify_bytes(b, n);
  if (c.kind != NULL)
    write_hit(display, c.kind, c.suffix);
}

// The hit line of -c, for a confirmed kind; armour past what -c reads on
// through is reported as the first n bytes at b make it.
static void report_confirmed(const char *display, int kind, const unsigned char *b, long n) {
  if (kind == CONFIRM_PAST_LIMIT)
    report_class(display, b, n);
  else if (kind != CONFIRM_NONE)
    write_hit(display, g_confirm_kinds[kind], "");
}

bool is_com_file(const char *path) {
  const char *last = strrchr(path, PLAT_SEP);
  const char *dot = strrchr(last != NULL ? last : path, '.');
  return dot != NULL && ascii_equal_upper(dot, ".COM");
}

void open_candidate(struct candidate *c) {
  c->fh = PLAT_INVALID_HANDLE;
  c->n = -1;
  c->read_errno = 0;
  c->open_errno = 0;
  const char *path = c->path;
  if (strlen(path) >= PATH_BUF) {
    c->outcome = CAND_TOO_LONG;
    return;
  }
  if (g_hit_file_name[0] != '\0' && plat_path_compare(path, g_hit_file_name) == 0) {
    c->outcome = CAND_HIT_NAME;
    return;
  }
  // Where the lookup and the open read a name alike, the lookup is made
  // only when the open fails: a file that is gone is passed over in
  // silence, one that is there but will not open is named.
  // A .COM file is not opened, so it is looked up on every platform.
  bool com = g_settings->skip_com && is_com_file(path);
  if ((PLAT_NAMES_BY_MODE || com) && !candidate_exists(c->dir, path)) {
    c->outcome = CAND_MISSING;
    return;
  }
  if (com) {
    c->outcome = CAND_COM;
    return;
  }
  errno = 0;
  plat_handle fh = open_for_reading(c->dir, path, c->regular, &c->id);
  if (fh == PLAT_INVALID_HANDLE && (errno == EMFILE || errno == ENFILE)) {
    // Out of descriptors: nothing is wrong with the file, and a lookup
    // or another attempt would fail alike.
    c->open_errno = errno;
    c->outcome = CAND_UNOPENED;
    return;
  }
  if (fh == PLAT_INVALID_HANDLE) {
    if (!PLAT_NAMES_BY_MODE && !candidate_exists(c->dir, path)) {
      c->outcome = CAND_MISSING;
      return;
    }
    fh = open_for_reading_again(c->dir, path, &c->id);
    if (fh == PLAT_INVALID_HANDLE) {
      c->outcome = CAND_UNOPENED;
      return;
    }
  }
  c->fh = fh;
  c->outcome = CAND_OPENED;
  c->n = read_bytes(fh, c->data, READ_SIZE);
  if (c->n < 0)
    c->read_errno = errno;
}

void discard_candidate(struct candidate *c) {
  if (c->fh != PLAT_INVALID_HANDLE)
    plat_close(c->fh);
  c->fh = PLAT_INVALID_HANDLE;
}

// -a: c, a file named like an archive that no pattern matches, searched as
// an archive only: not counted, and not judged when it is none.
static void open_as_archive_only(struct candidate *c) {
  if (c->outcome == CAND_UNOPENED) {
    fprintf(stderr, "couldn't open %s\n", shown_name(c->path));
    return;
  }
  if (c->outcome == CAND_OPENED && !is_hit_id(&c->id)) {
    if (c->n < 0) {
      fprintf(stderr, "couldn't read %s: %s\n", shown_name(c->path), strerror(c->read_errno));
    } else {
      search_archive(c->fh, c->path, c->data, c->n, c->id.size);
    }
  }
  discard_candidate(c);
}

void examine_candidate(struct candidate *c) {
  const char *path = c->path;
  switch (c->outcome) {
    case CAND_TOO_LONG:
      say_path_too_long(path, "");
      return;
    case CAND_HIT_NAME:
    case CAND_MISSING:
      return;
    default:
      break;
  }
  if (abort_key_pressed()) {
    discard_candidate(c);
    exit_program(USER_ABORTED);
  }
  if (c->archive_only) {
    open_as_archive_only(c);
    return;
  }
  size_t len = strlen(path);
  memcpy(pg_complete_path, path, len + 1);
  memcpy(pg_check_path, path, len + 1);

  const char *display = display_name(pg_check_path);

  if (c->outcome == CAND_COM) {
    g_files_searched++;
    return;
  }
  // The hit file reached by another name (a link) is passed over like the
  // hit file itself: known by the identity that the open has read.
  if (c->outcome == CAND_OPENED && is_hit_id(&c->id)) {
    discard_candidate(c);
    return;
  }
  g_files_searched++;
  if (c->outcome == CAND_UNOPENED) {
    fprintf(stderr, "couldn't open %s\n", shown_name(pg_check_path));
    return;
  }
  long n = c->n;
  int kind = CONFIRM_NONE;
  bool archive = false;
  if (n < 0)
    fprintf(stderr, "couldn't read %s: %s\n", shown_name(pg_check_path), strerror(c->read_errno));
  if (g_settings->search_archives && n >= 0 && unpack_text_around(c->data, n)) {
    // -a: a mail that carries a BinHex attachment is judged as the file it
    // is, then searched for the attachment's member.
    if (g_settings->confirm)
      report_confirmed(display, read_and_confirm(c->fh, c->data, n), c->data, n);
    else
      report_class(display, c->data, n);
    search_archive(c->fh, pg_check_path, c->data, n, c->id.size);
    discard_candidate(c);
    return;
  }
  if (g_settings->search_archives && n >= 0) {
    // -a: the first bytes tell whether it is an archive; an archive's own
    // bytes are not judged, its members are.  The reader moves the file's
    // position: -c reads on from n again.
    archive = search_archive(c->fh, pg_check_path, c->data, n, c->id.size);
    if (!archive && g_settings->confirm && plat_seek(c->fh, n, 0) != n)
      n = -1;
  }
  if (!archive && g_settings->confirm)  // -c: only material that parses, named as found
    kind = read_and_confirm(c->fh, c->data, n);
  discard_candidate(c);
  if (archive)
    return;
  if (g_settings->confirm)
    report_confirmed(display, kind, c->data, n);
  else
    report_class(display, c->data, n);
}

void judge_bytes(const char *display, long n, confirm_reader read_on, void *source) {
  if (g_settings->confirm)
    report_confirmed(display, confirm_first_bytes(g_inbuf, n, read_on, source), g_inbuf, n);
  else
    report_class(display, g_inbuf, n);
}

void check_file(const char *directory, const char *file_name) {
  static char path[PATH_BUF + PLAT_NAME_MAX];
  if (!join_path(path, sizeof path, directory, file_name))
    return;
  struct candidate c;
  c.dir = PLAT_NO_DIR;
  c.path = path;
  c.regular = 0;
  c.archive_only = 0;
  c.data = g_inbuf;
  open_candidate(&c);
  examine_candidate(&c);
}
