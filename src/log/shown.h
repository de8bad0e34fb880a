// How names appear in the lines KIVOR writes.  File and directory names are
// chosen by whoever made the files, so a name may hold a newline (a forged
// second hit line) or a terminal escape sequence.  Every line that shows a
// name (hit lines, directory lines, messages, the stamp's command line)
// shows it through these routines: each control byte (below 0x20, and 0x7F)
// appears as '?', every other byte, those above 127 included, as it is.  A
// shown name has as many bytes as the name, and one hit is one line.  Only
// the output changes: file operations keep using the real name.
//
// Where names are carried in another form than they are shown in (Windows:
// UTF-8 inside, the console's code page outside), shown_name, fprint_name
// and shown_form convert them first (plat_shown_name); fprint_name_field
// and the shortening take names converted already.
//
// Widths: in a UTF-8 locale on POSIX a name's width counts characters,
// elsewhere (Windows' code pages, other locales) bytes.  A name that is not
// valid UTF-8 is counted in bytes in every locale.
#ifndef KIVOR_LOG_SHOWN_H_
#define KIVOR_LOG_SHOWN_H_

#include <stdio.h>

// Names that shown_name copies at once: it returns up to this many
// different buffers in turn, so one message may show as many names.
enum { SHOWN_SLOTS = 4 };

// Whether widths count characters of valid UTF-8 names (on) or bytes (off,
// the start).  Set once at start-up, from plat_names_utf8().
void set_names_in_chars(bool on);

// name as it may go into a "%s" of a message:
//   fprintf(stderr, "couldn't open %s\n", shown_name(path));
// name itself when it holds no control byte; otherwise a copy with '?' in
// their place, in the next of SHOWN_SLOTS static buffers (valid until
// SHOWN_SLOTS more calls).  A copy longer than a buffer (4 times the path
// limit) is cut and ends in "...".  Never NULL for a non-NULL name.
const char *shown_name(const char *name);

// Writes name to f with its control bytes as '?', whatever its length.
void fprint_name(FILE *f, const char *name);

// name converted as shown_name converts it, control bytes kept (the field
// replaces them), for a name that is shortened before it is written: name
// itself where nothing changes, else a buffer of its own, valid until the
// next call.
const char *shown_form(const char *name);

// When a name has been shown with '?' for characters the code page lacks
// since the last call (plat_lost_names_note): the line that says how to see
// names whole, on the error stream.  Nothing otherwise.  Called as a run
// ends, so said once.
void say_lost_names_note(void);

// Writes name to f in a field of width, as "%-*.*s" with width, width
// would, with control bytes as '?' and the width counted as above:
// width >= 0 shows at most width characters and pads with blanks to width;
// a negative width shows the whole name, padded with blanks to -width.
void fprint_name_field(FILE *f, const char *name, int width);

// ------------------------------------------ counting for the shortening
// True when name's widths count characters: characters are counted and
// name is valid UTF-8 (RFC 3629: no overlong forms, no surrogates, nothing
// above U+10FFFF).
bool name_counts_chars(const char *name);

// The width of s: its characters when chars is set, else its bytes.
long name_units(const char *s, bool chars);

// The position after the first n units (characters or bytes) of s; the end
// of s when it has fewer; s itself for n <= 0.  With chars set, s must be
// valid UTF-8 (name_counts_chars), and a character is never split.
const char *skip_units(const char *s, long n, bool chars);

#endif  // KIVOR_LOG_SHOWN_H_
