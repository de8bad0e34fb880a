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
// up to the blank line are skipped (a block whose header lines are not all
// "Key: value", or whose type is not in the list, needs a matching CRC
// line, and its packets name its kind); the body must be clean radix-64, its
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

// As find_armour, and sets *cut_block (when not NULL) to where the header
// line of a block that runs past n starts, when *runs_past is set for one
// (not for the text of a SIGNED MESSAGE); else to -1.
int find_armour_from(const uint8_t *text, long n, bool may_be_cut, uint8_t *scratch,
                     long scratch_size, bool *runs_past, long *cut_block);

// One block read line by line through text given piece by piece, so that
// a block of any length is read in bounded memory.  Plain record; set up
// with armour_stream_begin.
struct armour_stream {
  int type;
  long part;
  int phase;
  bool loose;        // header lines not of the "Key: value" form
  uint32_t acc;      // radix-64 bits not yet a byte
  int bits;
  long chars, pads;  // body characters, '=' among them
  long size, kept;   // decoded bytes in all; the first of them kept in scratch
  uint32_t crc_run;  // CRC-24 of the decoded bytes
  bool has_crc;
  uint32_t crc;      // the CRC line's value
};

void armour_stream_begin(armour_stream *s);

// Takes the whole lines of text[0, n), the block's header line first, and
// returns how many bytes it used: the caller keeps the rest and gives it
// again with the bytes that follow.  at_end says no bytes follow.  The
// decoded bytes are kept in scratch as far as scratch_size allows.
long armour_stream_feed(armour_stream *s, const uint8_t *text, long n, bool at_end,
                        uint8_t *scratch, long scratch_size);

// Whether the block is decided (its end line read, or found bad), and what
// it confirms then (the same scratch as fed).
bool armour_stream_done(const armour_stream *s);
int armour_stream_result(const armour_stream *s, const uint8_t *scratch);

// Whether the block read to its end line with a clean body (whatever its
// packets hold).
bool armour_stream_clean(const armour_stream *s);

// One line of text: [start, end) without its line end: LF, CR alone, or
// CRs then LF (CR LF, and the CR CR LF of text converted twice); next is
// where the following line starts; ended says a line end was seen (a line
// without one runs to the end of the bytes read).
struct armour_line {
  long start, end, next;
  bool ended;
};

// The line of the n bytes at t that starts at pos into *l; false at the end.
bool armour_next_line(const uint8_t *t, long n, long pos, armour_line *l);

// Where line l ends without its trailing blanks and tabs.
long armour_trimmed_end(const uint8_t *t, const armour_line *l);

#endif  // KIVOR_DETECT_ARMOUR_H_
