// Checked writes: whether what the run wrote to one of its files reached it.
#ifndef KIVOR_LOG_WRITTEN_H_
#define KIVOR_LOG_WRITTEN_H_

#include <stdio.h>

// 0 when every write to f so far succeeded; otherwise the system's reason
// (an errno value; EIO when none is known).  With flush, the stream's
// buffer is written out first, so that a failure it holds back is seen.
int stream_failure(FILE *f, int flush);

// Flushes and closes f: 0, or the reason of the first failure.  The stream
// is closed either way.
int close_stream(FILE *f);

// "couldn't write the <what><name>: <reason>\n" on the error stream, the
// reason being the system's text for err.
void report_write_failure(const char *what, const char *name, int err);

#endif  // KIVOR_LOG_WRITTEN_H_
