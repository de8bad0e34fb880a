// Reading ahead of the examination.
//
// The walk decides what is examined and in which order; it hands each step
// (a directory entered, a directory line, a message, a file, a directory
// left) to this module as an event.  Events are consumed strictly in the
// order they were made, on the thread that called ra_run, which does
// everything that is seen: so the output is the same whether or not there
// are threads.  With reader threads, the walk runs on a thread of its own
// (reading directory listings ahead) and the readers open files and make
// their first read ahead of the consumer, into a fixed ring of events that
// is allocated once: memory is bounded by the ring, never by the tree.  A
// directory handle that an event refers to stays open until the directory's
// RA_LEAVE event has been consumed, which comes after every file in it.
#ifndef KIVOR_SEARCH_READAHEAD_H_
#define KIVOR_SEARCH_READAHEAD_H_

#include "platform/platform.h"
#include "search/examine.h"

enum ra_kind {
  RA_ENTER,    // a directory is about to be entered: the consumer polls for an abort
  RA_LINE,     // text: a directory line
  RA_MESSAGE,  // message, text, pattern, err: a message of the walk
  RA_FILE,     // file: a candidate; open_candidate has run when it is consumed
  RA_LEAVE,    // dir: a directory the walk is done with, for the consumer to close
};

struct ra_event {
  int kind;
  int message;     // RA_MESSAGE: which (the walk's own numbering)
  int pattern;     // RA_MESSAGE: index of a pattern that follows text, or -1
  int err;         // RA_MESSAGE: the system's reason
  plat_dir dir;    // RA_LEAVE
  char *text;      // a path: PATH_BUF + PLAT_NAME_MAX bytes
  struct candidate file;  // RA_FILE; file.path is text
};

// Settings for the module's own tests, which make its rarer paths run on
// any machine: the consumer's own reads taken for slow, as on a cold disk
// (a slow one ends its run of events and hands the rest back to the
// readers), and threads that fail to start, as where the system has none
// left to give.  A run leaves them as they are.
struct ra_test_settings {
  int own_reads_slow;  // nonzero: every read the consumer makes itself counts as slow
  int reader_starts;   // reader threads that may start, -1 for no limit
  int walker_fails;    // nonzero: the walk's thread does not start
};
extern struct ra_test_settings ra_test;

// The number of reader threads a run uses: KIVOR_READERS when it is set to
// a number from 1 to 64, otherwise the default.  1 means none at all: the
// walk, the reads and the examination all run on the calling thread, one
// file after another.
int ra_reader_count(void);

// Runs produce(arg), which makes events with ra_claim and ra_publish, and
// hands every event to consume in order, on the calling thread.  idle is
// called on the calling thread at least every few milliseconds while it
// waits for an event (to poll for an abort).  consume and idle may end the
// process (exit_program calls ra_stop first).  Returns when produce has
// returned and every event has been consumed; every thread has ended then.
// Ends the run with INSUFFICIENT MEMORY when the ring cannot be allocated.
void ra_run(void (*produce)(void *arg), void *arg, void (*consume)(struct ra_event *e),
            void (*idle)(void));

// For produce: the event to fill next (kind, and what that kind uses; text
// is there to write into).  Waits while the ring is full.  NULL when the
// run is being stopped: produce must then return at once, closing what it
// still holds that was not handed over.
struct ra_event *ra_claim(void);

// For produce, before each call that reads a listing: hands over every
// event published so far, and where names are shown by
// the OEM/ANSI setting (PLAT_NAMES_BY_MODE) and that has not yet settled on
// ANSI (which the examination of the first files decides, for good), waits
// until every event handed over has been consumed, so that what it lists
// is shown in the setting a one-at-a-time run gives it.  Otherwise returns
// at once.
void ra_listing_point(void);

// For produce: hands over the event ra_claim gave, filled.  A directory
// named by an RA_FILE (file.dir) or RA_LEAVE event now belongs to the run
// until its RA_LEAVE is consumed.  Events reach the readers and the
// consumer in batches: at the latest with ra_open_dir, ra_listing_point,
// a ra_claim that finds the ring full, or the end of produce.
void ra_publish(struct ra_event *e);

// For produce: plat_dir_open(path) when parent is PLAT_NO_DIR, else
// plat_dir_open_sub(parent, path, name).  First lets the readers and the
// consumer have every event published so far (the open may wait on the
// device), and, where the open-file limit is near, waits until the events
// in flight have given back enough descriptors.  The directory counts
// against the limit until it is closed by ra_close_dir or by the
// consumption of its RA_LEAVE event.  The readers read ahead only as far
// as the descriptors left over allow.
plat_dir ra_open_dir(plat_dir parent, const char *path, const char *name);

// For produce: closes a directory from ra_open_dir that was not handed
// over in an RA_LEAVE event (PLAT_NO_DIR is allowed).
void ra_close_dir(plat_dir d);

// Stops a run in progress, from the thread that called ra_run (inside
// consume or idle): no further event is consumed, reads in flight are
// waited out and dropped, every thread is joined, and every file and
// directory still held by an event is closed.  Nothing when no run is in
// progress.
void ra_stop(void);

#endif  // KIVOR_SEARCH_READAHEAD_H_
