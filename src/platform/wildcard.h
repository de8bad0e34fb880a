// Windows file-name wildcard matching, for listings on systems whose own
// matching follows other rules.  A pattern is first prepared (the way the
// Windows listing rewrites it), then matched against one bare name with
// ASCII case ignored.
#ifndef KIVOR_PLATFORM_WILDCARD_H_
#define KIVOR_PLATFORM_WILDCARD_H_

#include <stddef.h>

// Rewrites pattern into out (size bytes, at least strlen(pattern) + 1):
// '?' becomes the DOS question mark, a '.' before '?' or '*' the DOS dot, a
// '*' before '.' the DOS star; trailing dots are dropped; "*.*" and "*.*."
// become "*".  Returns 0 when out is too small, 1 otherwise.
int wild_prepare(const char *pattern, char *out, size_t size);

// Returns 1 when name matches a pattern made by wild_prepare.  '*' matches any
// run of characters; the DOS star any run that does not pass the name's last
// dot; the DOS question mark one character, or nothing at a dot or at the end;
// the DOS dot a '.', or nothing at the end.  Time is linear in the product of
// the two lengths; no allocation.
int wild_match(const char *prepared, const char *name);

// wild_match for a name of any length, with scratch (size bytes) as its
// working memory: it needs 2 * (strlen(name) + 1).  Returns 0 for a longer
// name.
int wild_match_long(const char *prepared, const char *name, unsigned char *scratch, size_t size);

// 1 when s holds '*' or '?'.
int wild_has_wildcards(const char *s);

#endif  // KIVOR_PLATFORM_WILDCARD_H_
