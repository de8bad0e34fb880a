// The reading of a hit for the reports (--json, --csv) and the key
// inventory (--keys): its bytes, from the first, taken in the order they
// come, give its size, its SHA-256 and its material (a packet chain read
// to its end, whatever its length; the armour of text in its first
// CONFIRM_READ_MAX bytes).  Nothing is hashed or parsed until the bytes
// outgrow the buffer or the hit is known, so that a candidate that is no
// hit costs at most a copy.  One hit at a time; the buffers are allocated
// on the first use and kept.
#ifndef KIVOR_SEARCH_HIT_READ_H_
#define KIVOR_SEARCH_HIT_READ_H_

#include <stddef.h>
#include <stdint.h>

#include "detect/material.h"
#include "log/report.h"
#include "search/confirm_read.h"

// Starts the reading of one file: with digest, its SHA-256; with wanted,
// its material, every part of it also to sink (may be NULL).  Ends the run
// with INSUFFICIENT MEMORY when the buffers cannot be had.
void hit_read_begin(bool digest, bool wanted, const material_sink *sink);

// The next n bytes of the file.
void hit_read_take(const uint8_t *bytes, size_t n);

// Reads the rest of the file through read_on(source, ...) to its end,
// polling for a stop every few MiB: 1 when it reached the end, 0 when it
// stopped early because nothing more is wanted (no digest, the material
// complete), -1 when a read failed.
int hit_read_rest(confirm_reader read_on, void *source);

// Ends the reading; with whole, the bytes taken were the whole file and
// *f gets all it found, else only the material of what was taken.  f->m
// stays valid until the next hit_read_begin.
void hit_read_end(bool whole, struct hit_facts *f);

// Ends the reading of a file that turned out to be no hit.
void hit_read_drop(void);

// A reader that passes on what read_on(source, ...) reads, taking it on
// the way: for a member read once, judged, and read on to its end when it
// is a hit.
struct hit_tee {
  confirm_reader read_on;
  void *source;
};
long hit_read_tee(void *tee, uint8_t *into, size_t count);

#endif  // KIVOR_SEARCH_HIT_READ_H_
