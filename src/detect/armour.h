// ASCII armour in the confirming mode: armour header lines found anywhere
// in the bytes read, radix-64 bodies decoded, CRC-24 lines checked, and the
// decoded packets parsed.  Pure routines on a byte range: no globals, no
// allocation, no read outside the ranges given.
#ifndef KIVOR_DETECT_ARMOUR_H_
#define KIVOR_DETECT_ARMOUR_H_

#include <stdint.h>

enum armour_material {
  ARMOUR_NONE = 0,
  ARMOUR_KEY,           // a PUBLIC, PRIVATE or SECRET KEY BLOCK
  ARMOUR_SIGNATURE,     // a SIGNATURE block, or a MESSAGE holding signatures only
  ARMOUR_MESSAGE,       // any other MESSAGE (its parts included)
  ARMOUR_CLEAR_SIGNED,  // a SIGNED MESSAGE confirmed by its SIGNATURE block
  ARMOUR_FILE,          // an ARMORED FILE (its parts included)
};

// Looks for armour in text[0, n) and returns what the first confirmed block
// holds, or ARMOUR_NONE.  A header line is "-----BEGIN PGP <type>-----" at
// the start of a line with nothing after it but blanks; the armour headers
// up to the blank line are skipped; the body must be clean radix-64, its
// CRC line (where there is one) must match, the end line must follow, and
// the decoded bytes must parse as a packet chain (a matching CRC will do
// for an ARMORED FILE; the parts after the first of a multi-part message or
// file, whose bytes start mid-stream, are confirmed by their clean body and
// keep the kind of their type).  A SIGNED MESSAGE is confirmed by the
// SIGNATURE block after its text.  scratch receives the decoded bytes; it
// must hold scratch_size >= n * 3 / 4 + 3 bytes, else nothing is confirmed.
// When may_be_cut is true, text is a prefix of a longer file, and a block
// that runs to its end sets *runs_past (which may be NULL) when nothing
// earlier was confirmed.
int find_armour(const uint8_t *text, long n, bool may_be_cut, uint8_t *scratch,
                long scratch_size, bool *runs_past);

#endif  // KIVOR_DETECT_ARMOUR_H_
