// File access for the classification, with the file-name code-page handling.
#ifndef KIVOR_DETECT_ACCESS_H_
#define KIVOR_DETECT_ACCESS_H_

#include <stddef.h>

#include "platform/platform.h"

// Opens path (an entry of the open directory dir, or PLAT_NO_DIR) for
// reading under the ANSI interpretation, then under the OEM one.  After a first-attempt success the mode stays ANSI; otherwise it is
// restored to ANSI when it was ANSI on entry.  PLAT_INVALID_HANDLE when both
// attempts fail.
plat_handle open_for_reading(plat_dir dir, const char *path);

// One read of up to count bytes; the count read, or -1 (errno set) when the
// read fails.
long read_bytes(plat_handle h, void *buffer, size_t count);

// True when an entry matches path with every byte above 0x80 replaced by '?'
// (dir: the open directory path names an entry of, or PLAT_NO_DIR).
// Leaves the interpretation ANSI.
bool find_by_wildcards(plat_dir dir, const char *path);

#endif  // KIVOR_DETECT_ACCESS_H_
