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

// The words and forms the reports share.

// Writes seconds since 1970 as an ISO 8601 time in UTC
// ("1994-05-21T10:00:00Z") into out (at least 21 bytes).
void iso_time(long long seconds, char *out, size_t size);

// Writes a key ID as 16 capital hex digits into out (at least 17 bytes).
void key_id_text(unsigned long long id, char *out, size_t size);

// The name of a public-key algorithm ("RSA", "DSA", "ElGamal", ...), or
// NULL for one not known.
const char *algorithm_name(int algo);

#endif  // KIVOR_LOG_RECORDS_H_
