// The banner: a double-lined box of code page 437 characters holding the
// program's name, its version stamp and two lines about the project.
#include "log/banner.h"

#include <string.h>

#include "log/zone.h"
#include "platform/platform.h"

enum {
  SCREEN_WIDTH = 80,
  BANNER_LINES = 30,
};

enum : unsigned char {
  TOP_LEFT = 0xC9,
  TOP_RIGHT = 0xBB,
  BOTTOM_LEFT = 0xC8,
  BOTTOM_RIGHT = 0xBC,
  HORIZONTAL = 0xCD,
  VERTICAL = 0xBA,
  CHECK_MARK = 0xFB,
};

static const char program_name[] = "KIVOR";
static const char notice_text[] =
    "KIVOR is free software of the KIVOR project. It comes with no warranty.";
static const char contact_text[] = "Questions and reports: the KIVOR project's issue tracker";

static_assert(sizeof notice_text - 1 <= BOX_INNER, "the notice must fit the frame");
static_assert(sizeof contact_text - 1 <= BOX_INNER, "the contact line must fit the frame");

// The character at index i of s, or 0 past its end.
static char char_at(const char *s, size_t i) {
  return strnlen(s, i + 1) > i ? s[i] : '\0';
}

// Appends c to the stamp being built (nothing for 0, past a short text).
static void put(char *stamp, size_t *n, char c) {
  if (c != '\0' && *n + 1 < VERSION_STAMP_SIZE)
    stamp[(*n)++] = c;
}

void make_version_stamp(const char *date, const char *time, const char *mark, char *out,
                        size_t size) {
  char stamp[VERSION_STAMP_SIZE];
  size_t n = 0;
  put(stamp, &n, char_at(date, 9));  // the year's last two digits
  put(stamp, &n, char_at(date, 10));
  put(stamp, &n, '.');
  for (int m = 0; m < 12; m++) {
    if (strncmp(date, g_month_names[m], 3) == 0) {
      put(stamp, &n, (char)('0' + (m + 1) / 10));
      put(stamp, &n, (char)('0' + (m + 1) % 10));
      break;
    }
  }
  put(stamp, &n, '.');
  put(stamp, &n, char_at(date, 4) == ' ' ? '0' : char_at(date, 4));  // "Apr  5": 05
  put(stamp, &n, char_at(date, 5));
  put(stamp, &n, '.');
  for (size_t i = 0; i < 5; i++)  // hh:mm
    put(stamp, &n, char_at(time, i));
  stamp[n] = '\0';
  for (size_t i = 0; i < n; i++)
    if (stamp[i] == ':')
      stamp[i] = '.';
  snprintf(out, size, "%s%s", stamp, mark != NULL ? mark : "");
}

void print_centred(FILE *stream, const char *text, int width) {
  long len = (long)strlen(text);
  long pad = ((long)width - len) / 2;
  for (long i = 0; i < pad; i++)
    fputc(' ', stream);
  for (const char *p = text; *p != '\0'; p++) {
    const char *shown = plat_cp437_text((unsigned char)*p);
    if (shown != NULL)
      fputs(shown, stream);
    else
      fputc(*p, stream);
  }
}

// A border or frame line of the box: first, 74 times fill, last.
static void make_box_line(char *line, unsigned char first, unsigned char fill,
                          unsigned char last) {
  line[0] = (char)first;
  memset(line + 1, fill, BOX_INNER);
  line[BOX_WIDTH - 1] = (char)last;
  line[BOX_WIDTH] = '\0';
}

void make_frame_line(const char *text, char *line) {
  make_box_line(line, VERTICAL, ' ', VERTICAL);
  size_t len = strnlen(text, BOX_INNER);
  memcpy(line + BOX_WIDTH / 2 - len / 2, text, len);  // column 1 at the earliest
}

// Writes a frame line holding text, centred on the screen.
static void write_framed(FILE *stream, const char *text) {
  char line[BOX_WIDTH + 1];
  make_frame_line(text, line);
  print_centred(stream, line, SCREEN_WIDTH);
  fputs("\n", stream);
}

void write_banner(FILE *stream, uint32_t n, const char *date, const char *time) {
  char mark[2] = {(char)CHECK_MARK, '\0'};
  char stamp[VERSION_STAMP_SIZE];
  make_version_stamp(date, time, mark, stamp, sizeof stamp);

  for (uint32_t i = n; i < BANNER_LINES; i++)
    fputs("\n", stream);

  char line[BOX_WIDTH + 1];
  make_box_line(line, TOP_LEFT, HORIZONTAL, TOP_RIGHT);
  print_centred(stream, line, SCREEN_WIDTH);
  fputs("\n", stream);

  write_framed(stream, program_name);
  char version[BOX_INNER + 1];
  snprintf(version, sizeof version, "Ver. %s (32 bit)", stamp);
  write_framed(stream, version);
  write_framed(stream, "");
  write_framed(stream, notice_text);
  write_framed(stream, contact_text);

  make_box_line(line, BOTTOM_LEFT, HORIZONTAL, BOTTOM_RIGHT);
  print_centred(stream, line, SCREEN_WIDTH);
  fputs("\n", stream);
}

void print_banner(uint32_t n) {
  // The build's own date and time are the version.  Builds that set
  // SOURCE_DATE_EPOCH get a reproducible stamp: the compiler takes both
  // from it.
  write_banner(stderr, n, __DATE__, __TIME__);
}

void print_version_line(FILE *stream) {
  char stamp[VERSION_STAMP_SIZE];
  make_version_stamp(__DATE__, __TIME__, NULL, stamp, sizeof stamp);  // as print_banner's
  fprintf(stream, "%s Ver. %s\n", program_name, stamp);
}

void version_text(char *out, size_t size) {
  make_version_stamp(__DATE__, __TIME__, NULL, out, size);
}
