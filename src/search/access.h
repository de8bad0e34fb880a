// File access for the examination, with the file-name code-page handling.
//
// The interpretation of 8-bit names (ANSI or OEM) is one setting for the
// whole process, which chooses the code page names are shown in, and files
// are opened from several threads at once.  A run starts in the OEM
// interpretation and settles on ANSI, for good, with the first file opened
// whose name the two code pages write alike.  Opens under the ANSI
// interpretation run side by side; whatever changes the setting (the first
// attempts, the lookup by wildcards) runs alone.
#ifndef KIVOR_SEARCH_ACCESS_H_
#define KIVOR_SEARCH_ACCESS_H_

#include <stddef.h>

#include "platform/platform.h"

// The first attempt of the open: path (an entry of the open directory dir,
// or PLAT_NO_DIR) under the ANSI interpretation, when that is the current
// one; PLAT_INVALID_HANDLE when it is not or the open fails.  regular and
// id as for plat_open_read_in.  After a success the mode stays ANSI.
plat_handle open_for_reading(plat_dir dir, const char *path, int regular,
                             struct plat_file_id *id);

// The attempt that follows a failed open_for_reading.  In the OEM
// interpretation: under the ANSI one if the two code pages write path
// alike (plat_name_reads_alike), which stays after a success; otherwise,
// or when that fails, under the OEM one.  In the ANSI interpretation: once
// more under it, which nothing changes again.  PLAT_INVALID_HANDLE when
// every attempt fails.
plat_handle open_for_reading_again(plat_dir dir, const char *path, struct plat_file_id *id);

// Held around a listing call that may run beside the opens (the walk on a
// thread of its own), so that it never sees the OEM setting of an attempt.
void names_lock_shared(void);
void names_unlock_shared(void);

// One read of up to count bytes; the count read, or -1 (errno set) when the
// read fails.
long read_bytes(plat_handle h, void *buffer, size_t count);

// True when the listing finds path exactly, or else an entry that matches
// path with every byte above 0x80 replaced by '?' (dir: the open directory
// path names an entry of, or PLAT_NO_DIR); true as well when the listing
// could not be read (the file is then named, not passed over).  Safe beside
// the walk's listing of dir (plat_find_lookup).  Leaves the interpretation
// ANSI.
bool candidate_exists(plat_dir dir, const char *path);

#endif  // KIVOR_SEARCH_ACCESS_H_
