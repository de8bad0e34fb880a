// The examination of one candidate file: opened, read, counted, classified
// (detect/classify.h, under -c detect/confirm.h) and reported.
#ifndef KIVOR_SEARCH_EXAMINE_H_
#define KIVOR_SEARCH_EXAMINE_H_

#include <stddef.h>

#include "platform/platform.h"
#include "search/confirm_read.h"

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

// An archive member as the reports name it (log/report.h).
struct member_subject {
  const char *path;               // the file on disk that holds it
  int containers;                 // containers nested in it that hold the member
  const char *const *container;   // their paths, outermost first
  const char *member;             // its path in the innermost
  const char *place;              // the whole, as hit lines show it
  bool has_mtime;
  int64_t mtime;
};

// Judges the n bytes of member s read into g_inbuf and writes at most one
// hit line (or report) for it, naming it display.  Under -c they are
// confirmed, and read_on(source, ...) brings more of the member where that
// is wanted (NULL: nothing more can be read); the reports read a hit on to
// its end through it.  Fewer than 10 bytes are never a hit.
void judge_member(const char *display, long n, confirm_reader read_on, void *source,
                  const struct member_subject *s);

// True when the last component of path ends in ".COM", in any case.
bool is_com_file(const char *path);

#endif  // KIVOR_SEARCH_EXAMINE_H_
