// Compact Pro archives, the Macintosh's: an 8-byte header (a byte 1, the
// volume number, two bytes that tie the volumes of a set together, the
// directory's offset), each file's forks, then the directory.  The
// directory begins with its CRC-32 (over the rest of it), its entry count
// and a comment, then the entries, each a byte of name length, the top bit
// set for a folder, and the name in Mac Roman: a folder then gives how many
// entries after it are inside it (those of its folders included), a file
// its volume, where its forks lie, type, creator, dates, Finder flags, the
// CRC-32 of its resource fork followed by its data fork, its flags
// (encrypted; LZH for each fork) and the forks' lengths, decoded and coded.
// Numbers are big-endian.  The CRCs are the usual CRC-32 without its last
// inversion.
//
// A member is a file's data fork (the resource fork, before it, is read
// only for the CRC).  The only signature is the first byte, so an archive
// is taken when its directory's CRC checks, or when its name ends in .cpt
// (which then says what is wrong).  The directory is at the end, so the
// source must seek.  A self-extracting archive is an application whose
// data fork is a plain archive: it is read as one.
#include <string.h>
#include <strings.h>

#include "run/startup.h"
#include "unpack/cpt_lzh.h"
#include "unpack/macroman.h"
#include "unpack/unpack.h"

enum {
  HEADER = 8,
  DIR_HEAD = 7,      // the directory's CRC, entry count and comment length
  FILE_FIELDS = 45,  // a file entry after its name
  NAME_MAX_CPT = 127,
  COMPONENT = NAME_MAX_CPT * MACROMAN_UTF8_MAX + 1,  // a name in UTF-8 and a '/' or NUL
  MAX_LEVELS = 32,                                   // folders in folders
  PATH_SIZE = (MAX_LEVELS + 1) * COMPONENT,
  SCRATCH = 4096,
  FLAG_ENCRYPTED = 1,
  FLAG_RSRC_LZH = 2,
  FLAG_DATA_LZH = 4,
};

struct cpt_reader {
  struct unpack_source *src;
  bool stream;          // the source cannot seek: nothing can be read
  int volume;
  int64_t dir_start;    // where the directory begins (and the forks end)
  int64_t entries_at;   // where its first entry lies
  int64_t dir_at;       // where the next entry lies
  long index, total;    // entries read so far, and in all
  int levels;           // folders open around the next entry
  long level_end[MAX_LEVELS];   // the index where each one's entries end
  size_t level_len[MAX_LEVELS]; // the path's length before its name
  size_t path_len;      // the open folders' part of path, '/' after each
  char path[PATH_SIZE];
  uint8_t name[NAME_MAX_CPT];
  uint8_t fields[FILE_FIELDS];  // the current file's entry after its name
  // The current member.
  int64_t left;         // coded bytes of the fork being decoded not yet pulled
  uint64_t given;       // bytes of the data fork given
  uint32_t crc;         // their CRC, from a register of 0
  bool checked;         // the CRC was checked
  const char *why;
  struct cpt_fork_state fork;
  uint8_t scratch[SCRATCH];
};

static struct cpt_reader *readers[UNPACK_MAX_DEPTH + 1];  // by depth, made on first use
static uint32_t crc_table[256];

static uint32_t get16(const uint8_t *b) {
  return (uint32_t)b[0] << 8 | b[1];
}

static uint32_t get32(const uint8_t *b) {
  return get16(b) << 16 | get16(b + 2);
}

static uint32_t crc_update(uint32_t crc, const uint8_t *b, size_t n) {
  for (size_t i = 0; i < n; i++)
    crc = crc_table[(crc ^ b[i]) & 0xFF] ^ crc >> 8;
  return crc;
}

// Reads count bytes at offset, seeking only when the source is elsewhere;
// false when they are not all there.
static bool read_at(struct cpt_reader *r, int64_t offset, uint8_t *out, size_t count) {
  if (unpack_source_tell(r->src) != offset && unpack_source_seek(r->src, offset, 0) != offset)
    return false;
  return unpack_source_read(r->src, out, count) == (long)count;
}

// Reads the entry at r->dir_at and moves past it, updating *crc: a folder
// is opened (*folder set), a file's fields kept and its path made.  NULL,
// or why the directory cannot be read on.
static const char *read_entry(struct cpt_reader *r, uint32_t *crc, bool *folder) {
  while (r->levels > 0 && r->level_end[r->levels - 1] <= r->index)
    r->path_len = r->level_len[--r->levels];
  uint8_t kind;
  if (!read_at(r, r->dir_at, &kind, 1))
    return "truncated directory";
  size_t name_len = kind & 0x7F, rest = kind & 0x80 ? 2 : FILE_FIELDS;
  if (!read_at(r, r->dir_at + 1, r->name, name_len) ||
      !read_at(r, r->dir_at + 1 + (int64_t)name_len, r->fields, rest))
    return "truncated directory";
  *crc = crc_update(*crc, &kind, 1);
  *crc = crc_update(*crc, r->name, name_len);
  *crc = crc_update(*crc, r->fields, rest);
  r->dir_at += 1 + (int64_t)name_len + (int64_t)rest;
  r->index++;
  *folder = (kind & 0x80) != 0;
  long written = macroman_to_utf8(r->name, name_len, r->path + r->path_len, PATH_SIZE - r->path_len);
  if (written < 0)
    return "damaged directory";
  if (!*folder)
    return NULL;
  long end = r->index + (long)get16(r->fields);
  if (end > (r->levels > 0 ? r->level_end[r->levels - 1] : r->total))
    return "damaged directory";  // a folder claiming more than there are
  if (r->levels == MAX_LEVELS)
    return "folders nested too deep";
  r->level_end[r->levels] = end;
  r->level_len[r->levels++] = r->path_len;
  r->path_len += (size_t)written;
  r->path[r->path_len++] = '/';
  return NULL;
}

// Reads the whole directory, checking its CRC and that its folders hold
// what they claim; leaves r at its first entry.  NULL, or what is wrong.
static const char *check_directory(struct cpt_reader *r) {
  uint8_t head[DIR_HEAD];
  int64_t size = unpack_source_seek(r->src, 0, 2);
  if (size < 0 || r->dir_start < HEADER || r->dir_start > size - DIR_HEAD ||
      !read_at(r, r->dir_start, head, DIR_HEAD))
    return "no directory where the header says";
  uint32_t crc = crc_update(0xFFFFFFFF, head + 4, 3);
  if (!read_at(r, r->dir_start + DIR_HEAD, r->scratch, head[6]))
    return "truncated directory";
  crc = crc_update(crc, r->scratch, head[6]);
  r->entries_at = r->dir_at = r->dir_start + DIR_HEAD + head[6];
  r->total = (long)get16(head + 4);
  r->index = 0;
  r->levels = 0;
  r->path_len = 0;
  while (r->index < r->total) {
    bool folder;
    const char *bad = read_entry(r, &crc, &folder);
    if (bad != NULL)
      return bad;
  }
  if (crc != get32(head))
    return "directory CRC mismatch";
  r->dir_at = r->entries_at;
  r->index = 0;
  r->levels = 0;
  r->path_len = 0;
  return NULL;
}

static int cpt_open(struct unpack_source *src, const uint8_t *first, long n, void **reader) {
  if (n < HEADER || first[0] != 1)
    return UNPACK_NONE;
  size_t name_len = strlen(src->name);
  bool named = name_len >= 4 && strcasecmp(src->name + name_len - 4, ".cpt") == 0;
  if (!named && !unpack_source_seekable(src))
    return UNPACK_NONE;
  int depth = src->depth;
  if (readers[depth] == NULL && (readers[depth] = (struct cpt_reader *)run_alloc(sizeof *readers[depth])) == NULL)
    return UNPACK_NONE;
  if (crc_table[1] == 0) {
    for (uint32_t i = 0; i < 256; i++) {
      uint32_t c = i;
      for (int k = 0; k < 8; k++)
        c = c >> 1 ^ (0xEDB88320u & (0u - (c & 1)));
      crc_table[i] = c;
    }
  }
  struct cpt_reader *r = readers[depth];
  *reader = r;
  r->src = src;
  r->why = NULL;
  r->stream = !unpack_source_seekable(src);
  r->index = r->total = 0;
  if (r->stream)
    return UNPACK_OK;  // next says it must be held whole
  r->volume = first[1];
  r->dir_start = (int64_t)get32(first + 4);
  const char *bad = check_directory(r);
  if (bad == NULL)
    return UNPACK_OK;
  r->why = bad;
  if (!unpack_source_rewind(src) || named)
    return UNPACK_FAILED;
  return UNPACK_NONE;
}

// The current fork's coded bytes, no more.
static long pull(void *reader, uint8_t *into, size_t count) {
  struct cpt_reader *r = (struct cpt_reader *)reader;
  return unpack_source_pull(r->src, &r->left, into, count);
}

static int cpt_next(void *reader, struct unpack_member *m) {
  struct cpt_reader *r = (struct cpt_reader *)reader;
  if (r->stream)
    return UNPACK_WHOLE;
  bool folder = true;
  while (folder) {
    if (r->index >= r->total)
      return UNPACK_END;
    uint32_t crc = 0;  // checked once already
    r->why = read_entry(r, &crc, &folder);
    if (r->why != NULL)
      return UNPACK_FAILED;
  }
  const uint8_t *f = r->fields;
  unsigned flags = get16(f + 27);
  int64_t at = (int64_t)get32(f + 1) + get32(f + 37), coded = get32(f + 41);
  m->path = r->path;
  m->regular = true;
  m->second_name = false;
  m->encrypted = (flags & FLAG_ENCRYPTED) != 0;
  m->utf8 = true;
  r->given = 0;
  r->crc = 0;
  r->checked = false;
  if (m->encrypted)
    r->why = "encrypted";
  else if (f[0] != r->volume)
    r->why = f[0] < r->volume ? "begins in an earlier volume, not searched"
                              : "in a later volume, not searched";
  else if (get32(f + 1) < HEADER || at + coded > r->dir_start || unpack_source_seek(r->src, at, 0) != at)
    r->why = "no data where the directory says";
  r->left = coded;
  cpt_fork_init(&r->fork, pull, r, get32(f + 33), (flags & FLAG_DATA_LZH) != 0);
  return UNPACK_OK;
}

// Decodes the resource fork for the file's CRC, which covers it and then
// the data fork given: NULL when the CRC checks, or why not.
static const char *check_crc(struct cpt_reader *r) {
  const uint8_t *f = r->fields;
  int64_t at = get32(f + 1);
  uint32_t crc = 0xFFFFFFFF;
  if (get32(f + 29) > 0) {
    r->left = get32(f + 37);
    if (unpack_source_seek(r->src, at, 0) != at)
      return "damaged resource fork";
    cpt_fork_init(&r->fork, pull, r, get32(f + 29), (get16(f + 27) & FLAG_RSRC_LZH) != 0);
    long got;
    while ((got = cpt_fork_read(&r->fork, r->scratch, SCRATCH)) > 0) {
      if (!unpack_count(got))
        return "";  // the work limit, which the examination says
      crc = crc_update(crc, r->scratch, (size_t)got);
    }
    if (got < 0)
      return "damaged resource fork";
  }
  // What the register would be after the data fork's bytes from crc: the
  // register from 0 over them, and crc over as many zeros.
  static const uint8_t zeros[SCRATCH] = {0};
  for (uint64_t n = r->given; n > 0;) {
    size_t k = n < SCRATCH ? (size_t)n : (size_t)SCRATCH;
    crc = crc_update(crc, zeros, k);
    n -= k;
  }
  return (crc ^ r->crc) == get32(f + 23) ? NULL : "CRC mismatch";
}

static long cpt_read(void *reader, uint8_t *out, size_t count) {
  struct cpt_reader *r = (struct cpt_reader *)reader;
  if (r->why != NULL)
    return -1;
  long got = cpt_fork_read(&r->fork, out, count);
  if (got < 0) {
    r->why = r->fork.error;
    return -1;
  }
  if (got > 0) {
    r->crc = crc_update(r->crc, out, (size_t)got);
    r->given += (uint64_t)got;
    return unpack_count(got) ? got : -1;
  }
  if (!r->checked) {
    r->checked = true;
    r->why = check_crc(r);
    if (r->why != NULL)
      return -1;
  }
  return 0;
}

static const char *cpt_error(void *reader) {
  struct cpt_reader *r = (struct cpt_reader *)reader;
  return r->why != NULL && r->why[0] != '\0' ? r->why : "unreadable";
}

static void cpt_close(void *) {}

extern const struct unpack_format unpack_compactpro;
const struct unpack_format unpack_compactpro = {"Compact Pro", cpt_open, cpt_next, cpt_read, cpt_error, cpt_close};
