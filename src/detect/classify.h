// Classification of one candidate file by its first bytes.
#ifndef KIVOR_DETECT_CLASSIFY_H_
#define KIVOR_DETECT_CLASSIFY_H_

#include <stddef.h>

#include "detect/confirm.h"

enum { KIND_SLOTS = 16, KIND_TEXT = 64, MARKER_KIND = 15 };

// Kind texts indexed by packet tag 0 to 14; slot 15 is the marker hit's.
extern const char g_packet_kinds[KIND_SLOTS][KIND_TEXT];

// Examines directory + file_name: counts it, reads its first bytes and
// writes at most one hit line to g_hit_stream.  directory ends in the
// separator.  Ends the run on a user abort.
void check_file(const char *directory, const char *file_name);

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

// Judges the n bytes of a candidate read into g_inbuf and writes at most one
// hit line for it, naming it display.  Under -c they are confirmed, and
// read_on(source, ...) brings more of the candidate where that is wanted
// (NULL: nothing more can be read).  Fewer than 10 bytes are never a hit.
void judge_bytes(const char *display, long n, confirm_reader read_on, void *source);

// True when the last component of path ends in ".COM", in any case.
bool is_com_file(const char *path);

// True when the first packet's stated length in g_inbuf is nonzero and the
// packet (header and body) fits within the n bytes read.
bool packet_length_fits(long n);

// True when buffer begins with the OpenPGP marker packet, or "PGP" begins
// within the first ten bytes and ends within the n bytes read.
bool has_pgp_marker(const unsigned char *buffer, long n);

#endif  // KIVOR_DETECT_CLASSIFY_H_
