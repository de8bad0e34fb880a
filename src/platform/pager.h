// A text shown a screen at a time, the way "more" shows it: for consoles
// that have no pager of their own.
#ifndef KIVOR_PLATFORM_PAGER_H_
#define KIVOR_PLATFORM_PAGER_H_

#include <stdio.h>

// The prompt written below each full screen; it is blanked out again after
// the key.
#define PAGER_PROMPT "-- More --  (q: quit)"

// Copies in to out, stopping after each screen of rows - 1 rows (rows of
// 1 or less count as 24; cols of 0 or less as 80) to write the prompt and
// wait for read_key.  Rows are counted as the console fills them: it wraps
// a line on reaching its last column (a line of exactly cols characters
// and its line end take two rows), and a tab moves to the next multiple of
// 8.  The
// key q, Q, Esc (27) or -1 (end of input, Ctrl-C) ends the paging; any
// other key shows the next screen.  Returns 1 when the whole text was shown,
// 0 when a key ended it.
int page_text(FILE *in, FILE *out, int rows, int cols, int (*read_key)(void));

#endif  // KIVOR_PLATFORM_PAGER_H_
