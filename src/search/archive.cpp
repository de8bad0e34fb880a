// Archive search: which names and first bytes make a candidate, the
// archives beyond the patterns, and the examination of members, which asks
// the containers of src/unpack for them without knowing their format.
#include "search/archive.h"

#include <stdio.h>
#include <string.h>

#include "log/shorten.h"
#include "log/shown.h"
#include "platform/ascii.h"
#include "platform/wildcard.h"
#include "run/globals.h"
#include "run/startup.h"
#include "search/examine.h"
#include "search/lists.h"
#include "unpack/known.h"
#include "unpack/macwrap.h"
#include "unpack/sfx.h"
#include "unpack/unpack.h"

bool has_archive_extension(const char *name) {
  static const char *const extensions[] = {
      "ZIP", "LZH", "LHA", "TAR", "TGZ", "TAZ", "GZ",  "Z",   "BZ2",
      "XZ",  "LZMA", "ZST", "7Z", "CAB", "RAR", "ISO", "CPIO", "AR", "XAR", "ARJ",
      "HQX", "SEA", "SIT", "CPT",
      // recognised, not read: said so
      "ARC", "PAK", "ZOO", "HPK", "UC2",
  };
  const char *last = strrchr(name, PLAT_SEP);
  const char *dot = strrchr(last != NULL ? last : name, '.');
  if (dot == NULL)
    return false;
  size_t len = strlen(dot + 1);
  if (len >= 1 && len <= 3 && dot[len] == '_')
    return true;  // MS COMPRESS: KEYS.PG_, SETUP.EX_
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
      {"SZDD\x88\xF0\x27\x33", 8},             // MS COMPRESS
      {"SZ \x88\xF0\x27\x33\xD1", 8},
      {"KWAJ\x88\xF0\x27\xD1", 8},
      {"\x60\xEA", 2},                        // arj
  };
  for (const auto &m : magics)
    if (n > 0 && b[0] == (unsigned char)m.magic[0] && starts(b, n, m.magic, m.len))
      return true;
  if (n >= 7 && b[2] == '-' && b[3] == 'l' && (b[4] == 'h' || b[4] == 'z') && b[6] == '-')
    return true;  // lha
  if (unpack_known_unread(b, n) != NULL)
    return true;
  if (applesingle_header(b, n, NULL) || macbinary_header(b, n, -1, NULL) || binhex_start(b, n) >= 0)
    return true;  // the Mac wrappers
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
    if (has_archive_extension(g_filetypes[i]) || filetype_names_one_file(i))
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

// ------------------------------------------------------- the examination

enum {
  NEST_MEMORY = 8 * 1024 * 1024,  // a nested container up to this size is held whole
  NOT_ARCHIVE = 0,
  SEARCHED = 1,
};

// What examining one member leaves the container able to do.
enum member_outcome {
  GO_ON,       // read the next member
  STOP,        // the work limit is reached: stop at every level
  NOT_OPENED,  // (open_nested) no container: judge the member as a file
};

static uint8_t *nest_memory[UNPACK_MAX_DEPTH + 1];  // by depth, made on first use
static char *member_name;       // WIDE_BUF: archive<sep>member<sep>member...
static size_t top_name_len;     // the length of the file's own name in it
static char *converted_name;    // WIDE_BUF: a member's UTF-8 name as shown
static bool said_exhausted;     // the work limit's message was written
// For the reports: the file on disk, and the member paths as read (not as
// shown), by depth, each ended by a NUL in chain_text (WIDE_BUF).
static const char *top_path;
static char *chain_text;
static const char *chain_at[UNPACK_MAX_DEPTH + 2];
static size_t chain_end[UNPACK_MAX_DEPTH + 2];  // where depth d's path may begin

// Says, once, that the work limit stopped this file's reading; true when it
// did.
static bool stopped(void) {
  if (!unpack_exhausted())
    return false;
  if (!said_exhausted)
    fprintf(stderr, "archive search stopped after 1 GiB of decompressed data, the rest unread: %.*s\n",
            (int)top_name_len, member_name);
  said_exhausted = true;
  return true;
}

// The length of a C1 control character (U+0080 to U+009F) written in UTF-8
// at s, or 0.
static int c1_control(const char *s) {
  return (unsigned char)s[0] == 0xC2 && (unsigned char)s[1] >= 0x80 && (unsigned char)s[1] <= 0x9F
             ? 2
             : 0;
}

// True when a member's path could reach outside a folder it was put in, or
// send the terminal a command: absolute, with a drive, with a ".."
// component, or with control characters.
static bool unsafe_path(const char *p) {
  if (p[0] == '/' || p[0] == '\\' || (p[0] != '\0' && p[1] == ':'))
    return true;
  for (const char *s = p; *s != '\0'; s++) {
    if ((unsigned char)*s < 0x20 || *s == 0x7F || c1_control(s))
      return true;
    bool starts = s == p || s[-1] == '/' || s[-1] == '\\';
    if (starts && s[0] == '.' && s[1] == '.' && (s[2] == '\0' || s[2] == '/' || s[2] == '\\'))
      return true;
  }
  return false;
}

// Appends the separator and path to member_name at len, separators turned
// into the platform's and control characters (C0, DEL, and C1 in UTF-8)
// into '?'.  The new length, or 0 when the name would not fit.
static size_t append_member(size_t len, const char *path) {
  size_t plen = strlen(path);
  if (len + 1 + plen >= WIDE_BUF)
    return 0;
  member_name[len++] = PLAT_SEP;
  for (size_t i = 0; i < plen; i++) {
    unsigned char c = (unsigned char)path[i];
    int c1 = c1_control(path + i);
    if (c1 != 0) {
      member_name[len++] = '?';
      i += (size_t)c1 - 1;
      continue;
    }
    member_name[len++] = c == '/' ? PLAT_SEP : (c < 0x20 || c == 0x7F) ? '?' : (char)c;
  }
  member_name[len] = '\0';
  return len;
}

// The first bytes of member m into g_inbuf: up to READ_SIZE, fewer at its
// end; -1 when a read fails.
static long read_head(struct unpack_stream *m) {
  long n = 0;
  while (n < READ_SIZE) {
    long got = unpack_stream_read(m, g_inbuf + n, (size_t)(READ_SIZE - n));
    if (got < 0)
      return -1;
    if (got == 0)
      break;
    n += got;
  }
  return n;
}

// More of a member, for -c.
static long read_more(void *member, uint8_t *into, size_t count) {
  return unpack_stream_read((struct unpack_stream *)member, into, count);
}

static int search_container(struct unpack_source *src, size_t name_len);

// True when the n bytes of a program at b (all of it when whole) carry an
// archive after the program.
static bool carries_archive(const uint8_t *b, size_t n, bool whole) {
  int64_t at = sfx_overlay(b, (long)n, whole ? (int64_t)n : INT64_MAX);
  if (at >= (int64_t)n)
    at = -1;  // past what is held
  int64_t look = at < 0 ? 0 : (int64_t)n - at < SFX_LOOK ? (int64_t)n - at : SFX_LOOK;
  const uint8_t *tail = whole && n >= (size_t)SFX_TAIL ? b + n - SFX_TAIL : NULL;
  return sfx_carries_archive(at < 0 ? NULL : b + at, (long)look, tail);
}

// Opens member m (named by member_name up to name_len, its first n bytes in
// g_inbuf) as a container one level below depth; with program, only when
// it is a program that carries an archive.  NOT_OPENED when it is none,
// with g_inbuf untouched and rest set to the member's bytes after the first
// n, read into memory on the way or not.
static enum member_outcome open_nested(int depth, struct unpack_stream *m, size_t name_len, long n,
                                       bool program, struct unpack_stream *rest) {
  depth++;
  if (nest_memory[depth] == NULL && (nest_memory[depth] = (uint8_t *)run_alloc(NEST_MEMORY)) == NULL) {
    fprintf(stderr, "not enough memory to open the nested archive %s\n", member_name);
    return NOT_OPENED;
  }
  uint8_t *memory = nest_memory[depth];
  memcpy(memory, g_inbuf, (size_t)n);
  size_t held = (size_t)n;
  bool whole = n < READ_SIZE;
  while (!whole && held < NEST_MEMORY) {
    long got = unpack_stream_read(m, memory + held, NEST_MEMORY - held);
    if (got < 0) {
      if (stopped())
        return STOP;
      fprintf(stderr, "couldn't read %s: %s\n", member_name, shown_name(unpack_stream_error(m)));
      *rest = {NULL, NULL, m, memory + n, held - (size_t)n};  // judged by what was read
      return NOT_OPENED;
    }
    whole = got == 0;
    held += (size_t)got;
  }
  if (program && !carries_archive(memory, held, whole)) {
    *rest = {NULL, NULL, m, memory + n, held - (size_t)n};
    return NOT_OPENED;
  }
  const char *last = strrchr(member_name, PLAT_SEP);
  struct unpack_source in = {};
  in.kind = whole ? UNPACK_MEMORY : UNPACK_STREAM;
  in.depth = depth;
  in.name = last != NULL ? last + 1 : member_name;
  in.memory = memory;
  in.held = held;
  in.rest = m;
  in.block = memory;
  in.block_size = NEST_MEMORY;
  if (search_container(&in, name_len) == SEARCHED)
    return stopped() ? STOP : GO_ON;
  // Readers look at no more than the first block for what they are, which
  // is all in memory: a reader that read on has taken bytes this member
  // cannot give again.
  *rest = {NULL, NULL, m, memory + n, in.reused ? 0 : held - (size_t)n};
  return NOT_OPENED;
}

// Examines member m of a container at depth, whose path in the container is
// path: judges it when its name matches the patterns, and opens it as a
// container when it is one.
static enum member_outcome examine_member(int depth, size_t name_len, const char *path,
                                          struct unpack_stream *m, const struct unpack_member *um) {
  size_t len = append_member(name_len, path);
  size_t plen = strlen(path);
  if (len != 0 && chain_end[depth] + plen + 1 > WIDE_BUF) {
    len = 0;
    member_name[name_len] = '\0';
  }
  if (len != 0) {
    memcpy(chain_text + chain_end[depth], path, plen + 1);
    chain_at[depth] = chain_text + chain_end[depth];
    chain_end[depth + 1] = chain_end[depth] + plen + 1;
  }
  if (len == 0) {  // member_name still ends at name_len: the member is named after it
    fprintf(stderr, "path too long, skipped: %s%c%s\n", member_name, PLAT_SEP, shown_name(path));
    return GO_ON;
  }
  const char *last = strrchr(member_name + name_len, PLAT_SEP) + 1;
  bool wanted = matches_member_patterns(last);
  bool archive_name = has_archive_extension(last);
  if (!wanted && !archive_name)
    return GO_ON;
  if (unsafe_path(path))
    fprintf(stderr, "unsafe member name (shown, never used as a path): %s\n", member_name);
  if (wanted)
    g_files_searched++;
  if (um->encrypted) {
    fprintf(stderr, "encrypted, skipped unread: %s\n", member_name);
    return GO_ON;
  }
  if (wanted && g_settings->skip_com && is_com_file(member_name))
    return GO_ON;
  long n = read_head(m);
  if (n < 0) {
    if (stopped())
      return STOP;
    fprintf(stderr, "couldn't read %s: %s\n", member_name, shown_name(unpack_stream_error(m)));
    return GO_ON;  // the container's next member says whether it goes on
  }
  struct unpack_stream *rest = m;  // the member's bytes after the first n
  struct unpack_stream kept;
  bool container = archive_name || (wanted && archive_signature(g_inbuf, n));
  bool program = !container && wanted && n >= 64 && g_inbuf[0] == 'M' && g_inbuf[1] == 'Z';
  if (n > 0 && (container || program)) {
    if (depth >= UNPACK_MAX_DEPTH) {
      if (archive_name)
        fprintf(stderr, "archive nested deeper than %d levels, not opened: %s\n",
                UNPACK_MAX_DEPTH, member_name);
    } else {
      enum member_outcome opened = open_nested(depth, m, len, n, program, &kept);
      if (opened != NOT_OPENED)
        return opened;
      rest = &kept;
    }
  }
  if (wanted) {
    struct member_subject s = {top_path,     depth - 1,    chain_at + 1, chain_at[depth],
                               member_name, um->has_mtime, um->mtime};
    judge_member(display_name(member_name), n, read_more, rest, &s);
  }
  return stopped() ? STOP : GO_ON;
}

// Reads the members of the open container r of format f, named by
// member_name up to name_len, at depth.
static void search_members(const struct unpack_format *f, void *r, int depth, size_t name_len) {
  struct unpack_member m;
  for (;;) {
    unpack_poll();
    m = {};
    int s = f->next(r, &m);
    member_name[name_len] = '\0';
    if (s == UNPACK_END || stopped())
      return;
    if (s == UNPACK_WHOLE) {
      fprintf(stderr, "nested archive over 8 MiB needs to be held whole, skipped: %s\n", member_name);
      return;
    }
    if (s != UNPACK_OK) {
      fprintf(stderr, "couldn't read archive %s: %s\n", member_name, shown_name(f->error(r)));
      return;
    }
    if (!m.regular || m.second_name)
      continue;
    // A name stored as UTF-8 is shown as the platform shows names (on
    // Windows in its code page); examine_member is done with it before a
    // nested container's next member is named here.
    const char *path = m.path;
    if (m.utf8 && plat_member_name_from_utf8(m.path, converted_name, WIDE_BUF))
      path = converted_name;
    struct unpack_stream stream = {f, r, NULL, NULL, 0};
    enum member_outcome outcome = examine_member(depth, name_len, path, &stream, &m);
    member_name[name_len] = '\0';
    if (outcome == STOP)
      return;
  }
}

// Searches what src holds as a container of the first format that takes
// it.  NOT_ARCHIVE when none does; SEARCHED otherwise, with a message when
// it could not be read to its end.
static int search_container(struct unpack_source *src, size_t name_len) {
  for (int i = 0; unpack_formats[i] != NULL; i++) {
    const struct unpack_format *f = unpack_formats[i];
    void *r = NULL;
    int s = f->open(src, src->memory, (long)src->held, &r);
    if (s == UNPACK_NONE)
      continue;
    member_name[name_len] = '\0';
    if (s == UNPACK_OK)
      search_members(f, r, src->depth, name_len);
    else if (!stopped())
      fprintf(stderr, "couldn't read archive %s: %s\n", member_name, shown_name(f->error(r)));
    f->close(r);
    member_name[name_len] = '\0';
    return SEARCHED;
  }
  const char *known = unpack_known_unread(src->memory, (long)src->held);
  if (known == NULL)
    return NOT_ARCHIVE;
  member_name[name_len] = '\0';
  fprintf(stderr, "%s: %s archive, not searched\n", member_name, known);
  return SEARCHED;
}

// True when the MZ program open as h, whose first n bytes are first,
// carries an archive after it: an archive's start where the program ends,
// or, for a program whose end the header does not tell (a DOS stub before
// a 16-bit Windows program), a ZIP's end record at the file's end.  A
// program with nothing after it costs no read; one with data after it, one
// small read (two without its end).
static bool self_extractor(plat_handle h, const unsigned char *first, long n, int64_t size) {
  static uint8_t look[SFX_LOOK];
  if (size < 0)
    size = plat_seek(h, 0, 2);
  int64_t at = sfx_overlay(first, n, size);
  if (at < 0 || plat_seek(h, at, 0) != at)
    return false;
  long got = plat_read(h, look, SFX_LOOK);
  if (sfx_carries_archive(look, got, NULL))
    return true;
  static uint8_t tail[SFX_TAIL];
  bool read_tail = !sfx_windows_program(first, n) && size - SFX_TAIL >= at &&
                   plat_seek(h, size - SFX_TAIL, 0) == size - SFX_TAIL && plat_read(h, tail, SFX_TAIL) == SFX_TAIL;
  return read_tail && sfx_carries_archive(NULL, 0, tail);
}

bool search_archive(plat_handle h, const char *name, const unsigned char *first, long n, int64_t size) {
  if (n <= 0 || (!has_archive_extension(name) && !archive_signature(first, n) &&
                 !(n >= 2 && first[0] == 'M' && first[1] == 'Z' && self_extractor(h, first, n, size))))
    return false;
  if ((member_name == NULL && (member_name = (char *)run_alloc(WIDE_BUF)) == NULL) ||
      (converted_name == NULL && (converted_name = (char *)run_alloc(WIDE_BUF)) == NULL) ||
      (chain_text == NULL && (chain_text = (char *)run_alloc(WIDE_BUF)) == NULL))
    return false;
  if (plat_seek(h, 0, 0) != 0)
    return false;
  // Only ever shown (the archive is read through h), so kept as shown; its
  // last component, the name a member may be named after, is taken in the
  // form names are shown in too, as a nested container's is (below).
  static char top_name[PLAT_NAME_MAX];
  top_name_len = (size_t)snprintf(member_name, WIDE_BUF, "%s", shown_name(name));
  unpack_start();
  said_exhausted = false;
  top_path = name;
  chain_end[1] = 0;
  const char *last = strrchr(name, PLAT_SEP);
  struct unpack_source src = {};
  src.kind = UNPACK_FILE;
  src.depth = 1;
  src.name = plat_shown_name(last != NULL ? last + 1 : name, top_name, sizeof top_name);
  src.file = h;
  src.memory = first;
  src.held = (size_t)n;
  return search_container(&src, top_name_len) == SEARCHED;
}
