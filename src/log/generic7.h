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
// does not exist, and cuts it at its first NUL or Ctrl-Z byte; a file under
// 10 bytes, or one that holds neither byte, is left as it is.  When the file
// can be neither opened nor created, writes
// "\n<module>\n392\nerror opening <path>\n" to the error stream and ends the
// process at once with status 1 (no termination line).  A read that fails
// leaves the file unchanged.
void trim_file_at_eof(const char *path);

#endif  // KIVOR_LOG_GENERIC7_H_
