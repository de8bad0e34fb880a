// JSON strings and CSV fields.
#include "log/records.h"

#include <stdint.h>

// The length of the valid UTF-8 sequence at s (n bytes left), or 0: no
// overlong forms, no surrogates, nothing past U+10FFFF.
static size_t utf8_length(const uint8_t *s, size_t n) {
  uint8_t c = s[0];
  size_t len = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
  if (c >= 0xF5 || len == 0 || len > n)
    return 0;
  for (size_t i = 1; i < len; i++)
    if ((s[i] & 0xC0) != 0x80)
      return 0;
  if ((c == 0xE0 && s[1] < 0xA0) || (c == 0xED && s[1] >= 0xA0) || (c == 0xF0 && s[1] < 0x90) ||
      (c == 0xF4 && s[1] >= 0x90))
    return 0;
  return len;
}

void json_string(FILE *f, const char *s, size_t n) {
  const uint8_t *b = (const uint8_t *)s;
  fputc('"', f);
  for (size_t i = 0; i < n;) {
    uint8_t c = b[i];
    if (c >= 0x80) {
      size_t len = utf8_length(b + i, n - i);
      if (len == 0) {
        fprintf(f, "\\udc%02x", c);
        i++;
      } else {
        fwrite(b + i, 1, len, f);
        i += len;
      }
      continue;
    }
    if (c == '"' || c == '\\')
      fprintf(f, "\\%c", c);
    else if (c == '\n')
      fputs("\\n", f);
    else if (c == '\r')
      fputs("\\r", f);
    else if (c == '\t')
      fputs("\\t", f);
    else if (c < 0x20 || c == 0x7F)
      fprintf(f, "\\u%04x", c);
    else
      fputc(c, f);
    i++;
  }
  fputc('"', f);
}

void csv_field(FILE *f, const char *s, size_t n) {
  bool quote = n > 0 && (s[0] == ' ' || s[n - 1] == ' ');
  for (size_t i = 0; i < n && !quote; i++)
    quote = s[i] == ',' || s[i] == '"';
  if (quote)
    fputc('"', f);
  for (size_t i = 0; i < n; i++) {
    unsigned char c = (unsigned char)s[i];
    if (c == '"')
      fputs("\"\"", f);
    else
      fputc(c < 0x20 || c == 0x7F ? '?' : c, f);
  }
  if (quote)
    fputc('"', f);
}
