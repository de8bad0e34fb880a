// Archive search through libarchive.  Every archive, nested ones included,
// is read as a stream of members in the archive's own order; each member's
// first bytes are read into g_inbuf and judged like a file's.
//
// Bounds, so that no archive can make the run hang or grow:
// - a member is examined by its first 10140 decompressed bytes, never more;
// - an archive on disk may make the run decompress at most WORK_LIMIT
//   bytes, all nesting levels together (examined bytes, bytes read through
//   to reach the next member of a compressed stream or a solid archive, and
//   the bytes of nested archives); then its search stops with a message;
// - a nested archive is held in memory when it is at most NEST_MEMORY bytes
//   (one buffer per level, made on first use), so that every kind can be
//   read; a larger one is read as a stream from its member, which the kinds
//   that need random access (7z) cannot be: they are skipped with a message;
// - nesting stops at ARCHIVE_MAX_DEPTH levels.
#include <archive.h>
#include <archive_entry.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "detect/classify.h"
#include "detect/shorten.h"
#include "log/shown.h"
#include "run/abort.h"
#include "run/exit.h"
#include "run/globals.h"
#include "run/startup.h"
#include "search/archive.h"
#include "search/pathjoin.h"

enum {
  FILE_BLOCK = 64 * 1024,         // one read from an archive on disk
  NEST_MEMORY = 8 * 1024 * 1024,  // a nested archive up to this size is held whole
  DRAIN_BLOCK = 64 * 1024,        // one read while reading through a member
  NOT_ARCHIVE = 0,
  SEARCHED = 1,
};
static const int64_t WORK_LIMIT = (int64_t)1 << 30;  // 1 GiB per archive on disk

// Where a nested archive that is not held whole reads from: the bytes held
// first, then the rest of its member.
struct nested_source {
  struct archive *outer;
  unsigned char *buffer;  // the level's memory
  size_t held;            // bytes of the member in buffer, not yet handed on
};

static unsigned char *nest_memory[ARCHIVE_MAX_DEPTH + 1];  // by depth, made on first use
static char *member_name;           // WIDE_BUF: archive<sep>member<sep>member...
static unsigned char *file_block;   // FILE_BLOCK
static unsigned char *drain_block;  // DRAIN_BLOCK
static plat_handle file_handle;     // the archive on disk being read
static size_t top_name_len;         // length of its name in member_name
static int64_t work_done;           // decompressed bytes of this archive on disk
static bool work_exhausted;         // WORK_LIMIT reached: stop at every level

bool archive_search_available(void) {
  return true;
}

// The library's reason, shown with its control bytes as '?'.
static const char *shown_error(struct archive *a) {
  const char *s = archive_error_string(a);
  return shown_name(s != NULL ? s : "unreadable");
}

// A new reader for every supported kind; NULL without memory.  A
// decompression filter that the library would run as an outside program
// (it was built without that library) is left out.
static struct archive *new_reader(void) {
  static int (*const formats[])(struct archive *) = {
      archive_read_support_format_7zip, archive_read_support_format_ar,
      archive_read_support_format_cab,  archive_read_support_format_cpio,
      archive_read_support_format_iso9660, archive_read_support_format_lha,
      archive_read_support_format_rar,  archive_read_support_format_rar5,
      archive_read_support_format_tar,  archive_read_support_format_xar,
      archive_read_support_format_zip,  archive_read_support_format_raw,
  };
  static int (*const filters[])(struct archive *) = {
      archive_read_support_filter_gzip, archive_read_support_filter_bzip2,
      archive_read_support_filter_xz,   archive_read_support_filter_lzma,
      archive_read_support_filter_zstd, archive_read_support_filter_compress,
  };
  static int usable = -1;  // a bit per filter that is built in
  if (usable < 0) {
    usable = 0;
    struct archive *probe = archive_read_new();
    for (size_t i = 0; probe != NULL && i < sizeof filters / sizeof filters[0]; i++)
      if (filters[i](probe) == ARCHIVE_OK)
        usable |= 1 << i;
    archive_read_free(probe);
  }
  struct archive *a = archive_read_new();
  if (a == NULL)
    return NULL;
  for (auto format : formats)
    format(a);
  for (size_t i = 0; i < sizeof filters / sizeof filters[0]; i++)
    if (usable & (1 << i))
      filters[i](a);
  return a;
}

// archive_read_data, with the bytes counted against the work limit.
static la_ssize_t read_counted(struct archive *a, void *buffer, size_t size) {
  if (work_exhausted)
    return ARCHIVE_FATAL;
  la_ssize_t got = archive_read_data(a, buffer, size);
  if (got > 0 && (work_done += got) > WORK_LIMIT) {
    work_exhausted = true;
    fprintf(stderr, "archive search stopped after 1 GiB of decompressed data, the rest unread: %.*s\n",
            (int)top_name_len, member_name);
    return ARCHIVE_FATAL;
  }
  return got;
}

static la_ssize_t file_read(struct archive *, void *, const void **buffer) {
  *buffer = file_block;
  long got = plat_read(file_handle, file_block, FILE_BLOCK);
  return got < 0 ? ARCHIVE_FATAL : got;
}

static la_int64_t file_seek(struct archive *, void *, la_int64_t offset, int whence) {
  int64_t pos = plat_seek(file_handle, offset, whence == SEEK_SET ? 0 : whence == SEEK_CUR ? 1 : 2);
  return pos < 0 ? ARCHIVE_FATAL : pos;
}

static la_ssize_t nested_read(struct archive *, void *data, const void **buffer) {
  struct nested_source *s = (struct nested_source *)data;
  *buffer = s->buffer;
  if (s->held > 0) {
    la_ssize_t n = (la_ssize_t)s->held;
    s->held = 0;
    return n;
  }
  return read_counted(s->outer, s->buffer, FILE_BLOCK);
}

// The first bytes of the current member into g_inbuf: up to READ_SIZE,
// fewer at its end.  A negative library status when a read fails.
static long read_head(struct archive *a) {
  long n = 0;
  while (n < READ_SIZE) {
    la_ssize_t got = read_counted(a, g_inbuf + n, (size_t)(READ_SIZE - n));
    if (got < 0)
      return (long)got;
    if (got == 0)
      break;
    n += (long)got;
  }
  return n;
}

// More of the current member, for -c: what read_counted gives, the library's
// failures as -1.
static long read_more(void *archive, uint8_t *into, size_t count) {
  la_ssize_t got = read_counted((struct archive *)archive, into, count);
  return got < 0 ? -1 : (long)got;
}

// Reads the rest of the current member and drops it.  False when the
// archive cannot go on.
static bool drain(struct archive *a) {
  for (int blocks = 1;; blocks++) {
    la_ssize_t got = read_counted(a, drain_block, DRAIN_BLOCK);
    if (got == 0)
      return true;
    if (got < 0)
      return got != ARCHIVE_FATAL;  // a member's own fault: the next header decides
    if (blocks % 256 == 0 && abort_key_pressed())
      exit_program(USER_ABORTED);
  }
}

// True when a member's path could reach outside a folder it was put in:
// absolute, with a drive, with a ".." component, or with control bytes.
static bool unsafe_path(const char *p) {
  if (p[0] == '/' || p[0] == '\\' || (p[0] != '\0' && p[1] == ':'))
    return true;
  for (const char *s = p; *s != '\0'; s++) {
    if ((unsigned char)*s < 0x20 || *s == 0x7F)
      return true;
    bool starts = s == p || s[-1] == '/' || s[-1] == '\\';
    if (starts && s[0] == '.' && s[1] == '.' && (s[2] == '\0' || s[2] == '/' || s[2] == '\\'))
      return true;
  }
  return false;
}

// Appends the separator and path to member_name at len, separators turned
// into the platform's and control bytes into '?'.  The new length, or 0
// when the name would not fit.
static size_t append_member(size_t len, const char *path) {
  size_t plen = strlen(path);
  if (len + 1 + plen >= WIDE_BUF)
    return 0;
  member_name[len++] = PLAT_SEP;
  for (size_t i = 0; i < plen; i++) {
    unsigned char c = (unsigned char)path[i];
    member_name[len++] = c == '/' ? PLAT_SEP : (c < 0x20 || c == 0x7F) ? '?' : (char)c;
  }
  member_name[len] = '\0';
  return len;
}

// The one member of a single compressed file: the file's own last
// component, its compression suffix taken off (".tgz" and ".taz" become
// ".tar"), in out.
static void raw_member_name(char *out, size_t size) {
  const char *sep = strrchr(member_name, PLAT_SEP);
  snprintf(out, size, "%s", sep != NULL ? sep + 1 : member_name);
  char *dot = strrchr(out, '.');
  if (dot == NULL || dot == out)
    return;
  static const char *const suffixes[] = {".gz", ".z", ".bz2", ".xz", ".lzma", ".zst"};
  for (const char *s : suffixes)
    if (strcasecmp(dot, s) == 0) {
      *dot = '\0';
      return;
    }
  if (strcasecmp(dot, ".tgz") == 0 || strcasecmp(dot, ".taz") == 0)
    memcpy(dot, ".tar", 5);
}

static int search_opened(struct archive *a, int depth, size_t name_len, bool random_access);

// An open fails only when a decompression filter took the stream and then
// could not start on it: a broken compressed file, said so.
static int open_failed(struct archive *a) {
  if (!work_exhausted)
    fprintf(stderr, "couldn't read archive %s: %s\n", member_name, shown_error(a));
  return SEARCHED;
}

// Opens the current member of outer (named by member_name up to name_len,
// its first n bytes in g_inbuf) as an archive at depth.  False when it is
// none, or cannot be read as one: it is then judged as a file, g_inbuf
// untouched.
static bool open_nested(struct archive *outer, int depth, size_t name_len, long n) {
  if (nest_memory[depth] == NULL && (nest_memory[depth] = (unsigned char *)run_alloc(NEST_MEMORY)) == NULL) {
    fprintf(stderr, "not enough memory to open the nested archive %s\n", member_name);
    return false;
  }
  unsigned char *memory = nest_memory[depth];
  memcpy(memory, g_inbuf, (size_t)n);
  size_t held = (size_t)n;
  bool whole = n < READ_SIZE;
  while (!whole && held < NEST_MEMORY) {
    la_ssize_t got = read_counted(outer, memory + held, NEST_MEMORY - held);
    if (got < 0) {
      if (!work_exhausted)
        fprintf(stderr, "couldn't read %s: %s\n", member_name, shown_error(outer));
      return work_exhausted;
    }
    whole = got == 0;
    held += (size_t)got;
  }
  struct archive *in = new_reader();
  if (in == NULL)
    return false;
  struct nested_source source = {outer, memory, held};
  int opened;
  if (whole) {
    opened = archive_read_open_memory(in, memory, held);
  } else {
    archive_read_set_read_callback(in, nested_read);
    archive_read_set_callback_data(in, &source);
    opened = archive_read_open1(in);
  }
  int result = opened == ARCHIVE_OK ? search_opened(in, depth, name_len, whole) : open_failed(in);
  archive_read_free(in);
  return result == SEARCHED;
}

// Examines the member whose header was just read: judges it when its name
// matches the patterns, and opens it as an archive when it is one.  False
// when the archive cannot go on.
static bool examine_member(struct archive *a, struct archive_entry *e, int depth,
                           size_t name_len) {
  if (archive_entry_filetype(e) != AE_IFREG)
    return true;
  if (archive_entry_hardlink(e) != NULL && archive_entry_size(e) == 0)
    return true;  // a second name of data examined under its first
  char raw_name[PLAT_NAME_MAX];
  const char *path;
  if (archive_format(a) == ARCHIVE_FORMAT_RAW) {
    raw_member_name(raw_name, sizeof raw_name);
    path = raw_name;
  } else if ((path = archive_entry_pathname(e)) == NULL &&
             (path = archive_entry_pathname_utf8(e)) == NULL) {
    path = "?";
  }
  size_t len = append_member(name_len, path);
  if (len == 0) {  // member_name still ends at name_len
    say_path_too_long(member_name, "");
    return true;
  }
  const char *last = strrchr(member_name + name_len, PLAT_SEP) + 1;
  bool wanted = matches_member_patterns(last);
  bool archive_name = has_archive_extension(last);
  if (!wanted && !archive_name)
    return true;
  if (unsafe_path(path))
    fprintf(stderr, "unsafe member name (shown, never used as a path): %s\n", member_name);
  if (wanted)
    g_files_searched++;
  if (archive_entry_is_encrypted(e)) {
    fprintf(stderr, "encrypted, skipped unread: %s\n", member_name);
    return true;
  }
  if (wanted && g_settings->skip_com && is_com_file(member_name))
    return true;
  long n = read_head(a);
  if (n < 0) {
    if (!work_exhausted)
      fprintf(stderr, "couldn't read %s: %s\n", member_name, shown_error(a));
    return n != ARCHIVE_FATAL;
  }
  if (n > 0 && (archive_name || (wanted && archive_signature(g_inbuf, n)))) {
    if (depth >= ARCHIVE_MAX_DEPTH) {
      if (archive_name)
        fprintf(stderr, "archive nested deeper than %d levels, not opened: %s\n",
                ARCHIVE_MAX_DEPTH, member_name);
    } else if (open_nested(a, depth + 1, len, n) || work_exhausted) {
      return !work_exhausted;
    }
  }
  if (wanted)
    judge_bytes(display_name(member_name), n, read_more, a);
  return true;
}

// Searches the opened archive a, named by member_name up to name_len, at
// depth.  NOT_ARCHIVE when the library takes its bytes for no archive (only
// the raw reader takes them, and no decompression filter does); SEARCHED
// otherwise, with a message when the archive could not be read to its end.
static int search_opened(struct archive *a, int depth, size_t name_len, bool random_access) {
  struct archive_entry *e;
  int r = archive_read_next_header(a, &e);
  int format = archive_format(a);
  bool filtered = archive_filter_count(a) > 1;
  if (!filtered && (format == 0 || (format == ARCHIVE_FORMAT_RAW && r >= ARCHIVE_WARN)))
    return NOT_ARCHIVE;
  // Skipping a member costs a seek only in an archive that can seek and
  // stores its members apart; otherwise it is read through, and counted.
  bool seek_skips = random_access && !filtered && format != ARCHIVE_FORMAT_7ZIP &&
                    (format & ARCHIVE_FORMAT_BASE_MASK) != ARCHIVE_FORMAT_RAR &&
                    format != ARCHIVE_FORMAT_RAR_V5 && format != ARCHIVE_FORMAT_CAB;
  bool said = false;  // the member's own message tells why the archive stops
  while (r == ARCHIVE_OK || r == ARCHIVE_WARN) {
    if (abort_key_pressed())
      exit_program(USER_ABORTED);
    if (!examine_member(a, e, depth, name_len)) {
      said = true;
      break;
    }
    member_name[name_len] = '\0';
    if (format == ARCHIVE_FORMAT_RAW)
      return SEARCHED;  // a compressed file's one member: nothing follows it
    if (!seek_skips && !drain(a))
      break;
    r = archive_read_next_header(a, &e);
  }
  member_name[name_len] = '\0';
  if (r == ARCHIVE_EOF || said || work_exhausted)
    return SEARCHED;
  if (!random_access && format == ARCHIVE_FORMAT_7ZIP)  // it reads its index from the end
    fprintf(stderr, "nested archive over 8 MiB needs to be held whole, skipped: %s\n", member_name);
  else
    fprintf(stderr, "couldn't read archive %s: %s\n", member_name, shown_error(a));
  return SEARCHED;
}

bool search_archive(plat_handle h, const char *name, const unsigned char *first, long n) {
  if (n <= 0 || (!has_archive_extension(name) && !archive_signature(first, n)))
    return false;
  if (member_name == NULL) {
    member_name = (char *)run_alloc(WIDE_BUF);
    file_block = (unsigned char *)run_alloc(FILE_BLOCK);
    drain_block = (unsigned char *)run_alloc(DRAIN_BLOCK);
  }
  if (member_name == NULL || file_block == NULL || drain_block == NULL || plat_seek(h, 0, 0) != 0)
    return false;
  // Only ever shown (the archive is read through h), so kept as shown.
  top_name_len = (size_t)snprintf(member_name, WIDE_BUF, "%s", shown_name(name));
  file_handle = h;
  work_done = 0;
  work_exhausted = false;
  struct archive *a = new_reader();
  if (a == NULL)
    return false;
  archive_read_set_read_callback(a, file_read);
  archive_read_set_seek_callback(a, file_seek);
  archive_read_set_callback_data(a, &file_handle);  // the library needs one
  int result = archive_read_open1(a) == ARCHIVE_OK ? search_opened(a, 1, top_name_len, true)
                                                   : open_failed(a);
  archive_read_free(a);
  return result == SEARCHED;
}
