// Shortening a full file name to the display width of a hit line.  Widths
// and lengths count what log/shown.h counts (characters of a UTF-8 name in
// a UTF-8 locale, bytes otherwise); a cut never splits a character.
#ifndef KIVOR_LOG_SHORTEN_H_
#define KIVOR_LOG_SHORTEN_H_

// Keeps the first two characters, "<sep>..." and the longest tail of at most
// width - 6 characters that starts at a separator.  Unchanged when width is
// below 8 or not below the name's length.  The result lives in a work
// buffer until the next call; NULL when that buffer cannot be allocated.
const char *shorten_name_prefix(const char *name, int width);

// Keeps the first width - 3 - T characters, "..." and the last component of
// T characters.  Returns name itself when width is below 11 or not below the
// name's length; NULL when the work buffer cannot be allocated.
const char *shorten_name_middle(const char *name, int width);

// The name a hit line shows for name: shortened to the field width in the
// style the options chose (g_shorten_style), or name itself when the work
// buffer cannot be allocated.
const char *display_name(const char *name);

#endif  // KIVOR_LOG_SHORTEN_H_
