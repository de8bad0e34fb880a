// The accounting file: a plain-text run log that every run naming it
// (option -1) appends its record to.
#ifndef KIVOR_LOG_ACCOUNTING_H_
#define KIVOR_LOG_ACCOUNTING_H_

#include <stdio.h>

// Cleans the named file (trim_file_at_eof: created when missing, cut at its
// first NUL or Ctrl-Z), opens it for appending in text mode and writes the
// record separator: a newline, 40 asterisks, a newline.  Returns the stream,
// or NULL after "Can't open accounting file <path>\n" on standard output.
// A file that can be neither opened nor created for the cleaning ends the
// process (see trim_file_at_eof).
FILE *open_accounting_file(const char *path);

// For a later -1 option that names new_name while an accounting file is
// open: writes "This file closed.\n" and "Accounting file overridden by
// option -1 file pointing to <full path of new_name>\n" (the name as given
// when no full path can be formed) into g_acct_file, closes it and sets
// g_acct_file to NULL.  Does nothing when no accounting file is open.  The
// caller then opens new_name with open_accounting_file.
void override_accounting_file(const char *new_name);

// Closes g_acct_file, when open, without writing to it, and sets it to NULL
// (option +1, and the end of the summary).
void close_accounting_file(void);

#endif  // KIVOR_LOG_ACCOUNTING_H_
