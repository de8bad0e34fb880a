// The text forms of the reports for other programs: JSON Lines and CSV.
// These write one value at a time; what the values are is the caller's.
#ifndef KIVOR_LOG_RECORDS_H_
#define KIVOR_LOG_RECORDS_H_

#include <stddef.h>
#include <stdio.h>

// Writes the n bytes at s to f as one JSON string, quotes included: '"',
// '\' and control characters escaped (\n, \r, \t, else \u00XX), valid
// UTF-8 as it is, and each byte that is not part of valid UTF-8 as
// \udcXX, XX its value (a lone low surrogate, as Python's "surrogateescape"
// reads it back), so that a name's bytes can be recovered exactly.
void json_string(FILE *f, const char *s, size_t n);

// Writes the n bytes at s to f as one CSV field (RFC 4180): quoted, with
// quotes doubled, when it holds a comma, a quote or a blank at either end;
// control bytes written as '?' as in every line KIVOR shows a name in (a
// field never breaks its row).
void csv_field(FILE *f, const char *s, size_t n);

#endif  // KIVOR_LOG_RECORDS_H_
