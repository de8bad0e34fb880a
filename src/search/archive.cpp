// The rules of archive search that do not depend on the reader: which names
// and first bytes make a candidate, and the archives beyond the patterns.
#include "search/archive.h"

#include <string.h>

#include "platform/ascii.h"
#include "platform/wildcard.h"
#include "run/globals.h"

bool has_archive_extension(const char *name) {
  static const char *const extensions[] = {
      "ZIP", "LZH", "LHA", "TAR", "TGZ", "TAZ", "GZ",  "Z",   "BZ2",
      "XZ",  "LZMA", "ZST", "7Z", "CAB", "RAR", "ISO", "CPIO", "AR", "XAR",
  };
  const char *last = strrchr(name, PLAT_SEP);
  const char *dot = strrchr(last != NULL ? last : name, '.');
  if (dot == NULL)
    return false;
  for (const char *ext : extensions)
    if (ascii_equal_upper(dot + 1, ext))
      return true;
  return false;
}

static bool starts(const unsigned char *b, long n, const char *magic, long len) {
  return n >= len && memcmp(b, magic, (size_t)len) == 0;
}

// A tar header's checksum field: octal digits, blanks and NULs only, with a
// digit among them.  The reader checks the sum itself.
static bool tar_checksum_field(const unsigned char *b) {
  bool digit = false;
  for (int i = 148; i < 156; i++) {
    if (b[i] >= '0' && b[i] <= '7')
      digit = true;
    else if (b[i] != ' ' && b[i] != '\0')
      return false;
  }
  return digit;
}

bool archive_signature(const unsigned char *b, long n) {
  static const struct {
    const char *magic;
    long len;
  } magics[] = {
      {"PK", 2},                              // zip
      {"\x1F\x8B", 2},                        // gzip
      {"\x1F\x9D", 2},                        // compress
      {"BZh", 3},                             // bzip2
      {"\xFD" "7zXZ\0", 6},                   // xz
      {"\x28\xB5\x2F\xFD", 4},                // zstd
      {"\x5D\0\0", 3},                        // lzma (the usual properties)
      {"7z\xBC\xAF\x27\x1C", 6},              // 7z
      {"Rar!\x1A\x07", 6},                    // rar 4 and 5
      {"MSCF", 4},                            // cab
      {"xar!", 4},                            // xar
      {"!<arch>\n", 8},                       // ar
      {"0707", 4},                            // cpio, text headers
      {"\xC7\x71", 2}, {"\x71\xC7", 2},       // cpio, binary headers
  };
  for (const auto &m : magics)
    if (starts(b, n, m.magic, m.len))
      return true;
  if (n >= 7 && b[2] == '-' && b[3] == 'l' && (b[4] == 'h' || b[4] == 'z') && b[6] == '-')
    return true;  // lha
  if (n >= 512 && b[0] != 0 && (memcmp(b + 257, "ustar", 5) == 0 || tar_checksum_field(b)))
    return true;
  if (n >= READ_SIZE) {  // an ISO 9660 image begins with an empty system area
    for (long i = 0; i < n; i++)
      if (b[i] != 0)
        return false;
    return true;
  }
  return false;
}

// A pattern prepared for matching in buffer (PATH_BUF bytes, the caller's:
// the walk and the examination match names on threads of their own); NULL
// when it does not fit, as no listing takes such a pattern either.
static const char *prepared_pattern(const char *pattern, char *buffer) {
  return wild_prepare(pattern, buffer, PATH_BUF) ? buffer : NULL;
}

bool matches_filetypes(const char *name) {
  for (int i = 0; g_filetypes[i] != NULL && g_filetypes[i][0] != '-'; i++) {
    char buffer[PATH_BUF];
    const char *p = prepared_pattern(g_filetypes[i], buffer);
    if (p != NULL && wild_match(p, name))
      return true;
  }
  return false;
}

bool matches_member_patterns(const char *name) {
  static unsigned char scratch[2 * WIDE_BUF];  // a member's name may be as long as member names go
  bool any = false;
  for (int i = 0; g_filetypes[i] != NULL && g_filetypes[i][0] != '-'; i++) {
    if (has_archive_extension(g_filetypes[i]))
      continue;  // it picked archives on disk
    any = true;
    char buffer[PATH_BUF];
    const char *p = prepared_pattern(g_filetypes[i], buffer);
    if (p != NULL && wild_match_long(p, name, scratch, sizeof scratch))
      return true;
  }
  return !any;
}

bool archives_beyond_patterns(void) {
  bool wildcards = false;
  for (int i = 0; g_filetypes[i] != NULL && g_filetypes[i][0] != '-'; i++) {
    char buffer[PATH_BUF];
    const char *p = prepared_pattern(g_filetypes[i], buffer);
    if (p != NULL && strcmp(p, "*") == 0)
      return false;  // a pattern that matches every name
    wildcards = wildcards || wild_has_wildcards(g_filetypes[i]);
  }
  return wildcards;  // exact names ask for those files alone
}

bool archive_only_candidate(const char *name) {
  return has_archive_extension(name) && !matches_filetypes(name);
}
