// Archive search through libarchive.  Every archive, nested ones included,
// is read as a stream of members in the archive's own order; each member's
// first bytes are read into g_inbuf and judged like a file's.
//
// A compressed file is read in two stages: a reader that only decompresses
// (gzip, bzip2, ...; several stacked) hands its stream to an archive reader
// through a callback of ours, so that every byte decompressed while the
// archive reader reads a header passes through code that counts it and
// looks for a stop.  When no archive is found in the stream, the stream is
// the one member of the file.
//
// Bounds, so that no archive can make the run hang or grow:
// - a member is examined by its first 10140 decompressed bytes, never more
//   (with -c, up to 1 MiB where its material runs on);
// - an archive on disk may make the run decompress at most WORK_LIMIT
//   bytes, all nesting levels together (examined bytes, bytes read through
//   to reach the next member of a compressed stream or a solid archive,
//   headers and whatever the reader skips in a compressed stream, and the
//   bytes of nested archives); then its search stops with a message;
// - one header may take at most HEADER_LIMIT bytes of a decompressed stream
//   (long names, pax records, sparse maps), so that what the library builds
//   from a header stays small;
// - a nested archive is held in memory when it is at most NEST_MEMORY bytes
//   (one buffer per level, made on first use), so that every kind can be
//   read; a larger one is read as a stream from its member, which the kinds
//   that need random access (7z) cannot be: they are skipped with a message;
// - nesting stops at ARCHIVE_MAX_DEPTH levels;
// - Esc and the stop signals are looked for at every block of a stream.
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
  FILE_BLOCK = 64 * 1024,           // one read from an archive on disk
  NEST_MEMORY = 8 * 1024 * 1024,    // a nested archive up to this size is held whole
  DRAIN_BLOCK = 64 * 1024,          // one read while reading through a member
  STREAM_BLOCK = 64 * 1024,         // one read from a decompressed stream
  REPLAY_MEMORY = 1024 * 1024,      // the start of a decompressed stream, kept
  MAX_REOPENS = 64,                 // damaged members passed over in one archive
  NOT_ARCHIVE = 0,
  SEARCHED = 1,
};
static const int64_t WORK_LIMIT = (int64_t)1 << 30;    // 1 GiB per archive on disk
static const int64_t HEADER_LIMIT = (int64_t)4 << 20;  // 4 MiB of stream per header

// What examining one member leaves the archive able to do.
enum member_outcome {
  GO_ON,       // read the next member
  BROKEN,      // the reader failed for good inside this member
  STOP,        // the work limit is reached: stop at every level
  NOT_OPENED,  // (open_nested) no archive: judge the member as a file
};

// Where a member's bytes come from: bytes taken from it already, handed out
// first, then those of the member stream it goes on from, or of the reader
// whose current member it is.
struct member_stream {
  struct archive *a;
  struct member_stream *next;
  const unsigned char *held;
  size_t held_len;
};

// What the reader of one archive reads from.
enum source_kind {
  FROM_FILE,    // the archive on disk (file_handle)
  FROM_MEMORY,  // a nested archive held whole
  FROM_MEMBER,  // a nested archive too large for that: its first bytes, then its member
};

// One archive being read, at one nesting level.
struct level {
  int depth;                    // 1 for a file on disk
  size_t name_len;              // its name in member_name
  enum source_kind kind;
  unsigned char *memory;        // FROM_MEMORY, FROM_MEMBER: the member's first bytes
  size_t held;                  // how many
  bool memory_handed;           // FROM_MEMBER: the held bytes went to the reader
  bool memory_reused;           // FROM_MEMBER: the reader read on, over them
  struct member_stream *outer;  // FROM_MEMBER: the rest of the member
  struct archive *filter;       // a decompressing reader in front, or NULL
  size_t filled;                // bytes of its stream kept in replay[depth]
  bool past_replay;             // the archive reader read beyond those
  bool stream_ended;            // the decompressed stream came to its end
  bool stream_failed;           // decompressing failed
  bool in_header;               // the archive reader is reading a header
  int64_t header_bytes;         // bytes of the stream read for this header
  bool header_too_long;
};

// By depth, made on first use.
static unsigned char *nest_memory[ARCHIVE_MAX_DEPTH + 1];
static unsigned char *replay[ARCHIVE_MAX_DEPTH + 1];        // REPLAY_MEMORY
static unsigned char *stream_block[ARCHIVE_MAX_DEPTH + 1];  // STREAM_BLOCK
static char *member_name;           // WIDE_BUF: archive<sep>member<sep>member...
static char *raw_name;              // WIDE_BUF: the one member of a compressed file
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

// A new reader: with decompress, one that takes every supported compression
// (stacked) and hands on the bytes it makes as one raw member; otherwise one
// for every supported archive kind and no compression.  NULL without
// memory.  A decompression filter that the library would run as an outside
// program (it was built without that library) is left out.
static struct archive *new_reader(bool decompress) {
  static int (*const formats[])(struct archive *) = {
      archive_read_support_format_7zip, archive_read_support_format_ar,
      archive_read_support_format_cab,  archive_read_support_format_cpio,
      archive_read_support_format_iso9660, archive_read_support_format_lha,
      archive_read_support_format_rar,  archive_read_support_format_rar5,
      archive_read_support_format_tar,  archive_read_support_format_xar,
      archive_read_support_format_zip,
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
  if (!decompress) {
    for (auto format : formats)
      format(a);
    return a;
  }
  archive_read_support_format_raw(a);
  for (size_t i = 0; i < sizeof filters / sizeof filters[0]; i++)
    if (usable & (1 << i))
      filters[i](a);
  return a;
}

// archive_read_data, the bytes counted against the work limit when count
// says so.
static la_ssize_t read_counted(struct archive *a, void *buffer, size_t size, bool count) {
  if (work_exhausted)
    return ARCHIVE_FATAL;
  la_ssize_t got = archive_read_data(a, buffer, size);
  if (got > 0 && count && (work_done += got) > WORK_LIMIT) {
    work_exhausted = true;
    fprintf(stderr, "archive search stopped after 1 GiB of decompressed data, the rest unread: %.*s\n",
            (int)top_name_len, member_name);
    return ARCHIVE_FATAL;
  }
  return got;
}

// Up to size bytes of the member m: what it holds first, then its stream.
static la_ssize_t member_read(struct member_stream *m, void *buffer, size_t size) {
  if (m->held_len > 0) {
    size_t n = m->held_len < size ? m->held_len : size;
    memcpy(buffer, m->held, n);
    m->held += n;
    m->held_len -= n;
    return (la_ssize_t)n;
  }
  return m->next != NULL ? member_read(m->next, buffer, size) : read_counted(m->a, buffer, size, true);
}

// The reader whose failure a failed member_read reports.
static struct archive *member_reader(const struct member_stream *m) {
  return m->next != NULL ? member_reader(m->next) : m->a;
}

// Ends the run when Esc or a stop has come; a stream's reads call it at
// every block, headers included.
static void poll_abort(void) {
  if (abort_key_pressed())
    exit_program(USER_ABORTED);
}

// Counts n bytes that L's reader took from a decompressed stream; false
// when they make the header it is reading longer than HEADER_LIMIT.
static bool header_room(struct level *L, la_ssize_t n) {
  if (!L->in_header || n <= 0)
    return true;
  L->header_bytes += n;
  if (L->header_bytes <= HEADER_LIMIT)
    return true;
  L->header_too_long = true;
  return false;
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

// FROM_MEMBER: the held bytes, then the member's own, read into the level's
// memory once the reader has taken those.
static la_ssize_t member_source_read(struct archive *, void *data, const void **buffer) {
  struct level *L = (struct level *)data;
  *buffer = L->memory;
  if (!L->memory_handed) {
    L->memory_handed = true;
    return (la_ssize_t)L->held;
  }
  poll_abort();
  L->memory_reused = true;
  la_ssize_t got = member_read(L->outer, L->memory, FILE_BLOCK);
  if (got < 0 || !header_room(L, got))
    return ARCHIVE_FATAL;
  return got;
}

// The decompressed stream of L's filter, for the archive reader: kept in
// replay[depth] while there is room, so that it can be read again as the
// file's one member when it holds no archive.  Bytes read for a header are
// counted here; a member's bytes where the member is read.
static la_ssize_t filter_read(struct archive *, void *data, const void **buffer) {
  struct level *L = (struct level *)data;
  poll_abort();
  unsigned char *into = stream_block[L->depth];
  size_t room = STREAM_BLOCK;
  if (!L->past_replay && L->filled < REPLAY_MEMORY) {
    into = replay[L->depth] + L->filled;
    room = REPLAY_MEMORY - L->filled < room ? REPLAY_MEMORY - L->filled : room;
  } else {
    L->past_replay = true;
  }
  la_ssize_t got = read_counted(L->filter, into, room, L->in_header);
  if (got < 0) {
    L->stream_failed = !work_exhausted;
    return ARCHIVE_FATAL;
  }
  L->stream_ended = got == 0;
  if (!L->past_replay)
    L->filled += (size_t)got;
  if (!header_room(L, got))
    return ARCHIVE_FATAL;
  *buffer = into;
  return got;
}

// Opens reader a on what L reads: the filter's stream, or L's own source.
static int open_reader(struct level *L, struct archive *a) {
  if (L->filter != NULL) {
    archive_read_set_read_callback(a, filter_read);
  } else if (L->kind == FROM_MEMORY) {
    return archive_read_open_memory(a, L->memory, L->held);
  } else if (L->kind == FROM_MEMBER) {
    archive_read_set_read_callback(a, member_source_read);
  } else {
    archive_read_set_read_callback(a, file_read);
    archive_read_set_seek_callback(a, file_seek);
  }
  archive_read_set_callback_data(a, L);
  return archive_read_open1(a);
}

// Makes L's own source start again at its first byte; false when it cannot.
static bool rewind_source(struct level *L) {
  if (L->kind == FROM_FILE)
    return plat_seek(file_handle, 0, 0) == 0;
  if (L->kind == FROM_MEMBER) {
    if (L->memory_reused)
      return false;
    L->memory_handed = false;
  }
  return true;
}

// archive_read_next_header, with the bytes it reads counted as a header's.
static int next_header(struct level *L, struct archive *a, struct archive_entry **e) {
  L->in_header = true;
  L->header_bytes = 0;
  int r = archive_read_next_header(a, e);
  L->in_header = false;
  return r;
}

// Says that archive a (L's) could not be read on, and why: nothing when the
// work limit stopped it, which said so.
static void say_unreadable(struct level *L, struct archive *a) {
  member_name[L->name_len] = '\0';
  if (work_exhausted)
    return;
  if (L->header_too_long)
    fprintf(stderr, "couldn't read archive %s: a header over 4 MiB\n", member_name);
  else
    fprintf(stderr, "couldn't read archive %s: %s\n", member_name,
            shown_error(L->stream_failed ? L->filter : a));
}

// The first bytes of member m into g_inbuf: up to READ_SIZE, fewer at its
// end.  A negative library status when a read fails.
static long read_head(struct member_stream *m) {
  long n = 0;
  while (n < READ_SIZE) {
    la_ssize_t got = member_read(m, g_inbuf + n, (size_t)(READ_SIZE - n));
    if (got < 0)
      return (long)got;
    if (got == 0)
      break;
    n += (long)got;
  }
  return n;
}

// More of a member, for -c: what member_read gives, failures as -1.
static long read_more(void *member, uint8_t *into, size_t count) {
  la_ssize_t got = member_read((struct member_stream *)member, into, count);
  return got < 0 ? -1 : (long)got;
}

// Reads the rest of the current member of a and drops it.
static enum member_outcome drain(struct archive *a) {
  for (int blocks = 1;; blocks++) {
    la_ssize_t got = read_counted(a, drain_block, DRAIN_BLOCK, true);
    if (got == 0)
      return GO_ON;
    if (got < 0)  // a member's own fault: the next header decides
      return work_exhausted ? STOP : got == ARCHIVE_FATAL ? BROKEN : GO_ON;
    if (blocks % 256 == 0)
      poll_abort();
  }
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

// The one member of a compressed file: the file's own last component, its
// compression suffix taken off (".tgz" and ".taz" become ".tar"), in
// raw_name.
static void make_raw_name(void) {
  const char *sep = strrchr(member_name, PLAT_SEP);
  snprintf(raw_name, WIDE_BUF, "%s", sep != NULL ? sep + 1 : member_name);
  char *dot = strrchr(raw_name, '.');
  if (dot == NULL || dot == raw_name)
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

static int search_source(struct level *L);

// Opens member m of L (named by member_name up to name_len, its first n
// bytes in g_inbuf) as an archive one level down.  NOT_OPENED when it is
// none, with g_inbuf untouched and rest set to the member's bytes after the
// first n, read into memory on the way or not.
static enum member_outcome open_nested(struct level *L, struct member_stream *m, size_t name_len,
                                       long n, struct member_stream *rest) {
  int depth = L->depth + 1;
  if (nest_memory[depth] == NULL && (nest_memory[depth] = (unsigned char *)run_alloc(NEST_MEMORY)) == NULL) {
    fprintf(stderr, "not enough memory to open the nested archive %s\n", member_name);
    return NOT_OPENED;
  }
  unsigned char *memory = nest_memory[depth];
  memcpy(memory, g_inbuf, (size_t)n);
  size_t held = (size_t)n;
  bool whole = n < READ_SIZE;
  while (!whole && held < NEST_MEMORY) {
    la_ssize_t got = member_read(m, memory + held, NEST_MEMORY - held);
    if (got < 0) {
      if (work_exhausted)
        return STOP;
      fprintf(stderr, "couldn't read %s: %s\n", member_name, shown_error(member_reader(m)));
      if (got == ARCHIVE_FATAL)
        return BROKEN;
      *rest = {NULL, m, memory + n, held - (size_t)n};  // judged by what was read
      return NOT_OPENED;
    }
    whole = got == 0;
    held += (size_t)got;
  }
  struct level in = {};
  in.depth = depth;
  in.name_len = name_len;
  in.kind = whole ? FROM_MEMORY : FROM_MEMBER;
  in.memory = memory;
  in.held = held;
  in.outer = m;
  if (search_source(&in) == SEARCHED)
    return work_exhausted ? STOP : GO_ON;
  // Readers look at no more than the first block for what they are, which
  // is all in memory: a reader that read on has taken bytes this member
  // cannot give again.
  *rest = {NULL, m, memory + n, in.memory_reused ? 0 : held - (size_t)n};
  return NOT_OPENED;
}

// Examines member m of L, whose path in the archive is path: judges it when
// its name matches the patterns, and opens it as an archive when it is one.
static enum member_outcome examine_member(struct level *L, const char *path,
                                          struct member_stream *m, bool encrypted) {
  size_t len = append_member(L->name_len, path);
  if (len == 0) {  // member_name still ends at name_len
    say_path_too_long(member_name, "");
    return GO_ON;
  }
  const char *last = strrchr(member_name + L->name_len, PLAT_SEP) + 1;
  bool wanted = matches_member_patterns(last);
  bool archive_name = has_archive_extension(last);
  if (!wanted && !archive_name)
    return GO_ON;
  if (unsafe_path(path))
    fprintf(stderr, "unsafe member name (shown, never used as a path): %s\n", member_name);
  if (wanted)
    g_files_searched++;
  if (encrypted) {
    fprintf(stderr, "encrypted, skipped unread: %s\n", member_name);
    return GO_ON;
  }
  if (wanted && g_settings->skip_com && is_com_file(member_name))
    return GO_ON;
  long n = read_head(m);
  if (n < 0) {
    if (work_exhausted)
      return STOP;
    fprintf(stderr, "couldn't read %s: %s\n", member_name, shown_error(member_reader(m)));
    return n == ARCHIVE_FATAL ? BROKEN : GO_ON;
  }
  struct member_stream *rest = m;  // the member's bytes after the first n
  struct member_stream kept;
  if (n > 0 && (archive_name || (wanted && archive_signature(g_inbuf, n)))) {
    if (L->depth >= ARCHIVE_MAX_DEPTH) {
      if (archive_name)
        fprintf(stderr, "archive nested deeper than %d levels, not opened: %s\n",
                ARCHIVE_MAX_DEPTH, member_name);
    } else {
      enum member_outcome opened = open_nested(L, m, len, n, &kept);
      if (opened != NOT_OPENED)
        return opened;
      rest = &kept;
    }
  }
  if (wanted)
    judge_bytes(display_name(member_name), n, read_more, rest);
  return GO_ON;
}

// Examines the member of a whose header was just read.
static enum member_outcome examine_entry(struct level *L, struct archive *a, struct archive_entry *e) {
  if (archive_entry_filetype(e) != AE_IFREG)
    return GO_ON;
  if (archive_entry_hardlink(e) != NULL && archive_entry_size(e) == 0)
    return GO_ON;  // a second name of data examined under its first
  const char *path = archive_entry_pathname(e);
  if (path == NULL && (path = archive_entry_pathname_utf8(e)) == NULL)
    path = "?";
  struct member_stream m = {a, NULL, NULL, 0};
  return examine_member(L, path, &m, archive_entry_is_encrypted(e));
}

// The decompressed stream of L's filter as the compressed file's one
// member, from its first byte: what the archive reader took of it is kept.
static int search_raw(struct level *L) {
  if (L->past_replay) {  // the readers look at far less than the kept bytes
    say_unreadable(L, L->filter);
    return SEARCHED;
  }
  make_raw_name();
  struct member_stream m = {L->filter, NULL, replay[L->depth], L->filled};
  examine_member(L, raw_name, &m, false);
  member_name[L->name_len] = '\0';
  return SEARCHED;
}

// True when the decompressed stream is all zero bytes and ends within the
// bytes kept of it (read on into them to see): an empty tar archive, not a
// file that begins with a zero block.
static bool empty_stream(struct level *L) {
  unsigned char *kept = replay[L->depth];
  for (size_t i = 0;;) {
    for (; i < L->filled; i++)
      if (kept[i] != 0)
        return false;
    if (L->stream_ended)
      return true;
    if (L->past_replay || L->filled == REPLAY_MEMORY)
      return false;
    la_ssize_t got = read_counted(L->filter, kept + L->filled, REPLAY_MEMORY - L->filled, true);
    if (got < 0)
      return false;  // the member's read then says why
    L->stream_ended = got == 0;
    L->filled += (size_t)got;
  }
}

// A new archive reader on L's source, past its first skip members (read
// again from the start, which only a seekable source allows); NULL when that
// cannot be done.
static struct archive *reopen_at(struct level *L, long skip) {
  struct archive *a = rewind_source(L) ? new_reader(false) : NULL;
  if (a == NULL)
    return NULL;
  struct archive_entry *e;
  bool ok = open_reader(L, a) == ARCHIVE_OK;
  for (long i = 0; ok && i < skip; i++)
    ok = next_header(L, a, &e) >= ARCHIVE_WARN;
  if (!ok) {
    archive_read_free(a);
    return NULL;
  }
  return a;
}

// Searches the opened archive *ap of L.  NOT_ARCHIVE when it turns out to be
// none; SEARCHED otherwise, with a message when it could not be read to its
// end.  A member the reader fails on for good is passed over by reading the
// archive again from its start, where the archive allows that cheaply; *ap
// is then another reader.
static int search_opened(struct level *L, struct archive **ap, bool random_access) {
  struct archive *a = *ap;
  struct archive_entry *e;
  int r = next_header(L, a, &e);
  int format = archive_format(a);
  if (L->filter == NULL && format == 0)
    return NOT_ARCHIVE;
  if (r == ARCHIVE_EOF && L->filter != NULL && (format & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_TAR &&
      !empty_stream(L))
    return search_raw(L);  // a zero block, then more: a file, not an empty tar
  // Skipping a member costs a seek only in an archive that can seek and
  // stores its members apart; otherwise it is read through, and counted.
  bool seek_skips = random_access && L->filter == NULL && format != ARCHIVE_FORMAT_7ZIP &&
                    (format & ARCHIVE_FORMAT_BASE_MASK) != ARCHIVE_FORMAT_RAR &&
                    format != ARCHIVE_FORMAT_RAR_V5 && format != ARCHIVE_FORMAT_CAB;
  long index = 0;
  int reopens = 0;
  while (r == ARCHIVE_OK || r == ARCHIVE_WARN) {
    poll_abort();
    enum member_outcome s = examine_entry(L, a, e);
    member_name[L->name_len] = '\0';
    if (s == GO_ON && !seek_skips)
      s = drain(a);
    if (s == STOP)
      return SEARCHED;
    index++;
    if (s == BROKEN) {
      struct archive *again = seek_skips && reopens++ < MAX_REOPENS ? reopen_at(L, index) : NULL;
      if (again == NULL) {
        say_unreadable(L, a);
        return SEARCHED;
      }
      archive_read_free(a);
      *ap = a = again;
    }
    r = next_header(L, a, &e);
  }
  if (r == ARCHIVE_EOF || work_exhausted)
    return SEARCHED;
  member_name[L->name_len] = '\0';
  if (L->kind == FROM_MEMBER && format == ARCHIVE_FORMAT_7ZIP)  // it reads its index from the end
    fprintf(stderr, "nested archive over 8 MiB needs to be held whole, skipped: %s\n", member_name);
  else
    say_unreadable(L, a);
  return SEARCHED;
}

// Reads what L reads (its source, or its filter's stream) as an archive.
static int search_format(struct level *L) {
  struct archive *a = new_reader(false);
  if (a == NULL)
    return NOT_ARCHIVE;
  L->in_header = true;
  L->header_bytes = 0;
  int opened = open_reader(L, a);
  L->in_header = false;
  int result;
  if (opened == ARCHIVE_OK)
    result = search_opened(L, &a, L->filter == NULL && L->kind != FROM_MEMBER);
  else if (L->filter == NULL)
    result = NOT_ARCHIVE;
  else if (!L->stream_failed && !L->header_too_long && !work_exhausted)
    result = search_raw(L);  // no archive inside
  else {
    say_unreadable(L, a);
    result = SEARCHED;
  }
  archive_read_free(a);
  return result;
}

// Searches what L reads from as an archive, decompressed first when it is
// compressed.  NOT_ARCHIVE when it is neither; SEARCHED otherwise.
static int search_source(struct level *L) {
  struct archive *d = new_reader(true);
  if (d == NULL)
    return NOT_ARCHIVE;
  int result = SEARCHED;
  struct archive_entry *e;
  if (open_reader(L, d) != ARCHIVE_OK) {
    say_unreadable(L, d);  // a compression taken that could not start
  } else if (archive_filter_count(d) > 1) {
    if (!replay[L->depth]) {
      replay[L->depth] = (unsigned char *)run_alloc(REPLAY_MEMORY);
      stream_block[L->depth] = (unsigned char *)run_alloc(STREAM_BLOCK);
    }
    L->filter = d;
    if (replay[L->depth] == NULL || stream_block[L->depth] == NULL)
      fprintf(stderr, "not enough memory to open the archive %s\n", member_name);
    else if (archive_read_next_header(d, &e) != ARCHIVE_OK)
      say_unreadable(L, d);
    else
      result = search_format(L);
  } else if (rewind_source(L)) {
    archive_read_free(d);
    d = NULL;
    result = search_format(L);
  } else {
    say_unreadable(L, d);
  }
  archive_read_free(d);
  return result;
}

bool search_archive(plat_handle h, const char *name, const unsigned char *first, long n) {
  if (n <= 0 || (!has_archive_extension(name) && !archive_signature(first, n)))
    return false;
  if (member_name == NULL) {
    member_name = (char *)run_alloc(WIDE_BUF);
    raw_name = (char *)run_alloc(WIDE_BUF);
    file_block = (unsigned char *)run_alloc(FILE_BLOCK);
    drain_block = (unsigned char *)run_alloc(DRAIN_BLOCK);
  }
  if (member_name == NULL || raw_name == NULL || file_block == NULL || drain_block == NULL ||
      plat_seek(h, 0, 0) != 0)
    return false;
  // Only ever shown (the archive is read through h), so kept as shown.
  top_name_len = (size_t)snprintf(member_name, WIDE_BUF, "%s", shown_name(name));
  file_handle = h;
  work_done = 0;
  work_exhausted = false;
  struct level top = {};
  top.depth = 1;
  top.name_len = top_name_len;
  top.kind = FROM_FILE;
  return search_source(&top) == SEARCHED;
}
