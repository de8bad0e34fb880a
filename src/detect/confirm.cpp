// The confirming mode: the kind texts, the decision and the reading.
#include "detect/confirm.h"

#include <string.h>

#include "detect/access.h"
#include "detect/armour.h"
#include "detect/packets.h"
#include "run/exit.h"
#include "run/globals.h"
#include "run/startup.h"

const char *const g_confirm_kinds[CONFIRM_KINDS] = {
    "",
    "public key certificate",
    "secret key certificate",
    "signature",
    "signed message",
    "one-pass signed message",
    "encrypted",
    "conventional key encryption",
    "compressed data",
    "literal data",
    "ascii armored key",
    "ascii armored signature",
    "ascii armored message",
    "clear-signed message",
    "ascii armored file",
};

static const unsigned char chain_kinds[] = {
    CONFIRM_NONE,         CONFIRM_PUBLIC_KEY,   CONFIRM_SECRET_KEY,
    CONFIRM_SIGNATURE,    CONFIRM_SIGNED,       CONFIRM_ONE_PASS,
    CONFIRM_PK_ENCRYPTED, CONFIRM_CONVENTIONAL, CONFIRM_COMPRESSED,
    CONFIRM_LITERAL,
};

static const unsigned char armour_kinds[] = {
    CONFIRM_NONE,          CONFIRM_ARMOURED_KEY,  CONFIRM_ARMOURED_SIGNATURE,
    CONFIRM_ARMOURED_MESSAGE, CONFIRM_CLEAR_SIGNED, CONFIRM_ARMOURED_FILE,
};

int confirm_buffer(const uint8_t *bytes, long n, bool may_be_cut, uint8_t *scratch,
                   long scratch_size, bool *wants_more) {
  bool past = false;
  int kind = CONFIRM_NONE;
  if (n > 0 && bytes[0] >= 0x80) {
    int chain = parse_packet_chain(bytes, n, may_be_cut, &past);
    kind = chain_kinds[chain];
  }
  if (kind == CONFIRM_NONE)
    kind = armour_kinds[find_armour(bytes, n, may_be_cut, scratch, scratch_size, &past)];
  if (wants_more != NULL)
    *wants_more = past;
  return kind;
}

static uint8_t *buffer = NULL;   // CONFIRM_READ_MAX, made on the first use
static uint8_t *scratch = NULL;  // CONFIRM_SCRATCH

static void allocate_confirm_buffers(void) {
  if (buffer != NULL)
    return;
  buffer = (uint8_t *)run_alloc(CONFIRM_READ_MAX);
  scratch = (uint8_t *)run_alloc(CONFIRM_SCRATCH);
  if (buffer == NULL || scratch == NULL) {
    fputs("Couldn't create the confirming buffers\n", stderr);
    exit_program(INSUFFICIENT_MEMORY);
  }
}

int confirm_first_bytes(const uint8_t *bytes, long n, confirm_reader read_on, void *source) {
  allocate_confirm_buffers();
  if (n < 10)
    return CONFIRM_NONE;
  bool more = n == READ_SIZE;
  bool wants_more;
  int kind = confirm_buffer(bytes, n, more, scratch, CONFIRM_SCRATCH, &wants_more);
  // Read on where the bytes hold material that runs past them, or where a
  // text file (no NUL byte) holds none; only then are they copied.
  if (read_on == NULL || !more ||
      !(wants_more || (kind == CONFIRM_NONE && memchr(bytes, 0, (size_t)n) == NULL)))
    return kind;
  memcpy(buffer, bytes, (size_t)n);
  while (n < CONFIRM_READ_MAX) {
    long got = read_on(source, buffer + n, (size_t)(CONFIRM_READ_MAX - n));
    if (got <= 0)
      break;
    n += got;
  }
  return confirm_buffer(buffer, n, n == CONFIRM_READ_MAX, scratch, CONFIRM_SCRATCH, NULL);
}

// read_on for a file open as a handle.
static long read_handle(void *source, uint8_t *into, size_t count) {
  return read_bytes(*(plat_handle *)source, into, count);
}

int read_and_confirm(plat_handle h, const uint8_t *first, long n) {
  return confirm_first_bytes(first, n, read_handle, &h);
}
