// The hit file: where the hit lines and the start stamp go when -o or -O names one.
#ifndef KIVOR_LOG_HITFILE_H_
#define KIVOR_LOG_HITFILE_H_

#include <stdio.h>

#include "platform/platform.h"

// Opens the hit file named by g_hit_file_name when hit_file_mode asks for
// one (1: emptied, 2 or more: appended) and makes it g_hit_stream; leaves
// standard output when the open fails, with no message.  A hit file that is
// the open accounting file, by whatever name, is not opened: that is said
// on the error stream and the run ends with OUTPUT_FILE before anything is
// written.  A FIFO without a reader is waited for; Ctrl-C ends the wait and
// the run (INPUT_FILE).
void open_hit_file(void);

// True when *id (the identity an open gave) is the hit file's, by whatever
// name it was reached; false when no hit file is open.
bool is_hit_id(const struct plat_file_id *id);

// Ends the run with WRITE_ERROR, after "couldn't write the hit file <name>:
// <reason>" (or "... the hit lines to standard output: <reason>") on the
// error stream, when a write to the hit stream has failed.  With flush, what
// the stream holds back is written out first.
void check_hit_stream(int flush);

// Closes the hit file when one is open (hit_file_mode nonzero and the hit
// stream not standard output), what it holds back written out first; with
// check_stdout, standard output is flushed and checked instead when the hit
// lines went there.  g_hit_stream is standard output afterwards.  0 when
// everything reached its place (or there was nothing to close), else -1
// after the message of check_hit_stream.  The run's natural end checks
// standard output; exit_program leaves it to the exit path.
int close_hit_file(int check_stdout);

#endif  // KIVOR_LOG_HITFILE_H_
