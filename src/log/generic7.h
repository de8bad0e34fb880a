// Generic7: general-purpose file routines.  Their messages name the
// module's path and the number of the place that failed.
#ifndef KIVOR_LOG_GENERIC7_H_
#define KIVOR_LOG_GENERIC7_H_

#include <stddef.h>

// The module's path as its messages print it.
extern const char g_generic7_module[];

// A zero-filled working buffer of four bytes for each unit asked for,
// allocated through run_alloc.  When it cannot be had, writes
// "\n<module>\n100\nnot enough memory for buffer\n" to the error stream and
// ends the run with INSUFFICIENT MEMORY; never returns NULL.
void *get_unit_buffer(size_t units);

// Opens the named file for reading and writing, creating it empty when it
// does not exist, and cleans its end: when everything from its first NUL or
// Ctrl-Z byte to its end is NUL or Ctrl-Z bytes (padding), the file is cut
// at that first byte and 0 is returned.  A file under 10 bytes is never
// cut; a file without either byte, one that is not a regular file, or one
// whose read fails is left as it is, and 0 is returned.  A file that holds
// any other byte after its first NUL or Ctrl-Z is no text log: it is left
// untouched and 1 is returned.  When the file can be neither opened nor
// created, writes "\n<module>\n392\nerror opening <path>\n" to the error
// stream and ends the process at once with status 1 (no termination line).
int trim_file_at_eof(const char *path);

#endif  // KIVOR_LOG_GENERIC7_H_
