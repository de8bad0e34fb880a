// Reading on for the confirming mode (-c): the first bytes of a candidate
// are confirmed by detect/confirm.h, and where they do not suffice more of
// the file is read, from its handle or through a reader (an archive
// member's stream).  One caller at a time: the two buffers are the module's.
#ifndef KIVOR_SEARCH_CONFIRM_READ_H_
#define KIVOR_SEARCH_CONFIRM_READ_H_

#include <stddef.h>
#include <stdint.h>

#include "detect/confirm.h"
#include "platform/platform.h"

enum { CONFIRM_STREAM_MAX = 64L << 20 };  // armour read on through up to this

// What confirm_first_bytes returns for armour that runs past
// CONFIRM_STREAM_MAX: the caller reports the file as the first-byte test
// does.
enum { CONFIRM_PAST_LIMIT = -1 };

// Confirms the file open on h, whose first read gave the n bytes at first
// (n up to READ_SIZE; -1 when that read failed): when they hold material
// that runs past them, or when a text file (no NUL byte) holds none, reads
// on from h up to CONFIRM_READ_MAX bytes; an armour block that runs past
// them is read on through, line by line, up to CONFIRM_STREAM_MAX bytes
// into the file (past that CONFIRM_PAST_LIMIT).  Files shorter than 10 bytes are
// never confirmed.  Its two buffers are allocated on the first call; when
// they cannot be, the run ends with INSUFFICIENT MEMORY.
int read_and_confirm(plat_handle h, const uint8_t *first, long n);

// Reads up to count more bytes of a file into into: the count read, 0 at
// its end, below 0 on failure.
typedef long (*confirm_reader)(void *source, uint8_t *into, size_t count);

// A confirm_reader for a file open as a handle: source points to it.
long read_from_handle(void *source, uint8_t *into, size_t count);

// Confirms a file of which the first n bytes (n at most READ_SIZE; below 0
// when that read failed) are at bytes, as read_and_confirm does; the rest,
// where it is wanted, comes through read_on(source, ...) (an archive
// member's stream), or is not read when read_on is NULL.  Shares the
// buffers of read_and_confirm.
int confirm_first_bytes(const uint8_t *bytes, long n, confirm_reader read_on, void *source);

#endif  // KIVOR_SEARCH_CONFIRM_READ_H_
