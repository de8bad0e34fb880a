// The first-byte test: the packet branch and the text branch, and the
// kind texts they name.
#include "detect/classify.h"

#include <stdint.h>
#include <string.h>

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


bool packet_length_fits(const unsigned char *b, long n) {
  if (n < 1 || n < header_size[b[0] & 3])
    return false;  // no room for the length field, let alone the body
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
  if (length == 0)
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
      if (!packet_length_fits(b, n))
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
