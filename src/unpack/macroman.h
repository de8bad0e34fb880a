// The names Macintosh containers store (BinHex, MacBinary, AppleSingle,
// StuffIt, Compact Pro) are in the Mac's own character set, Mac Roman.
// Pure: bytes in, text out.
#ifndef KIVOR_UNPACK_MACROMAN_H_
#define KIVOR_UNPACK_MACROMAN_H_

#include <stddef.h>
#include <stdint.h>

// The longest UTF-8 a Mac Roman byte becomes.
enum { MACROMAN_UTF8_MAX = 3 };

// The n Mac Roman bytes at in as UTF-8 into out (size bytes, a NUL after
// the text), one component of a member's path: a '/' in it becomes ':', as
// the Mac's own file system showed it, so that it never reads as a folder
// separator.  Control bytes are kept (the examination shows them as '?').
// The length written, or -1 when it does not fit (out then holds "").
long macroman_to_utf8(const uint8_t *in, size_t n, char *out, size_t size);

#endif  // KIVOR_UNPACK_MACROMAN_H_
