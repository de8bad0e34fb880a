// The text forms of the reports for other programs: JSON Lines and CSV.
// These write one value at a time; what the values are is the caller's.
#ifndef KIVOR_LOG_RECORDS_H_
#define KIVOR_LOG_RECORDS_H_

#include <stddef.h>
#include <stdio.h>

// Writes the n bytes at s to f as one JSON string, quotes included: '"',
// '\' and control characters escaped (\n, \r, \t, else \u00XX), valid
// UTF-8 as it is, and each byte that is not part of valid UTF-8 as
// \ufffd, the replacement character (every parser takes it, where lone
// surrogates are refused by some).  True when a byte was replaced: the
// caller of a name then gives its bytes too (json_hex).
bool json_string(FILE *f, const char *s, size_t n);

// Writes the n bytes at s to f as a JSON string of two lowercase hex
// digits a byte.
void json_hex(FILE *f, const char *s, size_t n);

// Writes a name as the member "key":"..." of an object, followed by
// "key_hex":"..." with its bytes when it is not valid UTF-8.
void json_name(FILE *f, const char *key, const char *s, size_t n);

// Writes the n names at s as the array member "key":[...], followed by
// "key_hex":[...] with the bytes of each when one is not valid UTF-8.
void json_names(FILE *f, const char *key, const char *const *s, int n);

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
