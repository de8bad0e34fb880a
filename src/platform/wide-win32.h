// Shared by the Win32 backend files: names between the layer's UTF-8 and
// the system's UTF-16, and in the code page they are shown in.
#ifndef KIVOR_PLATFORM_WIDE_WIN32_H_
#define KIVOR_PLATFORM_WIDE_WIN32_H_

#include <stddef.h>
#include <wchar.h>

enum {
  WIDE_PATH_MAX = 32768,  // the system's longest path in UTF-16 units, terminator included
};

// The UTF-16 of the UTF-8 text s into out (size units, terminator included);
// an unpaired surrogate written as its three bytes comes back as that unit,
// and a byte that starts no character becomes U+FFFD.  Returns the units
// written without the terminator, -1 when they do not fit.
long wide_from_utf8(const char *s, wchar_t *out, size_t size);

// The UTF-8 of the n units at w into out (size bytes, terminator included):
// a surrogate pair as its character, an unpaired surrogate as the three
// bytes of its own code, so that wide_from_utf8 gives w back.  Returns the
// bytes written without the terminator, -1 when they do not fit.
long utf8_from_wide(const wchar_t *w, size_t n, char *out, size_t size);

// The n units at w in UTF-8 into out (size bytes), held to the path limit
// (PLAT_PATH_MAX): its length, or 0 (out empty) when it does not fit.
size_t path_from_wide(const wchar_t *w, size_t n, char *out, size_t size);

// path as the wide file calls take it, into out (WIDE_PATH_MAX units).  As
// it is while it is short enough for the plain calls (whose rules then hold:
// '/' separates, "." and ".." are resolved, a device name reaches the
// device); longer, the \\?\ form of its full path (\\?\UNC\server\share\...
// for \\server\share\...), which reaches the system's limit.  A full path
// from the walk (a drive or network path with no '/' and no "." or ".."
// component) is taken letter for letter, so that a name ending in a dot or
// a blank is reached too.  False, errno set, when it does not fit
// (ENAMETOOLONG) or cannot be resolved.
bool wide_path(const char *path, wchar_t *out);

// The code page names are shown in (plat_shown_name): UTF-8 where the
// console's output code page is; else, for archive members' names
// (member true), the OEM one, and for the rest that of the interpretation
// in force.
unsigned shown_code_page(bool member);

// The n units at w in code page cp into out (size bytes, terminator
// included): '?' for a character cp lacks (never a look-alike; the note of
// plat_lost_names_note is then due), and each C1 control (U+0080 to U+009F,
// replaced in w itself) as DEL.  False, out empty, when it does not fit.
bool wide_to_code_page(unsigned cp, wchar_t *w, size_t n, char *out, size_t size);

#endif  // KIVOR_PLATFORM_WIDE_WIN32_H_
