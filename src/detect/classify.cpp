// check_file: the examination of one candidate, and its two small tests.
#include "detect/classify.h"

#include <stdio.h>
#include <string.h>

#include "detect/access.h"
#include "detect/shorten.h"
#include "run/abort.h"
#include "run/exit.h"
#include "run/globals.h"
#include "search/archive.h"

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

bool packet_length_fits(long n) {
  const unsigned char *b = g_inbuf;
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

bool has_pgp_marker(const unsigned char *buffer, long n) {
  static const unsigned char marker[] = {0xA8, 0x03, 'P', 'G', 'P'};
  if (n >= (long)sizeof marker && memcmp(buffer, marker, sizeof marker) == 0)
    return true;
  for (long i = 0; i < n && i < 10 && i + 3 <= n; i++)
    if (buffer[i] == 'P' && buffer[i + 1] == 'G' && buffer[i + 2] == 'P')
      return true;
  return false;
}

// Writes the start of a hit line: the name in its field and the kind.
static void hit_line_start(const char *display, const char *kind) {
  int w = g_settings->name_width;
  fprintf(g_hit_stream, "%-*.*s %s", w, w, display, kind);
}

// The packet branch: at most one hit line for a first byte of 0x80 or more.
static void judge_packet(const char *display, long n) {
  const unsigned char *b = g_inbuf;
  int tag = (b[0] & 0x7C) >> 2;
  int kind = packet_rules[tag].kind;
  const char *suffix = "";

  switch (packet_rules[tag].test) {
    case TEST_NONE:
      break;
    case TEST_LENGTH:
      if (!packet_length_fits(n))
        return;
      break;
    case TEST_MODE: {
      unsigned char mode = b[header_size[b[0] & 3]];
      if (mode != 'b' && mode != 't') {
        if (!has_pgp_marker(b, n))
          return;
        kind = MARKER_KIND;
      }
      break;
    }
    case TEST_MARKER:
      if (!has_pgp_marker(b, n))
        return;
      break;
    default:  // TEST_NEVER
      return;
  }
  if (tag == 1 && (b[4] == 1 || ((b[0] & 1) != 0 && b[5] == 1)))
    suffix = " & signed";
  if (tag == 8 && b[1] == 1)
    suffix = " signature only";
  hit_line_start(display, g_packet_kinds[kind]);
  fputs(suffix, g_hit_stream);
  fputs("\n", g_hit_stream);
  g_hits_found++;
}

// The text branch: ASCII armour, looked for up to the first zero byte.
static void judge_text(const char *display, long n) {
  const char *text = (const char *)g_inbuf;
  const char *kind;

  g_inbuf[n] = 0;
  if (strstr(text, "--BEGIN PGP MESSAGE--") != NULL)
    kind = "possible ascii armor";
  else if (strstr(text, "KEY BLOCK") != NULL)
    kind = "ascii armored key";
  else
    return;
  hit_line_start(display, kind);
  fputs("\n", g_hit_stream);
  g_hits_found++;
}

bool is_com_file(const char *path) {
  const char *last = strrchr(path, PLAT_SEP);
  const char *dot = strrchr(last != NULL ? last : path, '.');
  if (dot == NULL)
    return false;
  static const char com[] = ".COM";
  for (int i = 0; i < 5; i++) {
    char c = dot[i];
    if (c >= 'a' && c <= 'z')
      c = (char)(c - 'a' + 'A');
    if (c != com[i])
      return false;
  }
  return true;
}

void check_file(const char *directory, const char *file_name) {
  int len = snprintf(pg_complete_path, PATH_BUF, "%s%s", directory, file_name);
  if (len < 0 || len >= PATH_BUF) {
    fprintf(stderr, "path too long, skipped: %s%s\n", directory, file_name);
    return;
  }
  memcpy(pg_check_path, pg_complete_path, (size_t)len + 1);

  if (g_hit_file_name[0] != '\0' && plat_path_compare(pg_check_path, g_hit_file_name) == 0)
    return;

  struct plat_find_data fd;
  struct plat_find *h = plat_find_first(pg_check_path, &fd);
  if (h != NULL)
    plat_find_close(h);
  else if (!find_by_wildcards(pg_check_path))
    return;

  if (abort_key_pressed())
    exit_program(USER_ABORTED);

  int width = g_settings->name_width;
  const char *display = g_shorten_style < 0 ? shorten_name_middle(pg_check_path, width)
                                            : shorten_name_prefix(pg_check_path, width);
  if (display == NULL)  // no memory to shorten: show the name as it is
    display = pg_check_path;

  g_files_searched++;
  if (g_settings->skip_com && is_com_file(pg_check_path))
    return;

  plat_handle fh = open_for_reading(pg_check_path);
  if (fh == PLAT_INVALID_HANDLE) {
    fprintf(stderr, "couldn't open %s\n", pg_check_path);
    return;
  }
  long n = read_bytes(fh, g_inbuf, READ_SIZE);
  bool archive = g_settings->search_archives && search_archive(fh, pg_check_path, n);
  plat_close(fh);
  if (!archive)  // an archive's own bytes are not judged: its members are
    judge_bytes(display, n);
}

void judge_bytes(const char *display, long n) {
  if (n < 10)
    return;
  if (g_inbuf[0] < 0x80)
    judge_text(display, n);
  else
    judge_packet(display, n);
}
