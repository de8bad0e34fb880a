// File access for the classification, with the file-name code-page handling.
#ifndef KIVOR_DETECT_ACCESS_H_
#define KIVOR_DETECT_ACCESS_H_

#include <stddef.h>

#include "platform/platform.h"

// Opens path for reading under the ANSI interpretation, then under the OEM
// one.  After a first-attempt success the mode stays ANSI; otherwise it is
// restored to ANSI when it was ANSI on entry.  PLAT_INVALID_HANDLE when both
// attempts fail.
plat_handle open_for_reading(const char *path);

// One read of up to count bytes; the count read, or 0 when the read fails.
long read_bytes(plat_handle h, void *buffer, size_t count);

// True when an entry matches path with every byte above 0x80 replaced by '?'.
// Leaves the interpretation ANSI.
bool find_by_wildcards(const char *path);

#endif  // KIVOR_DETECT_ACCESS_H_
