// Names as KIVOR's output shows them: in the platform's shown form, control
// bytes as '?', widths in characters of UTF-8 names where the locale says
// so.
#include "log/shown.h"

#include <limits.h>
#include <string.h>

#include "run/globals.h"

static bool names_in_chars = false;

void set_names_in_chars(bool on) {
  names_in_chars = on;
}

static bool is_control(unsigned char c) {
  return c < 0x20 || c == 0x7F;
}

const char *shown_name(const char *name) {
  static char slots[SHOWN_SLOTS][WIDE_BUF];
  static int next = 0;

  char *out = slots[next];
  const char *text = plat_shown_name(name, out, WIDE_BUF);
  const char *p = text;
  while (*p != '\0' && !is_control((unsigned char)*p))
    p++;
  if (*p == '\0' && text == name)
    return name;  // nothing to replace: no copy
  next = (next + 1) % SHOWN_SLOTS;
  if (text == out) {  // converted: the copy is there
    for (char *c = out; *c != '\0'; c++)
      if (is_control((unsigned char)*c))
        *c = '?';
    return out;
  }
  size_t i = 0;
  for (; name[i] != '\0' && i < WIDE_BUF - 1; i++)
    out[i] = is_control((unsigned char)name[i]) ? '?' : name[i];
  out[i] = '\0';
  if (name[i] != '\0')  // cut: say so
    memcpy(out + WIDE_BUF - 4, "...", 4);
  return out;
}

// Writes the n bytes at s, control bytes as '?': runs of ordinary bytes
// in one piece.
static void write_shown(FILE *f, const char *s, size_t n) {
  size_t start = 0;
  for (size_t i = 0; i < n; i++) {
    if (!is_control((unsigned char)s[i]))
      continue;
    fwrite(s + start, 1, i - start, f);
    fputc('?', f);
    start = i + 1;
  }
  fwrite(s + start, 1, n - start, f);
}

void fprint_name(FILE *f, const char *name) {
  static char converted[WIDE_BUF];
  const char *text = plat_shown_name(name, converted, sizeof converted);
  write_shown(f, text, strlen(text));
}

const char *shown_form(const char *name) {
  static char converted[WIDE_BUF];
  return plat_shown_name(name, converted, sizeof converted);
}

void say_lost_names_note(void) {
  const char *note = plat_lost_names_note();
  if (note != NULL)
    fprintf(stderr, "%s\n", note);
}

// The length of the valid UTF-8 character at s, 0 when none starts there
// (or s is at its end).
static int utf8_length(const unsigned char *s) {
  unsigned char c = s[0];
  if (c == 0)
    return 0;
  if (c < 0x80)
    return 1;
  int n;
  unsigned char lo = 0x80, hi = 0xBF;  // the second byte's range
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0)
      lo = 0xA0;  // no overlong forms
    if (c == 0xED)
      hi = 0x9F;  // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0)
      lo = 0x90;
    if (c == 0xF4)
      hi = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (s[1] < lo || s[1] > hi)
    return 0;
  for (int i = 2; i < n; i++)
    if (s[i] < 0x80 || s[i] > 0xBF)
      return 0;
  return n;
}

bool name_counts_chars(const char *name) {
  if (!names_in_chars)
    return false;
  const unsigned char *p = (const unsigned char *)name;
  while (*p != '\0') {
    int n = utf8_length(p);
    if (n == 0)
      return false;
    p += n;
  }
  return true;
}

// Steps over at most n units of s; *taken receives how many there were.
static const char *advance(const char *s, long n, bool chars, long *taken) {
  long k = 0;
  if (!chars) {
    while (k < n && s[k] != '\0')
      k++;
    *taken = k;
    return s + k;
  }
  const unsigned char *p = (const unsigned char *)s;
  for (; k < n && *p != '\0'; k++) {
    int len = utf8_length(p);
    p += len > 0 ? len : 1;  // never stuck on a byte the caller let through
  }
  *taken = k;
  return (const char *)p;
}

long name_units(const char *s, bool chars) {
  if (!chars)
    return (long)strlen(s);
  long taken;
  advance(s, LONG_MAX, true, &taken);
  return taken;
}

const char *skip_units(const char *s, long n, bool chars) {
  long taken;
  return advance(s, n, chars, &taken);
}

void fprint_name_field(FILE *f, const char *name, int width) {
  static const char blanks[] = "                                ";
  bool chars = name_counts_chars(name);
  long shown_units;
  const char *end = advance(name, width >= 0 ? width : LONG_MAX, chars, &shown_units);
  write_shown(f, name, (size_t)(end - name));
  long pad = (width >= 0 ? (long)width : -(long)width) - shown_units;
  while (pad > 0) {
    long n = pad < (long)(sizeof blanks - 1) ? pad : (long)(sizeof blanks - 1);
    fwrite(blanks, 1, (size_t)n, f);
    pad -= n;
  }
}
