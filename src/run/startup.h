// Start-up of a run: the allocations made once, and the defaults.
#ifndef KIVOR_RUN_STARTUP_H_
#define KIVOR_RUN_STARTUP_H_

#include <stddef.h>

// Allocates run_settings (zero-filled), the two path buffers, the two search
// lists, g_searchstr, g_patternstr and g_hit_file_name, in that order.  A
// failure writes its message and ends the run with INSUFFICIENT MEMORY.
void allocate_run_state(void);

// Unbuffered standard output, the Ctrl-C handler, the input buffer, the
// settings defaults, and last the OEM interpretation of 8-bit file names.
void set_defaults(void);

// Allocates and clears g_inbuf; a failure ends the run with INSUFFICIENT MEMORY.
void allocate_work_buffers(void);

// Every allocation of the run goes through here: calloc of size bytes, or
// NULL.  KIVOR_FAIL_ALLOC=N in the environment makes the Nth call fail (a
// test seam, read once).
void *run_alloc(size_t size);

#endif  // KIVOR_RUN_STARTUP_H_
