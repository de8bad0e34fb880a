// The confirming mode (-c): a candidate is reported only when its bytes
// parse as PGP material, binary packets or ASCII armour, and the hit line
// names what was found.  The decision on bytes in memory; reading on from
// the file for more of them is search/confirm_read.h's.  Pure routines on
// a byte range: no globals of the run, no allocation, no output, no read
// outside the ranges given.
#ifndef KIVOR_DETECT_CONFIRM_H_
#define KIVOR_DETECT_CONFIRM_H_

#include <stdint.h>

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

enum {
  CONFIRM_READ_MAX = 1 << 20,                        // the bytes held at once
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

// The kind of an armour block that armour.h's routines found to hold
// material (enum armour_material), as confirm_buffer names it.
int confirm_armour_kind(int material);

#endif  // KIVOR_DETECT_CONFIRM_H_
