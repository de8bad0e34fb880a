// The screen-at-a-time pager.
#include "platform/pager.h"

enum { DEFAULT_ROWS = 24, DEFAULT_COLS = 80, TAB_WIDTH = 8 };

static const int quit_keys[] = {'q', 'Q', 27, -1};

// Shows the prompt, waits for a key, blanks the prompt out.  Returns 1 to go on.
static int next_screen(FILE *out, int (*read_key)(void)) {
  static const char prompt[] = PAGER_PROMPT;
  fputs(prompt, out);
  fflush(out);
  int key = read_key();
  fprintf(out, "\r%*s\r", (int)sizeof prompt - 1, "");
  for (int quit : quit_keys)
    if (key == quit)
      return 0;
  return 1;
}

int page_text(FILE *in, FILE *out, int rows, int cols, int (*read_key)(void)) {
  int screen = (rows > 1 ? rows : DEFAULT_ROWS) - 1;
  if (cols <= 0)
    cols = DEFAULT_COLS;
  int row = 0, col = 0, c;
  while ((c = getc(in)) != EOF) {
    if (row >= screen) {
      if (!next_screen(out, read_key))
        return 0;
      row = 0;
    }
    putc(c, out);
    if (c == '\n') {
      row++;
      col = 0;
      continue;
    }
    col += c == '\t' ? TAB_WIDTH - col % TAB_WIDTH : 1;
    if (col >= cols) {  // the console wraps here
      row++;
      col = 0;
    }
  }
  fflush(out);
  return 1;
}
