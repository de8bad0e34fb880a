// The accounting file: a plain-text run log that every run naming it
// (option -1) appends its record to.
#ifndef KIVOR_LOG_ACCOUNTING_H_
#define KIVOR_LOG_ACCOUNTING_H_

#include <stdio.h>

#include "platform/platform.h"

// Cleans the named file (trim_file_at_eof: created when missing, trailing
// NUL or Ctrl-Z padding cut away), closes an accounting file that is open
// with the override note (override_accounting_file), opens the named one
// for appending in text mode and returns the stream, or NULL after "Can't
// open accounting file <path>\n" on standard output.  The record separator
// (a newline, 40 asterisks, a newline) is due: begin_accounting_record or
// the close writes it.  A file that holds other bytes after a NUL or Ctrl-Z
// is no accounting log: that is said on the error stream, it is left
// untouched, an open accounting file is put aside unwritten
// (discard_accounting_file) and the run ends with OUTPUT_FILE.  A file that
// can be neither opened nor created for the cleaning ends the process (see
// trim_file_at_eof).
FILE *open_accounting_file(const char *path);

// Writes the record separator of g_acct_file when it is still due.
void begin_accounting_record(void);

// For a -1 option that names new_name while an accounting file is open:
// writes "This file closed.\n" and "Accounting file overridden by option -1
// file pointing to <full path of new_name>\n" (the name as given when no
// full path can be formed) into g_acct_file, closes it and sets g_acct_file
// to NULL.  Does nothing when no accounting file is open.  A write that
// fails ends the run (WRITE_ERROR, see close_accounting_file).
void override_accounting_file(const char *new_name);

// Closes g_acct_file, when open, writing nothing but a separator still due,
// and sets it to NULL (option +1, and the end of the summary).  0 when
// everything written reached the file; -1 after "couldn't write the
// accounting file <path>: <reason>\n" on the error stream.
int close_accounting_file(void);

// Ends the run with WRITE_ERROR, after the message of close_accounting_file,
// when a write to g_acct_file has failed.  With flush, what the stream holds
// back is written out first.
void check_accounting_file(int flush);

// Closes g_acct_file, when open, without writing a separator still due, and
// sets it to NULL: a run refused before its record began leaves the file as
// it found it.
void discard_accounting_file(void);

// True when an accounting file is open and id is its identity.
bool is_accounting_file(const struct plat_file_id *id);

#endif  // KIVOR_LOG_ACCOUNTING_H_
