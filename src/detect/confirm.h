// The confirming mode (-c): a candidate is reported only when its bytes
// parse as PGP material, binary packets or ASCII armour, and the hit line
// names what was found.
#ifndef KIVOR_DETECT_CONFIRM_H_
#define KIVOR_DETECT_CONFIRM_H_

#include <stdint.h>

#include "platform/platform.h"

enum confirm_kind {
  CONFIRM_NONE = 0,
  CONFIRM_PUBLIC_KEY,
  CONFIRM_SECRET_KEY,
  CONFIRM_SIGNATURE,
  CONFIRM_SIGNED,
  CONFIRM_ONE_PASS,
  CONFIRM_PK_ENCRYPTED,
  CONFIRM_CONVENTIONAL,
  CONFIRM_COMPRESSED,
  CONFIRM_LITERAL,
  CONFIRM_ARMOURED_KEY,
  CONFIRM_ARMOURED_SIGNATURE,
  CONFIRM_ARMOURED_MESSAGE,
  CONFIRM_CLEAR_SIGNED,
  CONFIRM_ARMOURED_FILE,
  CONFIRM_KINDS,
};

// What confirm_first_bytes returns for armour that runs past
// CONFIRM_STREAM_MAX: the caller reports the file as the first-byte test
// does.
enum { CONFIRM_PAST_LIMIT = -1 };

enum {
  CONFIRM_READ_MAX = 1 << 20,                        // the bytes held at once
  CONFIRM_STREAM_MAX = 64L << 20,                    // armour read on through up to this
  CONFIRM_SCRATCH = CONFIRM_READ_MAX / 4 * 3 + 16,   // decoded radix-64 of it
};

// The hit-line text of each kind ("" for CONFIRM_NONE).
extern const char *const g_confirm_kinds[CONFIRM_KINDS];

// What bytes[0, n) hold: a packet chain from the first byte, else the first
// armour block that is confirmed.  may_be_cut says the bytes are a prefix of
// a longer file; *wants_more (which may be NULL) is then set when material
// begins but runs past n, so that more bytes could decide or correct the
// answer.  scratch must hold scratch_size >= n * 3 / 4 + 3 bytes.
int confirm_buffer(const uint8_t *bytes, long n, bool may_be_cut, uint8_t *scratch,
                   long scratch_size, bool *wants_more);

// Confirms the file open on h, whose first read gave the n bytes at first
// (n up to READ_SIZE; -1 when that read failed): when they hold material
// that runs past them, or when a text file (no NUL byte) holds none, reads
// on from h up to CONFIRM_READ_MAX bytes; an armour block that runs past
// them is read on through, line by line, up to CONFIRM_STREAM_MAX bytes
// into the file (past that CONFIRM_PAST_LIMIT).  Files shorter than 10 bytes are
// never confirmed.  Its two buffers are allocated on the first call; when
// they cannot be, the run ends with INSUFFICIENT MEMORY.
int read_and_confirm(plat_handle h, const uint8_t *first, long n);

// Reads up to count more bytes of a file into into: the count read, 0 at
// its end, below 0 on failure.
typedef long (*confirm_reader)(void *source, uint8_t *into, size_t count);

// Confirms a file of which the first n bytes (n at most READ_SIZE; below 0
// when that read failed) are at bytes, as read_and_confirm does; the rest,
// where it is wanted, comes through read_on(source, ...) (an archive
// member's stream), or is not read when read_on is NULL.  Shares the
// buffers of read_and_confirm.
int confirm_first_bytes(const uint8_t *bytes, long n, confirm_reader read_on, void *source);

#endif  // KIVOR_DETECT_CONFIRM_H_
