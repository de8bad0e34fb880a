// Containers read through libarchive: ZIP, LHA, TAR, CPIO, AR, CAB, 7z, RAR,
// ISO 9660 and XAR archives, and files compressed with gzip, bzip2, xz,
// lzma, zstd or compress (several stacked).
//
// A compressed file is read in two stages: a reader that only decompresses
// hands its stream to an archive reader through a callback of ours, so that
// every byte decompressed while the archive reader reads a header passes
// through code that counts it (unpack_count) and looks for a stop
// (unpack_poll).  One header may take at most HEADER_LIMIT bytes of a
// decompressed stream (long names, pax records, sparse maps), so that what
// the library builds from a header stays small.  The start of the stream
// is kept, so that a stream in which no archive is found is read again from
// its first byte as the file's one member.
//
// A member that the library fails on for good is passed over by reading
// the archive again from its start, where that is cheap: a source that can
// seek, not compressed as a whole, of a kind that stores members apart.
#include <archive.h>
#include <archive_entry.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "run/globals.h"
#include "run/startup.h"
#include "unpack/unpack.h"

enum {
  STREAM_BLOCK = 64 * 1024,       // one read from a decompressed stream
  REPLAY_MEMORY = 1024 * 1024,    // the start of a decompressed stream, kept
  DRAIN_BLOCK = 64 * 1024,        // one read while passing over a member
  MAX_REOPENS = 64,               // damaged members passed over in one archive
  NO_FIRST = 1000,                // the first header was handed out
};
static const int64_t HEADER_LIMIT = (int64_t)4 << 20;  // 4 MiB of stream per header

struct la_reader {
  struct unpack_source *src;
  struct archive *a;            // the archive reader; NULL for a compressed file's one member
  struct archive *d;            // the decompressing reader in front, or NULL
  uint8_t *replay;              // REPLAY_MEMORY: the decompressed stream from its start
  uint8_t *block;               // STREAM_BLOCK: where it is read past that
  char *raw_name;               // WIDE_BUF: the name of a compressed file's one member,
                                // or of an entry as converted for showing
  size_t filled;                // bytes of the stream in replay
  bool past_replay;             // the archive reader read beyond those
  bool stream_ended;            // the decompressed stream came to its end
  bool stream_failed;           // decompressing failed
  bool in_header;               // the archive reader is reading a header
  int64_t header_bytes;         // bytes of a decompressed stream read for it
  bool header_too_long;
  int first;                    // the first header's status, for the first next
  struct archive_entry *entry;
  bool seek_skips;              // passing over a member costs a seek, not a read
  long index;                   // headers read
  int reopens;
  bool broken;                  // a read failed for good inside the current member
  bool raw;                     // the one member of a compressed file
  size_t raw_pos;               // raw: bytes of replay handed out
  const char *why;              // a reason of our own, or NULL
};

static struct la_reader readers[UNPACK_MAX_DEPTH + 1];  // one per depth
static uint8_t *drain_block;                            // DRAIN_BLOCK

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
    // The names of DOS archives not flagged as UTF-8 are in the code page
    // the platform reads DOS names in.
    const char *charset = plat_dos_names_charset();
    if (charset != NULL) {
      char options[64];
      snprintf(options, sizeof options, "zip:hdrcharset=%s,lha:hdrcharset=%s", charset, charset);
      archive_read_set_options(a, options);
    }
    return a;
  }
  archive_read_support_format_raw(a);
  for (size_t i = 0; i < sizeof filters / sizeof filters[0]; i++)
    if (usable & (1 << i))
      filters[i](a);
  return a;
}

// Counts n bytes of a decompressed stream that r's archive reader took;
// false when they make the header it is reading longer than HEADER_LIMIT.
static bool header_room(struct la_reader *r, long n) {
  if (!r->in_header || n <= 0)
    return true;
  r->header_bytes += n;
  if (r->header_bytes <= HEADER_LIMIT)
    return true;
  r->header_too_long = true;
  return false;
}

// r's own source, for either reader.  The bytes of a member read on past
// its first block are decompressed ones: they count toward a header's bound.
static la_ssize_t source_read(struct archive *, void *data, const void **buffer) {
  struct la_reader *r = (struct la_reader *)data;
  bool member_bytes = r->src->kind == UNPACK_STREAM && r->src->handed;
  const uint8_t *b;
  long got = unpack_source_block(r->src, &b);
  if (got < 0 || (member_bytes && !header_room(r, got)))
    return ARCHIVE_FATAL;
  *buffer = b;
  return got;
}

static la_int64_t source_seek(struct archive *, void *data, la_int64_t offset, int whence) {
  struct la_reader *r = (struct la_reader *)data;
  int64_t pos = unpack_source_seek(r->src, offset, whence == SEEK_SET ? 0 : whence == SEEK_CUR ? 1 : 2);
  return pos < 0 ? ARCHIVE_FATAL : pos;
}

// The decompressed stream, for the archive reader: kept in replay while
// there is room.  Bytes read for a header are counted here; a member's
// bytes where the member is read.
static la_ssize_t filter_read(struct archive *, void *data, const void **buffer) {
  struct la_reader *r = (struct la_reader *)data;
  unpack_poll();
  uint8_t *into = r->block;
  size_t room = STREAM_BLOCK;
  if (!r->past_replay && r->filled < REPLAY_MEMORY) {
    into = r->replay + r->filled;
    room = REPLAY_MEMORY - r->filled < room ? REPLAY_MEMORY - r->filled : room;
  } else {
    r->past_replay = true;
  }
  la_ssize_t got = archive_read_data(r->d, into, room);
  if (got < 0) {
    r->stream_failed = true;
    return ARCHIVE_FATAL;
  }
  if (r->in_header && !unpack_count(got))
    return ARCHIVE_FATAL;
  r->stream_ended = got == 0;
  if (!r->past_replay)
    r->filled += (size_t)got;
  if (!header_room(r, got))
    return ARCHIVE_FATAL;
  *buffer = into;
  return got;
}

// Opens reader x on the decompressed stream, or on r's own source.
static int open_on(struct la_reader *r, struct archive *x, bool through_filter) {
  if (through_filter) {
    archive_read_set_read_callback(x, filter_read);
  } else {
    archive_read_set_read_callback(x, source_read);
    if (unpack_source_seekable(r->src))
      archive_read_set_seek_callback(x, source_seek);
  }
  archive_read_set_callback_data(x, r);
  r->in_header = true;
  r->header_bytes = 0;
  plat_archive_names_begin();
  int opened = archive_read_open1(x);
  plat_archive_names_end();
  r->in_header = false;
  return opened;
}

// archive_read_next_header, with the bytes it reads counted as a header's.
static int next_header(struct la_reader *r) {
  r->in_header = true;
  r->header_bytes = 0;
  plat_archive_names_begin();
  int s = archive_read_next_header(r->a, &r->entry);
  plat_archive_names_end();
  r->in_header = false;
  return s;
}

// True when the decompressed stream is all zero bytes and ends within the
// bytes kept of it (read on into them to see): an empty tar archive, not a
// file that begins with a zero block.
static bool empty_stream(struct la_reader *r) {
  for (size_t i = 0;;) {
    for (; i < r->filled; i++)
      if (r->replay[i] != 0)
        return false;
    if (r->stream_ended)
      return true;
    if (r->past_replay || r->filled == REPLAY_MEMORY)
      return false;
    la_ssize_t got = archive_read_data(r->d, r->replay + r->filled, REPLAY_MEMORY - r->filled);
    if (got < 0 || !unpack_count(got))
      return false;  // the member's read then says why
    r->stream_ended = got == 0;
    r->filled += (size_t)got;
  }
}

// The decompressed stream as the compressed file's one member, named after
// the file, its compression suffix taken off (".tgz" and ".taz" become
// ".tar"), read from its first byte: what the archive reader took of it is
// kept.
static int take_as_member(struct la_reader *r) {
  archive_read_free(r->a);
  r->a = NULL;
  if (r->past_replay) {  // the archive readers look at far less than that
    r->why = "read too far to be read again";
    return UNPACK_FAILED;
  }
  r->raw = true;
  r->raw_pos = 0;
  r->first = ARCHIVE_OK;
  snprintf(r->raw_name, WIDE_BUF, "%s", r->src->name);
  char *dot = strrchr(r->raw_name, '.');
  if (dot == NULL || dot == r->raw_name)
    return UNPACK_OK;
  static const char *const suffixes[] = {".gz", ".z", ".bz2", ".xz", ".lzma", ".zst"};
  for (const char *s : suffixes)
    if (strcasecmp(dot, s) == 0) {
      *dot = '\0';
      return UNPACK_OK;
    }
  if (strcasecmp(dot, ".tgz") == 0 || strcasecmp(dot, ".taz") == 0)
    memcpy(dot, ".tar", 5);
  return UNPACK_OK;
}

// Leaves r holding nothing.
static void la_close(void *reader) {
  struct la_reader *r = (struct la_reader *)reader;
  archive_read_free(r->a);
  archive_read_free(r->d);
  r->a = r->d = NULL;
}

// Not a container of this kind: nothing held, the source from its start.
static int not_ours(struct la_reader *r) {
  la_close(r);
  return unpack_source_rewind(r->src) ? UNPACK_NONE : UNPACK_FAILED;
}

// Opens the archive reader on the decompressed stream or on r's source.
static int open_archive(struct la_reader *r) {
  if ((r->a = new_reader(false)) == NULL)
    return not_ours(r);
  bool filtered = r->d != NULL;
  if (open_on(r, r->a, filtered) != ARCHIVE_OK) {
    if (!filtered)
      return not_ours(r);
    if (r->stream_failed || r->header_too_long || unpack_exhausted())
      return UNPACK_FAILED;
    return take_as_member(r);  // no archive inside
  }
  r->first = next_header(r);
  int format = archive_format(r->a);
  if (!filtered && format == 0)
    return not_ours(r);
  if (r->first == ARCHIVE_EOF && filtered &&
      (format & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_TAR && !empty_stream(r))
    return take_as_member(r);  // a zero block, then more: a file, not an empty tar
  r->seek_skips = !filtered && unpack_source_seekable(r->src) && format != ARCHIVE_FORMAT_7ZIP &&
                  (format & ARCHIVE_FORMAT_BASE_MASK) != ARCHIVE_FORMAT_RAR &&
                  format != ARCHIVE_FORMAT_RAR_V5 && format != ARCHIVE_FORMAT_CAB;
  return UNPACK_OK;
}

static int la_open(struct unpack_source *src, const uint8_t *, long, void **reader) {
  struct la_reader *r = &readers[src->depth];
  uint8_t *replay = r->replay, *block = r->block;
  char *raw_name = r->raw_name;
  *r = {};
  r->first = NO_FIRST;
  r->src = src;
  r->replay = replay;
  r->block = block;
  r->raw_name = raw_name;
  *reader = r;
  if (r->raw_name == NULL && (r->raw_name = (char *)run_alloc(WIDE_BUF)) == NULL)
    return UNPACK_NONE;
  if (drain_block == NULL && (drain_block = (uint8_t *)run_alloc(DRAIN_BLOCK)) == NULL)
    return UNPACK_NONE;
  if ((r->d = new_reader(true)) == NULL)
    return UNPACK_NONE;
  if (open_on(r, r->d, false) != ARCHIVE_OK)
    return UNPACK_FAILED;  // a compression taken that could not start
  if (archive_filter_count(r->d) <= 1) {  // not compressed
    archive_read_free(r->d);
    r->d = NULL;
    if (!unpack_source_rewind(src)) {
      r->why = "its start cannot be read again";
      return UNPACK_FAILED;
    }
    return open_archive(r);
  }
  if (r->replay == NULL) {
    r->replay = (uint8_t *)run_alloc(REPLAY_MEMORY);
    r->block = (uint8_t *)run_alloc(STREAM_BLOCK);
  }
  if (r->replay == NULL || r->block == NULL) {
    r->why = "not enough memory";
    return UNPACK_FAILED;
  }
  struct archive_entry *e;
  if (archive_read_next_header(r->d, &e) != ARCHIVE_OK)
    return UNPACK_FAILED;
  return open_archive(r);
}

// A new archive reader on r's source past the members read so far, in place
// of the one that failed; false when that cannot be done.
static bool reopen_past(struct la_reader *r) {
  struct archive *old = r->a;
  if (!unpack_source_rewind(r->src) || (r->a = new_reader(false)) == NULL) {
    r->a = old;
    return false;
  }
  bool ok = open_on(r, r->a, false) == ARCHIVE_OK;
  for (long i = 0; ok && i < r->index; i++)
    ok = next_header(r) >= ARCHIVE_WARN;
  if (!ok) {
    archive_read_free(r->a);
    r->a = old;
    return false;
  }
  archive_read_free(old);
  return true;
}

// Reads the rest of the current member and drops it.  False when the
// archive cannot go on.
static bool drain(struct la_reader *r) {
  for (int blocks = 1;; blocks++) {
    la_ssize_t got = archive_read_data(r->a, drain_block, DRAIN_BLOCK);
    if (got == 0)
      return true;
    if (got < 0)  // a member's own fault: the next header decides
      return got != ARCHIVE_FATAL;
    if (!unpack_count(got))
      return false;
    if (blocks % 256 == 0)
      unpack_poll();
  }
}

// True when the member named path of an ar library is one of its tables
// (symbols, long names), not a member of its own.
static bool library_table(struct la_reader *r, const char *path) {
  static const char *const tables[] = {"/", "//", "/SYM64/", "__.SYMDEF", "__.SYMDEF SORTED"};
  if ((archive_format(r->a) & ARCHIVE_FORMAT_BASE_MASK) != ARCHIVE_FORMAT_AR)
    return false;
  for (const char *t : tables)
    if (strcmp(path, t) == 0)
      return true;
  return false;
}

static int la_next(void *reader, struct unpack_member *m) {
  struct la_reader *r = (struct la_reader *)reader;
  int s;
  if (r->first != NO_FIRST) {
    s = r->first;
    r->first = NO_FIRST;
  } else if (r->raw) {
    return UNPACK_END;
  } else {
    if (r->broken) {
      r->broken = false;
      if (!r->seek_skips || r->reopens++ >= MAX_REOPENS || !reopen_past(r))
        return UNPACK_FAILED;
    } else if (!r->seek_skips && !drain(r)) {
      return UNPACK_FAILED;
    }
    s = next_header(r);
  }
  if (s == ARCHIVE_EOF)
    return UNPACK_END;
  if (s < ARCHIVE_WARN)  // 7z reads its index from the end
    return r->src->kind == UNPACK_STREAM && archive_format(r->a) == ARCHIVE_FORMAT_7ZIP ? UNPACK_WHOLE
                                                                                      : UNPACK_FAILED;
  r->index++;
  if (r->raw) {
    *m = {r->raw_name, true, false, false, false, false, 0};
    return UNPACK_OK;
  }
  struct archive_entry *e = r->entry;
  const char *path = NULL;
  if (PLAT_ARCHIVE_NAMES_WIDE) {
    const wchar_t *wide = archive_entry_pathname_w(e);
    if (wide != NULL && plat_member_name_from_wide(wide, r->raw_name, WIDE_BUF))
      path = r->raw_name;
  }
  if (path == NULL && (path = archive_entry_pathname(e)) == NULL &&
      (path = archive_entry_pathname_utf8(e)) == NULL)
    path = "?";
  m->path = path;
  m->regular = archive_entry_filetype(e) == AE_IFREG && !library_table(r, path);
  m->second_name = archive_entry_hardlink(e) != NULL && archive_entry_size(e) == 0;
  m->encrypted = archive_entry_is_encrypted(e);
  m->utf8 = false;  // converted already, as the platform shows names
  m->has_mtime = archive_entry_mtime_is_set(e) != 0;
  m->mtime = m->has_mtime ? (int64_t)archive_entry_mtime(e) : 0;
  return UNPACK_OK;
}

static long la_read(void *reader, uint8_t *out, size_t count) {
  struct la_reader *r = (struct la_reader *)reader;
  if (r->raw && r->raw_pos < r->filled) {  // counted when it was read for a header
    size_t n = r->filled - r->raw_pos < count ? r->filled - r->raw_pos : count;
    memcpy(out, r->replay + r->raw_pos, n);
    r->raw_pos += n;
    return (long)n;
  }
  la_ssize_t got = archive_read_data(r->raw ? r->d : r->a, out, count);
  if (got < 0) {
    r->stream_failed = r->raw;
    r->broken = got == ARCHIVE_FATAL;
    return -1;
  }
  return unpack_count(got) ? (long)got : -1;
}

static const char *la_error(void *reader) {
  struct la_reader *r = (struct la_reader *)reader;
  if (r->header_too_long)
    return "a header over 4 MiB";
  if (r->why != NULL)
    return r->why;
  struct archive *x = r->stream_failed || r->a == NULL ? r->d : r->a;
  const char *s = x != NULL ? archive_error_string(x) : NULL;
  return s != NULL ? s : "unreadable";
}

extern const struct unpack_format unpack_libarchive;
const struct unpack_format unpack_libarchive = {"libarchive", la_open, la_next, la_read, la_error, la_close};
