// Paths formed from a directory and a name within the path limit.
#ifndef KIVOR_SEARCH_PATHJOIN_H_
#define KIVOR_SEARCH_PATHJOIN_H_

#include <stddef.h>

// Writes dir followed by name to out, which holds size bytes (the limit the
// path must keep, its terminator included); out may be dir itself.  When the
// path would not fit, out is left as it was, "path too long, skipped:
// <dir><name>" goes to the error stream (say_path_too_long) and the result
// is false.
bool join_path(char *out, size_t size, const char *dir, const char *name);

// The same without the message, for a caller that has it said elsewhere
// (the walk hands its messages to the examination, which writes them).
bool join_path_quietly(char *out, size_t size, const char *dir, const char *name);

// "path too long, skipped: <dir><name>\n" on the error stream, each part
// as shown_name shows it.
void say_path_too_long(const char *dir, const char *name);

#endif  // KIVOR_SEARCH_PATHJOIN_H_
