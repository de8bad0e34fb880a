// The start stamp and the closing summary of a run.
#ifndef KIVOR_LOG_STAMPS_H_
#define KIVOR_LOG_STAMPS_H_

// Writes the start stamp to the accounting file (when open) and the hit stream.
void print_start_stamp(int argc, char **argv);

// Writes files searched, possible hits and the elapsed time to the error
// stream and the accounting file, then closes the accounting file.
void print_summary(void);

#endif  // KIVOR_LOG_STAMPS_H_
