// Names on Windows: the program carries them in UTF-8 and hands the system
// UTF-16 (wide_path); the command line is taken in its wide form; what is
// written for the user goes out in the console's code page, '?' for what
// that lacks, and the one note that says how to see such names whole.
#include "platform/platform.h"

#include <errno.h>
#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "platform/utf8.h"
#include "platform/wide-win32.h"

// The character the UTF-8 at p starts and its length: a surrogate code
// counts, as utf8_from_wide writes one; U+FFFD and 1 for a byte that
// starts none (the terminator ends every sequence, so nothing past it is read).
static int decode(const unsigned char *p, uint32_t *c) {
  static const uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};  // no overlong forms
  unsigned char b = p[0];
  if (b < 0x80) {
    *c = b;
    return 1;
  }
  int len = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
  uint32_t v = b & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
  for (int i = 1; i < len; i++) {
    if ((p[i] & 0xC0) != 0x80) {
      len = 0;
      break;
    }
    v = v << 6 | (p[i] & 0x3F);
  }
  if (len == 0 || v < least[len] || v > 0x10FFFF) {
    *c = 0xFFFD;
    return 1;
  }
  *c = v;
  return len;
}

long wide_from_utf8(const char *s, wchar_t *out, size_t size) {
  const unsigned char *p = (const unsigned char *)s;
  size_t n = 0;
  while (*p != 0) {
    uint32_t c;
    p += decode(p, &c);
    size_t units = c >= 0x10000 ? 2 : 1;
    if (n + units >= size)
      return -1;
    if (units == 2) {
      c -= 0x10000;
      out[n++] = (wchar_t)(0xD800 | c >> 10);
      out[n++] = (wchar_t)(0xDC00 | (c & 0x3FF));
    } else {
      out[n++] = (wchar_t)c;
    }
  }
  if (size == 0)
    return -1;
  out[n] = 0;
  return (long)n;
}

static bool is_high(uint32_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}

static bool is_low(uint32_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

long utf8_from_wide(const wchar_t *w, size_t n, char *out, size_t size) {
  size_t len = 0;
  for (size_t i = 0; i < n; i++) {
    uint32_t c = (uint16_t)w[i];
    if (is_high(c) && i + 1 < n && is_low((uint16_t)w[i + 1]))
      c = 0x10000 + ((c - 0xD800) << 10) + ((uint16_t)w[++i] - 0xDC00);
    char b[4];
    size_t k = utf8_put(c, b);
    if (len + k >= size)
      return -1;
    memcpy(out + len, b, k);
    len += k;
  }
  if (size == 0)
    return -1;
  out[len] = '\0';
  return (long)len;
}

size_t path_from_wide(const wchar_t *w, size_t n, char *out, size_t size) {
  if (size == 0)
    return 0;
  long len = utf8_from_wide(w, n, out, size > PLAT_PATH_MAX ? PLAT_PATH_MAX : size);
  if (len < 0) {
    out[0] = '\0';
    return 0;
  }
  return (size_t)len;
}

// -------------------------------------------------- paths for the calls

static bool starts_with(const wchar_t *w, const wchar_t *lead) {
  return wcsncmp(w, lead, wcslen(lead)) == 0;
}

// True for a drive path (X:\...) or a network path (\\server\...) that the
// plain calls would take as it is: no '/' and no "." or ".." component.
static bool literal(const wchar_t *w) {
  bool drive = ((w[0] | 0x20) >= L'a' && (w[0] | 0x20) <= L'z') && w[1] == L':' && w[2] == L'\\';
  bool network = w[0] == L'\\' && w[1] == L'\\' && w[2] != L'\0' && w[2] != L'?' && w[2] != L'.';
  if (!drive && !network)
    return false;
  for (const wchar_t *p = w; *p != L'\0'; p++) {
    if (*p == L'/')
      return false;
    if (*p == L'\\' && p[1] == L'.' &&
        (p[2] == L'\\' || p[2] == L'\0' || (p[2] == L'.' && (p[3] == L'\\' || p[3] == L'\0'))))
      return false;
  }
  return true;
}

bool wide_path(const char *path, wchar_t *out) {
  if (wide_from_utf8(path, out, WIDE_PATH_MAX) < 0) {
    errno = ENAMETOOLONG;
    return false;
  }
  // The plain calls take MAX_PATH units with the terminator, a directory
  // twelve fewer (room for an 8.3 name in it).
  if (wcslen(out) < MAX_PATH - 12 || starts_with(out, L"\\\\?\\") || starts_with(out, L"\\\\.\\"))
    return true;
  wchar_t full[WIDE_PATH_MAX];
  if (literal(out)) {
    wcscpy(full, out);
  } else {
    DWORD n = GetFullPathNameW(out, WIDE_PATH_MAX, full, NULL);
    if (n == 0 || n >= WIDE_PATH_MAX) {
      errno = n == 0 ? ENOENT : ENAMETOOLONG;
      return false;
    }
    if (starts_with(full, L"\\\\?\\") || starts_with(full, L"\\\\.\\") || !literal(full)) {
      wcscpy(out, full);  // a device, or a form the system keeps as it is
      return true;
    }
  }
  bool network = full[0] == L'\\';
  const wchar_t *lead = network ? L"\\\\?\\UNC" : L"\\\\?\\";
  const wchar_t *rest = network ? full + 1 : full;  // \\server\share: \\?\UNC\server\share
  if (wcslen(lead) + wcslen(rest) >= WIDE_PATH_MAX) {
    errno = ENAMETOOLONG;
    return false;
  }
  wcscpy(out, lead);
  wcscat(out, rest);
  return true;
}

// ---------------------------------------------------------- arguments

// The C runtime's own splitting of the wide command line (msvcrt), and
// whether the program asked it to expand wildcards, as it splits the
// narrow one for main.
extern "C" int __wgetmainargs(int *argc, wchar_t ***argv, wchar_t ***env, int expand, void *start);
extern "C" int _dowildcard;

void plat_arguments(int *argc, char ***argv) {
  struct {
    int new_mode;
  } start = {0};
  int n = 0;
  wchar_t **wide = NULL, **env = NULL;
  if (__wgetmainargs(&n, &wide, &env, _dowildcard, &start) < 0 || wide == NULL || n < 1)
    return;
  size_t room = 0;
  for (int i = 0; i < n; i++)
    room += 3 * wcslen(wide[i]) + 1;  // a UTF-16 unit is at most 3 bytes of UTF-8
  char **list = (char **)malloc((size_t)(n + 1) * sizeof *list + room);
  if (list == NULL)
    return;
  char *text = (char *)(list + n + 1);
  for (int i = 0; i < n; i++) {
    long len = utf8_from_wide(wide[i], wcslen(wide[i]), text, room);
    if (len < 0) {
      free(list);
      return;
    }
    list[i] = text;
    text += len + 1;
    room -= (size_t)len + 1;
  }
  list[n] = NULL;
  *argc = n;
  *argv = list;
}

// ------------------------------------------------------- names shown

static unsigned lost_in = 0;  // the code page a name first lost a character in; 0: none yet

unsigned shown_code_page(bool member) {
  static const bool console_utf8 = GetConsoleOutputCP() == CP_UTF8;  // asked once
  if (console_utf8)
    return CP_UTF8;
  return member || !AreFileApisANSI() ? CP_OEMCP : CP_ACP;
}

bool wide_to_code_page(unsigned cp, wchar_t *w, size_t n, char *out, size_t size) {
  if (size == 0 || size > INT_MAX || n > INT_MAX)
    return false;
  out[0] = '\0';
  for (size_t i = 0; i < n; i++)
    if (w[i] >= 0x80 && w[i] <= 0x9F)
      w[i] = 0x7F;
  if (n == 0)
    return true;
  // UTF-8 takes neither flags nor a default character: it lacks nothing.
  bool utf8 = cp == CP_UTF8;
  BOOL lost = FALSE;
  int got = WideCharToMultiByte(cp, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, w, (int)n, out, (int)size - 1,
                                utf8 ? NULL : "?", utf8 ? NULL : &lost);
  if (got <= 0) {
    out[0] = '\0';
    return false;
  }
  out[got] = '\0';
  if (lost && lost_in == 0)
    lost_in = cp == CP_ACP ? GetACP() : cp == CP_OEMCP ? GetOEMCP() : cp;
  return true;
}

const char *plat_shown_name(const char *name, char *out, size_t size) {
  static wchar_t wide[4 * PLAT_PATH_MAX];  // names are shown from one thread
  const unsigned char *p = (const unsigned char *)name;
  while (*p != 0 && *p < 0x80)
    p++;
  if (*p == 0)
    return name;
  long n = wide_from_utf8(name, wide, sizeof wide / sizeof wide[0]);
  if (n < 0 || size < 2) {
    snprintf(out, size, "?");
    return out;
  }
  // Longer than out: as much of it as fits.
  for (size_t k = (size_t)n;; k -= (k + 1) / 2)
    if (wide_to_code_page(shown_code_page(false), wide, k, out, size) || k == 0)
      return out;
}

const char *plat_lost_names_note(void) {
  static char note[160];
  if (lost_in == 0)
    return NULL;
  snprintf(note, sizeof note,
           "Names shown with '?' hold characters that code page %u lacks; "
           "after chcp 65001 they are shown whole, and --json writes them whole",
           lost_in);
  lost_in = 0;
  return note;
}

int plat_name_reads_alike(const char *name) {
  const unsigned char *p = (const unsigned char *)name;
  while (*p != 0 && *p < 0x80)
    p++;
  if (*p == 0)
    return 1;
  wchar_t wide[WIDE_PATH_MAX], back[WIDE_PATH_MAX];
  char oem[2 * WIDE_PATH_MAX];
  long n = wide_from_utf8(name, wide, WIDE_PATH_MAX);
  if (n <= 0)
    return 0;
  BOOL lost = FALSE;
  int k = WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, wide, (int)n, oem, (int)sizeof oem,
                              "?", &lost);
  if (k <= 0 || lost)
    return 0;
  int m = MultiByteToWideChar(CP_ACP, 0, oem, k, back, WIDE_PATH_MAX);
  return m == n && wmemcmp(back, wide, (size_t)n) == 0 ? 1 : 0;
}
