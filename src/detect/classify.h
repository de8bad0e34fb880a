// The first-byte test: what the first bytes of a candidate are taken for,
// and the kind texts of its hit lines.  Pure routines on the bytes given:
// no globals of the run, no allocation, no output, no read outside
// [b, b + n).
#ifndef KIVOR_DETECT_CLASSIFY_H_
#define KIVOR_DETECT_CLASSIFY_H_

enum { KIND_SLOTS = 16, KIND_TEXT = 64, MARKER_KIND = 15 };

// Kind texts indexed by packet tag 0 to 14; slot 15 is the marker hit's.
extern const char g_packet_kinds[KIND_SLOTS][KIND_TEXT];

// What the first bytes of a file are taken for: the kind text of its hit
// line and the suffix that follows it ("" for none); kind is NULL when the
// bytes make no hit.  Both point to constant texts.
struct file_class {
  const char *kind;
  const char *suffix;
};

// Judges the first n bytes of a file at b: the packet branch for a first
// byte of 0x80 or more, otherwise the text branch, which looks for the
// armour strings up to the first zero byte.  Fewer than 10 bytes are never
// a hit.  Reads only b[0] to b[n - 1], writes nothing, keeps no state.
struct file_class classify_bytes(const unsigned char *b, long n);

// True when the stated length of the packet that begins at b is nonzero
// and the packet (header and body) fits within the n bytes there.
bool packet_length_fits(const unsigned char *b, long n);

// True when buffer begins with the OpenPGP marker packet, or "PGP" begins
// within the first ten bytes and ends within the n bytes there.
bool has_pgp_marker(const unsigned char *buffer, long n);

#endif  // KIVOR_DETECT_CLASSIFY_H_
