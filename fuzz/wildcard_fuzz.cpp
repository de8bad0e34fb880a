// The wildcard matcher against a plain backtracking reading of the same
// rules: the input is a pattern, a zero byte, then a name.  The matcher
// simulates sets of positions; the reference below tries each way a token
// can match, one after another, so a slip in either shows as a difference.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "fuzz_check.h"
#include "platform/platform.h"
#include "platform/wildcard.h"

namespace {

enum { MAX_PATTERN = 64 };

struct reference {
  const char *pat;
  const char *name;
  size_t n;
  long last_dot;
  signed char memo[MAX_PATTERN + 1][PLAT_NAME_MAX + 1];

  static unsigned char fold(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? (unsigned char)(c - 'a' + 'A') : c;
  }

  // Does the prepared pattern from p on match the name from i on?
  bool match(size_t p, size_t i) {
    if (memo[p][i] >= 0)
      return memo[p][i];
    bool r = step(p, i);
    memo[p][i] = r;
    return r;
  }

  bool step(size_t p, size_t i) {
    char c = pat[p];
    bool at_end = i == n;
    bool at_dot = !at_end && name[i] == '.';
    switch (c) {
      case '\0':
        return at_end;
      case '?':  // one byte that is not a dot, or nothing at a dot or at the end
        return (!at_end && !at_dot && match(p + 1, i + 1)) ||
               ((at_end || at_dot) && match(p + 1, i));
      case '*': {  // the DOS star (before a '.') may not take the last dot
        bool dos = pat[p + 1] == '.';
        for (size_t j = i; j <= n; j++) {
          if (dos && j > i && (long)(j - 1) == last_dot)
            break;
          if (match(p + 1, j))
            return true;
        }
        return false;
      }
      case '.':
        if (pat[p + 1] == '?' || pat[p + 1] == '*')  // the DOS dot
          return (at_dot && match(p + 1, i + 1)) || (at_end && match(p + 1, i));
        if (pat[p + 1] == '\0')  // the mark after a trailing DOS star
          return match(p + 1, i);
        return at_dot && match(p + 1, i + 1);
      default:
        return !at_end && fold((unsigned char)name[i]) == fold((unsigned char)c) &&
               match(p + 1, i + 1);
    }
  }
};

reference ref;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const char *in = (const char *)data;
  const char *zero = (const char *)memchr(in, 0, size);
  if (zero == NULL)
    return 0;
  std::string pattern(in, zero);
  std::string name(zero + 1, strnlen(zero + 1, size - (size_t)(zero + 1 - in)));
  if (pattern.size() > MAX_PATTERN || name.size() >= PLAT_NAME_MAX)
    return 0;

  char prepared[MAX_PATTERN + 1];
  FUZZ_CHECK(wild_prepare(pattern.c_str(), prepared, pattern.size()) == 0);
  FUZZ_CHECK(wild_prepare(pattern.c_str(), prepared, sizeof prepared) == 1);
  FUZZ_CHECK(strlen(prepared) <= pattern.size());

  ref.pat = prepared;
  ref.name = name.c_str();
  ref.n = name.size();
  ref.last_dot = -1;
  for (size_t i = 0; i < ref.n; i++)
    if (name[i] == '.')
      ref.last_dot = (long)i;
  memset(ref.memo, -1, sizeof ref.memo);
  int want = (int)ref.match(0, 0);
  FUZZ_CHECK(wild_match(prepared, name.c_str()) == want);
  // The same with working memory of just the size it asks for, and none
  // matched with a byte less.
  static unsigned char scratch[2 * PLAT_NAME_MAX];
  FUZZ_CHECK(wild_match_long(prepared, name.c_str(), scratch, 2 * (ref.n + 1)) == want);
  FUZZ_CHECK(wild_match_long(prepared, name.c_str(), scratch, 2 * ref.n + 1) == 0);
  return 0;
}
