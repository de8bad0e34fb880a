// Windows file-name wildcard matching.
//
// The prepared form has to carry four kinds of wildcard (star, DOS star, DOS
// question mark, DOS dot) next to literal bytes, and a POSIX name may hold
// any byte but '/' and NUL, so no spare byte values are available for the
// DOS kinds.  The form therefore keeps the pattern's own bytes and lets the
// next byte tell the kinds apart; this works because preparation never
// leaves a literal '?' or a literal '.' in the places that would be
// ambiguous:
//
//   '?'                        DOS question mark (every '?' becomes one)
//   '*' followed by '.'        DOS star
//   '*' otherwise              star
//   '.' followed by '?' or '*' DOS dot (a literal '.' is never followed by
//                              a wildcard: it would have become a DOS dot)
//   '.' as the last byte       nothing: it is kept only so that a trailing
//                              DOS star ("abc*." once its trailing dots are
//                              dropped) is still followed by a '.'
//   any other byte             itself, ASCII letters matching either case
//
// The prepared form is never longer than the pattern.
#include "platform/wildcard.h"

#include <string.h>

#include "platform/ascii.h"
#include "platform/platform.h"

int wild_has_wildcards(const char *s) {
  for (; *s != '\0'; s++)
    if (*s == '*' || *s == '?')
      return 1;
  return 0;
}

// "*.*" followed by nothing but dots: every name matches, the same as "*".
static int is_star_dot_star(const char *p) {
  if (p[0] != '*' || p[1] != '.' || p[2] != '*')
    return 0;
  for (p += 3; *p == '.'; p++) {
  }
  return *p == '\0';
}

int wild_prepare(const char *pattern, char *out, size_t size) {
  size_t len = strlen(pattern);
  if (size < len + 1)
    return 0;
  if (is_star_dot_star(pattern)) {
    out[0] = '*';
    out[1] = '\0';
    return 1;
  }
  // The bytes stay as they are (see the table above); only the trailing
  // dots go, except one right after a star, which marks it a DOS star.
  size_t end = len;
  while (end > 0 && pattern[end - 1] == '.')
    end--;
  if (end > 0 && end < len && pattern[end - 1] == '*')
    end++;
  memcpy(out, pattern, end);
  out[end] = '\0';
  return 1;
}

namespace {

enum token_kind { TOK_LITERAL, TOK_STAR, TOK_DOS_STAR, TOK_DOS_QM, TOK_DOS_DOT, TOK_NONE };

token_kind token_at(const char *p) {
  switch (p[0]) {
    case '?':
      return TOK_DOS_QM;
    case '*':
      return p[1] == '.' ? TOK_DOS_STAR : TOK_STAR;
    case '.':
      if (p[1] == '?' || p[1] == '*')
        return TOK_DOS_DOT;
      return p[1] == '\0' ? TOK_NONE : TOK_LITERAL;
    default:
      return TOK_LITERAL;
  }
}

}  // namespace

static int match_in(const char *prepared, const char *name, size_t n, unsigned char *a,
                    unsigned char *b);

int wild_match(const char *prepared, const char *name) {
  enum { CAP = PLAT_NAME_MAX + 1 };
  size_t n = strnlen(name, PLAT_NAME_MAX);
  if (n >= PLAT_NAME_MAX)
    return 0;  // longer than any name the listing returns
  unsigned char a[CAP], b[CAP];
  return match_in(prepared, name, n, a, b);
}

int wild_match_long(const char *prepared, const char *name, unsigned char *scratch, size_t size) {
  size_t n = strnlen(name, size / 2);
  if (n >= size / 2)
    return 0;  // no room to match a name so long
  return match_in(prepared, name, n, scratch, scratch + n + 1);
}

// Simulates the pattern over name positions: reach[i] says that the pattern
// read so far can match exactly the first i bytes of the name (n bytes; a
// and b hold n + 1 each).  Every token maps the set of reachable positions
// to the next one in one pass over the name, so the time is linear in the
// product of the lengths.
static int match_in(const char *prepared, const char *name, size_t n, unsigned char *a,
                    unsigned char *b) {
  if (prepared[0] == '*' && prepared[1] == '\0')
    return 1;

  // The name's last dot bounds the DOS star; -1 when there is none.
  long last_dot = -1;
  for (size_t i = 0; i < n; i++)
    if (name[i] == '.')
      last_dot = (long)i;

  unsigned char *reach = a, *next = b;
  memset(reach, 0, n + 1);
  reach[0] = 1;

  for (const char *p = prepared; *p != '\0'; p++) {
    token_kind kind = token_at(p);
    if (kind == TOK_NONE)
      continue;
    int any = 0;
    switch (kind) {
      case TOK_LITERAL: {
        unsigned char want = ascii_upper((unsigned char)*p);
        next[0] = 0;
        for (size_t i = 0; i < n; i++)
          next[i + 1] = (unsigned char)(reach[i] && ascii_upper((unsigned char)name[i]) == want);
        break;
      }
      case TOK_STAR: {
        unsigned char seen = 0;
        for (size_t i = 0; i <= n; i++) {
          seen |= reach[i];
          next[i] = seen;
        }
        break;
      }
      case TOK_DOS_STAR: {
        // Any run that does not hold the name's last dot: a run starting
        // at or before it stops at it, a run starting after it may go on
        // to the end.
        unsigned char seen = 0;
        for (size_t i = 0; i <= n; i++) {
          if ((long)i == last_dot + 1)
            seen = 0;
          seen |= reach[i];
          next[i] = seen;
        }
        break;
      }
      case TOK_DOS_QM:
        // One byte that is not a dot; nothing at a dot or at the end.
        next[0] = 0;
        for (size_t i = 1; i <= n; i++)
          next[i] = (unsigned char)(reach[i - 1] && name[i - 1] != '.');
        for (size_t i = 0; i < n; i++)
          if (reach[i] && name[i] == '.')
            next[i] = 1;
        next[n] |= reach[n];
        break;
      case TOK_DOS_DOT:
        // A dot, or nothing at the end.
        next[0] = 0;
        for (size_t i = 1; i <= n; i++)
          next[i] = (unsigned char)(reach[i - 1] && name[i - 1] == '.');
        next[n] |= reach[n];
        break;
      case TOK_NONE:
        break;
    }
    for (size_t i = 0; i <= n; i++)
      any |= next[i];
    if (!any)
      return 0;
    unsigned char *t = reach;
    reach = next;
    next = t;
  }
  return reach[n];
}
