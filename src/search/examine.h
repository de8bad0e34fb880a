// The examination of one candidate file, and its classification by its first bytes.
#ifndef KIVOR_SEARCH_EXAMINE_H_
#define KIVOR_SEARCH_EXAMINE_H_

#include <stddef.h>

#include "detect/confirm.h"
#include "platform/platform.h"

enum { KIND_SLOTS = 16, KIND_TEXT = 64, MARKER_KIND = 15 };

// Kind texts indexed by packet tag 0 to 14; slot 15 is the marker hit's.
extern const char g_packet_kinds[KIND_SLOTS][KIND_TEXT];

// Examines directory + file_name: counts it, reads its first bytes and
// writes at most one hit line to g_hit_stream.  directory ends in the
// separator.  Ends the run on a user abort.  The same as open_candidate
// and examine_candidate, one after the other, reaching the file by its path.
void check_file(const char *directory, const char *file_name);

// One file of the walk on its way through check_file, in two halves: what
// can be done ahead of time and on any thread (the open and the first
// read), and what is seen (counting, messages, the hit line), in order.
enum candidate_outcome {
  CAND_TOO_LONG,  // directory and name do not fit the path limit
  CAND_HIT_NAME,  // the hit file's own name
  CAND_MISSING,   // no such entry (any more): neither counted nor said
  CAND_COM,       // skipped as a .COM file: counted, not opened
  CAND_UNOPENED,  // there, but it could not be opened
  CAND_OPENED,    // open on fh, with the first read in data
};

struct candidate {
  // Filled by the walk.
  plat_dir dir;          // the open directory it is an entry of, or PLAT_NO_DIR
  char *path;            // directory and name, PATH_BUF + PLAT_NAME_MAX bytes
  int regular;           // the listing knows it as a regular file
  int archive_only;      // -a: opened as an archive only, neither counted nor judged
  unsigned char *data;   // READ_SIZE bytes for the first read
  // Filled by open_candidate.
  int outcome;
  plat_handle fh;        // CAND_OPENED: open, for examine_candidate to close
  int open_errno;        // CAND_UNOPENED: EMFILE or ENFILE when out of descriptors, else 0
  struct plat_file_id id;
  long n;                // the first read's count, -1 when it failed
  int read_errno;        // and then why
};

// Opens c and makes its first read of up to READ_SIZE bytes, as the
// examination would.  Touches no output, no counter and no global that the
// run changes; safe to call on several candidates at once from different
// threads.
void open_candidate(struct candidate *c);

// What check_file shows and counts for c after open_candidate: the abort
// poll, the counting, the messages and the hit line, in check_file's order.
// Closes c's file.  Main thread only; ends the run on a user abort (c's
// file closed first).
void examine_candidate(struct candidate *c);

// Closes c's file, when open_candidate left one open, without examining it.
void discard_candidate(struct candidate *c);

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

#endif  // KIVOR_SEARCH_EXAMINE_H_
