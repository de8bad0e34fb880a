// ZIP archives that hold members shrunk (method 1), reduced (2 to 5) or
// imploded (6), as PKZIP 1.x made them, or deflated with a 64 KiB window
// (method 9), which libarchive does not read: read here from their central
// directory, with the decoders of shrink.h, reduce.h, implode.h and
// deflate64.h (and zlib's inflate for the deflated members such an archive
// may also hold, and stored ones).  Every other ZIP is left to libarchive:
// this module takes an archive only when its directory names one of those
// methods, and only from a source that can seek (the directory is at the
// end).  A self-extracting archive (a program before it) is read the same,
// its offsets corrected by where the directory really lies.
#include <string.h>

#include "run/startup.h"
#include "unpack/deflate64.h"
#include "unpack/implode.h"
#include "unpack/inflate.h"
#include "unpack/reduce.h"
#include "unpack/shrink.h"
#include "unpack/unpack.h"

enum {
  END_RECORD = 22,          // the end of central directory record, without its comment
  END_SEARCH = 22 + 65535,  // it lies within this many bytes of the end
  DIR_ENTRY = 46,
  LOCAL_HEADER = 30,
  NAME_MAX_ZIP = 65535,
  SEARCH_BLOCK = 4096,
};

struct zip_reader {
  struct unpack_source *src;
  int64_t dir_at;        // where the next directory entry lies
  long entries_left;
  int64_t shift;         // what the stated offsets lack (a program before the archive)
  int64_t left;          // compressed bytes of the current member not yet pulled
  int method;
  const char *why;
  char name[NAME_MAX_ZIP + 1];
  uint8_t entry[DIR_ENTRY];
  uint8_t block[SEARCH_BLOCK];
  struct shrink_state shrink;
  struct reduce_state reduce;
  struct implode_state implode;
  struct inflate_state inflate;
  struct deflate64_state deflate64;
};

static struct zip_reader *readers[UNPACK_MAX_DEPTH + 1];  // by depth, made on first use

// Reads count bytes at offset; false when they are not all there.
static bool read_at(struct zip_reader *r, int64_t offset, uint8_t *out, size_t count) {
  return unpack_source_seek(r->src, offset, 0) == offset &&
         unpack_source_read(r->src, out, count) == (long)count;
}

// Finds the end record; false when there is none (or it belongs to one
// volume of several: r->why then says so).  Sets the directory's place, its
// entry count and the shift of the stated offsets.
static bool find_end(struct zip_reader *r) {
  int64_t size = unpack_source_seek(r->src, 0, 2);
  if (size < END_RECORD)
    return false;
  // Backwards in blocks that overlap by a record's length.
  int64_t lowest = size > END_SEARCH ? size - END_SEARCH : 0;
  for (int64_t end = size; end > lowest;) {
    int64_t start = end - SEARCH_BLOCK > lowest ? end - SEARCH_BLOCK : lowest;
    size_t n = (size_t)(end - start);
    if (!read_at(r, start, r->block, n))
      return false;
    for (long i = (long)n - END_RECORD; i >= 0; i--) {
      const uint8_t *e = r->block + i;
      if (memcmp(e, "PK\5\6", 4) != 0 || start + i + END_RECORD + unpack_get16(e + 20) > size)
        continue;
      if (unpack_get16(e + 4) != 0 || unpack_get16(e + 6) != 0) {
        r->why = "one volume of a multi-volume set, not searched";
        return false;
      }
      uint32_t dir_size = unpack_get32(e + 12), dir_offset = unpack_get32(e + 16);
      int64_t at = start + i - (int64_t)dir_size;
      if (at < 0 || dir_offset == 0xFFFFFFFF)
        return false;
      r->entries_left = (long)unpack_get16(e + 10);
      r->shift = at - dir_offset;
      r->dir_at = at;
      return true;
    }
    if (start == lowest)
      break;
    end = start + END_RECORD - 1;
  }
  return false;
}

// Reads the directory entry at r->dir_at into r->entry and r->name, and
// moves dir_at past it.  False when it is not there.
static bool read_entry(struct zip_reader *r) {
  if (!read_at(r, r->dir_at, r->entry, DIR_ENTRY) || memcmp(r->entry, "PK\1\2", 4) != 0)
    return false;
  unsigned name_len = unpack_get16(r->entry + 28);
  if (unpack_source_read(r->src, (uint8_t *)r->name, name_len) != (long)name_len)
    return false;
  r->name[name_len] = '\0';
  r->dir_at += DIR_ENTRY + name_len + unpack_get16(r->entry + 30) + unpack_get16(r->entry + 32);
  return true;
}

// True when the directory names a member shrunk, reduced, imploded or
// deflated with the 64 KiB window.  The
// directory is read on to find one, so that other archives cost nothing
// more than their directory.
static bool old_methods(struct zip_reader *r) {
  int64_t first = r->dir_at;
  long entries = r->entries_left;
  bool found = false;
  for (long i = 0; i < entries && !found; i++) {
    if (!read_entry(r))
      break;
    unsigned method = unpack_get16(r->entry + 10);
    found = (method >= 1 && method <= 6) || method == 9;
  }
  r->dir_at = first;
  return found;
}

static int zip_open(struct unpack_source *src, const uint8_t *first, long n, void **reader) {
  bool plain = n >= 4 && memcmp(first, "PK\3\4", 4) == 0;
  if ((!plain && !(n >= 2 && first[0] == 'M' && first[1] == 'Z')) || !unpack_source_seekable(src))
    return UNPACK_NONE;
  int depth = src->depth;
  if (readers[depth] == NULL) {
    readers[depth] = (struct zip_reader *)run_alloc(sizeof *readers[depth]);
    if (readers[depth] == NULL)
      return UNPACK_NONE;
    memset(readers[depth], 0, sizeof *readers[depth]);
  }
  struct zip_reader *r = readers[depth];
  *reader = r;
  r->src = src;
  r->why = NULL;
  r->left = 0;
  bool ours = find_end(r) && old_methods(r);
  if (!unpack_source_rewind(src) || (plain && r->why != NULL))
    return UNPACK_FAILED;
  return ours ? UNPACK_OK : UNPACK_NONE;
}

// The current member's compressed bytes, no more.
static long pull(void *reader, uint8_t *into, size_t count) {
  struct zip_reader *r = (struct zip_reader *)reader;
  return unpack_source_pull(r->src, &r->left, into, count);
}

static int zip_next(void *reader, struct unpack_member *m) {
  struct zip_reader *r = (struct zip_reader *)reader;
  if (r->entries_left-- <= 0)
    return UNPACK_END;
  if (!read_entry(r)) {
    r->why = "damaged central directory";
    return UNPACK_FAILED;
  }
  const uint8_t *e = r->entry;
  unsigned flags = unpack_get16(e + 8);
  uint64_t size = unpack_get32(e + 24);
  size_t name_len = strlen(r->name);
  m->path = r->name;
  m->regular = name_len > 0 && r->name[name_len - 1] != '/' && r->name[name_len - 1] != '\\';
  m->second_name = false;
  m->encrypted = (flags & 1) != 0;
  m->utf8 = (flags & 0x800) != 0;  // general purpose bit 11: the name is UTF-8
  r->method = (int)unpack_get16(e + 10);
  r->why = NULL;
  uint8_t local[LOCAL_HEADER];
  int64_t at = (int64_t)unpack_get32(e + 42) + r->shift;
  if (!m->regular || m->encrypted)
    return UNPACK_OK;
  if (!read_at(r, at, local, LOCAL_HEADER) || memcmp(local, "PK\3\4", 4) != 0) {
    r->why = "no member where the directory says";
    return UNPACK_OK;  // this member alone is unreadable
  }
  int64_t data = at + LOCAL_HEADER + unpack_get16(local + 26) + unpack_get16(local + 28);
  if (unpack_source_seek(r->src, data, 0) != data) {
    r->why = "truncated member";
    return UNPACK_OK;
  }
  r->left = unpack_get32(e + 20);
  switch (r->method) {
    case 0:
      r->left = r->left < (int64_t)size ? r->left : (int64_t)size;
      break;
    case 1:
      shrink_init(&r->shrink, pull, r, size);
      break;
    case 2: case 3: case 4: case 5:
      reduce_init(&r->reduce, pull, r, size, r->method);
      break;
    case 6:
      implode_init(&r->implode, pull, r, size, flags);
      break;
    case 8:
      inflate_member_init(&r->inflate, pull, r, size);
      break;
    case 9:
      deflate64_init(&r->deflate64, pull, r, size);
      break;
    default:
      r->why = "a compression method KIVOR lacks";
  }
  return UNPACK_OK;
}

static long zip_read(void *reader, uint8_t *out, size_t count) {
  struct zip_reader *r = (struct zip_reader *)reader;
  if (r->why != NULL)
    return -1;
  long got;
  const char *error = NULL;
  switch (r->method) {
    case 0:
      got = pull(r, out, count);
      error = "read failed";
      break;
    case 1:
      got = shrink_read(&r->shrink, out, count);
      error = r->shrink.error;
      break;
    case 6:
      got = implode_read(&r->implode, out, count);
      error = r->implode.error;
      break;
    case 8:
      got = inflate_member_read(&r->inflate, out, count);
      error = r->inflate.error;
      break;
    case 9:
      got = deflate64_read(&r->deflate64, out, count);
      error = r->deflate64.error;
      break;
    default:
      got = reduce_read(&r->reduce, out, count);
      error = r->reduce.error;
  }
  if (got < 0) {
    r->why = error != NULL ? error : "unreadable";
    return -1;
  }
  return unpack_count(got) ? got : -1;
}

static const char *zip_error(void *reader) {
  struct zip_reader *r = (struct zip_reader *)reader;
  return r->why != NULL ? r->why : "unreadable";
}

static void zip_close(void *) {}

extern const struct unpack_format unpack_pkzip;
const struct unpack_format unpack_pkzip = {"PKZIP 1.x", zip_open, zip_next, zip_read, zip_error, zip_close};
