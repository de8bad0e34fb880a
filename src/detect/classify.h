// Classification of one candidate file by its first bytes.
#ifndef KIVOR_DETECT_CLASSIFY_H_
#define KIVOR_DETECT_CLASSIFY_H_

#include <stddef.h>

enum { KIND_SLOTS = 16, KIND_TEXT = 64, MARKER_KIND = 15 };

// Kind texts indexed by packet tag 0 to 14; slot 15 is the marker hit's.
extern const char g_packet_kinds[KIND_SLOTS][KIND_TEXT];

// Examines directory + file_name: counts it, reads its first bytes and
// writes at most one hit line to g_hit_stream.  directory ends in the
// separator.  Ends the run on a user abort.
void check_file(const char *directory, const char *file_name);

// Judges the n bytes of a candidate read into g_inbuf (with room for one
// more) and writes at most one hit line for it, naming it display.  Fewer
// than 10 bytes are never a hit.
void judge_bytes(const char *display, long n);

// True when the last component of path ends in ".COM", in any case.
bool is_com_file(const char *path);

// True when the first packet's stated length in g_inbuf is nonzero and the
// packet (header and body) fits within the n bytes read.
bool packet_length_fits(long n);

// True when buffer begins with the OpenPGP marker packet, or "PGP" begins
// within the first ten bytes and ends within the n bytes read.
bool has_pgp_marker(const unsigned char *buffer, long n);

#endif  // KIVOR_DETECT_CLASSIFY_H_
