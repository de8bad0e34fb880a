// JSON strings and CSV fields.
#include "log/records.h"

#include <stdint.h>
#include <string.h>

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

bool json_string(FILE *f, const char *s, size_t n) {
  const uint8_t *b = (const uint8_t *)s;
  bool replaced = false;
  fputc('"', f);
  for (size_t i = 0; i < n;) {
    uint8_t c = b[i];
    if (c >= 0x80) {
      size_t len = utf8_length(b + i, n - i);
      if (len == 0) {
        fputs("\\ufffd", f);
        replaced = true;
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
  return replaced;
}

void json_hex(FILE *f, const char *s, size_t n) {
  fputc('"', f);
  for (size_t i = 0; i < n; i++)
    fprintf(f, "%02x", (unsigned char)s[i]);
  fputc('"', f);
}

void json_name(FILE *f, const char *key, const char *s, size_t n) {
  fprintf(f, "\"%s\":", key);
  if (json_string(f, s, n)) {
    fprintf(f, ",\"%s_hex\":", key);
    json_hex(f, s, n);
  }
}

void json_names(FILE *f, const char *key, const char *const *s, int n) {
  bool replaced = false;
  for (int pass = 0; pass < 2; pass++) {
    if (pass == 1 && !replaced)
      break;
    fprintf(f, pass == 0 ? "\"%s\":[" : ",\"%s_hex\":[", key);
    for (int i = 0; i < n; i++) {
      if (i > 0)
        fputc(',', f);
      if (pass == 0)
        replaced |= json_string(f, s[i], strlen(s[i]));
      else
        json_hex(f, s[i], strlen(s[i]));
    }
    fputc(']', f);
  }
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

void iso_time(long long seconds, char *out, size_t size) {
  // Days since 1970 to a civil date, in 400-year eras that begin on 1 March
  // so that the leap day ends each year.
  long long days = seconds / 86400, rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    days--;
  }
  days += 719468;  // days from 0000-03-01 to 1970-01-01
  long long era = (days >= 0 ? days : days - 146096) / 146097;
  long long day_of_era = days - era * 146097;
  long long year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  long long day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  long long month_index = (5 * day_of_year + 2) / 153;  // 0 is March
  int day = (int)(day_of_year - (153 * month_index + 2) / 5 + 1);
  int month = (int)(month_index < 10 ? month_index + 3 : month_index - 9);
  long long year = year_of_era + era * 400 + (month <= 2);
  snprintf(out, size, "%04lld-%02d-%02dT%02d:%02d:%02dZ", year, month, day, (int)(rest / 3600),
           (int)(rest / 60 % 60), (int)(rest % 60));
}

void key_id_text(unsigned long long id, char *out, size_t size) {
  snprintf(out, size, "%016llX", id);
}

const char *algorithm_name(int algo) {
  switch (algo) {
    case 1: return "RSA";
    case 2: return "RSA (encrypt only)";
    case 3: return "RSA (sign only)";
    case 16: return "ElGamal";
    case 17: return "DSA";
    case 18: return "ECDH";
    case 19: return "ECDSA";
    case 20: return "ElGamal (sign and encrypt)";
    case 22: return "EdDSA";
    default: return NULL;
  }
}
