// Reading on for the confirming mode (-c): a candidate whose first bytes
// hold material that runs past them, or a text file that holds none, is
// read further (from its handle, or from an archive member's stream) and
// confirmed by detect/confirm.h; an armour block is read on through line
// by line.
#include "search/confirm_read.h"

#include <stdio.h>
#include <string.h>

#include "detect/armour.h"
#include "run/exit.h"
#include "run/globals.h"
#include "run/startup.h"
#include "search/access.h"

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

// Reads on into buffer[n, CONFIRM_READ_MAX): the bytes it then holds.
static long fill(uint8_t *into, long n, confirm_reader read_on, void *source) {
  while (n < CONFIRM_READ_MAX) {
    long got = read_on(source, into + n, (size_t)(CONFIRM_READ_MAX - n));
    if (got <= 0)
      break;
    n += got;
  }
  return n;
}

// The armour block whose header line is at buffer[block], which runs past
// the n bytes held: read on through, the buffer holding the lines not yet
// taken, up to CONFIRM_STREAM_MAX bytes into the file.
static int stream_armour(long block, long n, confirm_reader read_on, void *source) {
  armour_stream s;
  armour_stream_begin(&s);
  long base = 0;  // where in the file buffer[0] is
  long at = block;
  for (;;) {
    bool at_end = n < CONFIRM_READ_MAX;
    long used = armour_stream_feed(&s, buffer + at, n - at, at_end, scratch, CONFIRM_SCRATCH);
    if (armour_stream_done(&s))
      return confirm_armour_kind(armour_stream_result(&s, scratch));
    if (at_end || used == 0)  // no end line, or a line longer than the buffer
      return CONFIRM_NONE;
    if (base + n >= CONFIRM_STREAM_MAX)
      return CONFIRM_PAST_LIMIT;
    at += used;
    base += at;
    memmove(buffer, buffer + at, (size_t)(n - at));
    n = fill(buffer, n - at, read_on, source);
    at = 0;
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
  n = fill(buffer, n, read_on, source);
  bool cut = n == CONFIRM_READ_MAX;
  kind = confirm_buffer(buffer, n, cut, scratch, CONFIRM_SCRATCH, &wants_more);
  if (kind != CONFIRM_NONE || !wants_more)
    return kind;
  // An armour block that runs past the bytes held is read on through.
  long block;
  find_armour_from(buffer, n, true, scratch, CONFIRM_SCRATCH, &wants_more, &block);
  return block < 0 ? CONFIRM_NONE : stream_armour(block, n, read_on, source);
}

long read_from_handle(void *source, uint8_t *into, size_t count) {
  return read_bytes(*(plat_handle *)source, into, count);
}

int read_and_confirm(plat_handle h, const uint8_t *first, long n) {
  return confirm_first_bytes(first, n, read_from_handle, &h);
}
