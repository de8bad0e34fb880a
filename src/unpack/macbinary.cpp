// MacBinary (I, II and III) and AppleSingle/AppleDouble: a Mac file's
// forks stored plain behind a header.  The data fork is the one member,
// named by the Mac name stored (Mac Roman, shown as UTF-8), else, for an
// AppleSingle file without one, by the file's own name without its
// extension.  The resource fork is not read.  A file with no data fork (an
// AppleDouble header file, a program all in its resource fork) has no
// member.
//
// MacBinary: a 128-byte header (macwrap.h), a secondary header padded to
// 128 bytes where MacBinary II says there is one, then the data fork.
// AppleSingle: a 26-byte header, then a table of entries (id, offset,
// length, big-endian), each entry's bytes where its offset says, in any
// order; id 1 is the data fork, id 3 the real name.  Both are read forward
// from the start where the source is a stream; AppleSingle seeks where it
// can.
#include <string.h>

#include "run/globals.h"
#include "run/startup.h"
#include "unpack/macroman.h"
#include "unpack/macwrap.h"
#include "unpack/unpack.h"

enum {
  SKIP_BLOCK = 4096,
  NAME_MAX_AS = 255,  // the longest real name read; the rest is passed over
  ID_DATA = 1,
  ID_NAME = 3,
};

static uint32_t be16(const uint8_t *b) {
  return (uint32_t)b[0] << 8 | b[1];
}

static uint32_t be32(const uint8_t *b) {
  return be16(b) << 16 | be16(b + 2);
}

static int64_t padded(int64_t n) {
  return (n + 127) / 128 * 128;
}

bool macbinary_header(const uint8_t *b, long n, int64_t size, struct macbinary_info *info) {
  if (n < MACBINARY_HEADER || b[0] != 0 || b[74] != 0 || b[82] != 0 || b[1] < 1 || b[1] > 63)
    return false;
  int name_len = b[1];
  for (int i = 0; i < name_len; i++)
    if (b[2 + i] < 0x20 || b[2 + i] == 0x7F || b[2 + i] == ':')
      return false;
  uint32_t data_len = be32(b + 83), rsrc_len = be32(b + 87);
  if (data_len >= 0x80000000u || rsrc_len >= 0x80000000u)
    return false;
  int version = 1;
  long data_at = MACBINARY_HEADER;
  if (mac_crc16(0, b, 124) == be16(b + 124)) {
    version = memcmp(b + 102, "mBIN", 4) == 0 ? 3 : 2;
    data_at += (long)padded(be16(b + 120));
  } else {
    for (int i = 101; i < 126; i++)
      if (b[i] != 0)
        return false;
    for (int i = 65; i < 73; i++)  // type and creator
      if (b[i] < 0x20 || b[i] > 0x7E)
        return false;
    if (data_len >= 0x800000 || rsrc_len >= 0x800000 || data_len + rsrc_len == 0)
      return false;
    int64_t least = MACBINARY_HEADER + (rsrc_len > 0 ? padded(data_len) + rsrc_len : data_len);
    int64_t most = MACBINARY_HEADER + padded(data_len) + padded(rsrc_len) + padded(be16(b + 99));
    if (size >= 0 && (size < least || size > most))
      return false;
  }
  if (info != NULL)
    *info = {version, b + 2, name_len, data_len, rsrc_len, data_at};
  return true;
}

bool applesingle_header(const uint8_t *b, long n, bool *doubled) {
  if (n < APPLESINGLE_HEADER || be32(b) >> 8 != 0x000516 || (b[3] != 0x00 && b[3] != 0x07))
    return false;
  uint32_t version = be32(b + 4);
  if (version != 0x00010000 && version != 0x00020000)
    return false;
  if (doubled != NULL)
    *doubled = b[3] == 0x07;
  return true;
}

// One file's reader, of either format.
struct fork_reader {
  struct unpack_source *src;
  bool has_data;        // there is a data fork
  int64_t data_at;      // where it begins
  int64_t left;         // of its bytes, not yet given
  bool given;           // next gave it
  bool whole;           // (a stream) its entries lie out of order: needs random access
  bool named_by_file;   // path is the file's own name as shown, not stored Mac Roman
  const char *why;
  char path[PATH_BUF];
  uint8_t block[SKIP_BLOCK];
};

static struct fork_reader *readers[UNPACK_MAX_DEPTH + 1];  // by depth, made on first use

static struct fork_reader *reader_at(struct unpack_source *src) {
  int depth = src->depth;
  if (readers[depth] == NULL && (readers[depth] = (struct fork_reader *)run_alloc(sizeof *readers[depth])) == NULL)
    return NULL;
  struct fork_reader *r = readers[depth];
  r->src = src;
  r->has_data = r->given = r->whole = r->named_by_file = false;
  r->data_at = r->left = 0;
  r->why = NULL;
  r->path[0] = '\0';
  return r;
}

// Moves the source forward to offset: a seek where it can, reading where
// it cannot.  False when the source ends first, fails, or is a stream
// already past offset.
static bool move_to(struct fork_reader *r, int64_t offset) {
  if (unpack_source_seekable(r->src))
    return unpack_source_seek(r->src, offset, 0) == offset;
  for (int64_t here = unpack_source_tell(r->src); here < offset;) {
    size_t n = offset - here < (int64_t)SKIP_BLOCK ? (size_t)(offset - here) : (size_t)SKIP_BLOCK;
    unpack_poll();
    if (unpack_source_read(r->src, r->block, n) != (long)n)
      return false;
    here += (int64_t)n;
  }
  return unpack_source_tell(r->src) == offset;
}

static int fork_next(void *reader, struct unpack_member *m) {
  struct fork_reader *r = (struct fork_reader *)reader;
  if (r->given || !r->has_data)
    return UNPACK_END;
  r->given = true;
  if (r->whole)
    return UNPACK_WHOLE;
  if (!move_to(r, r->data_at))
    r->why = "truncated data";
  m->path = r->path;
  m->regular = true;
  m->second_name = false;
  m->encrypted = false;
  m->utf8 = !r->named_by_file;
  return UNPACK_OK;
}

static long fork_read(void *reader, uint8_t *out, size_t count) {
  struct fork_reader *r = (struct fork_reader *)reader;
  if (r->why != NULL)
    return -1;
  if (r->left == 0)
    return 0;
  long got = unpack_source_pull(r->src, &r->left, out, count);
  if (got <= 0) {
    r->why = got < 0 ? "read failed" : "truncated data";
    return -1;
  }
  return unpack_count(got) ? got : -1;
}

static const char *fork_error(void *reader) {
  struct fork_reader *r = (struct fork_reader *)reader;
  return r->why != NULL ? r->why : "unreadable";
}

static void fork_close(void *) {}

static int mb_open(struct unpack_source *src, const uint8_t *first, long n, void **reader) {
  if (!macbinary_header(first, n, -1, NULL))
    return UNPACK_NONE;  // before the size is asked for
  int64_t size = -1;
  if (src->kind == UNPACK_MEMORY) {
    size = (int64_t)src->held;
  } else if (src->kind == UNPACK_FILE) {
    size = unpack_source_seek(src, 0, 2);
    if (!unpack_source_rewind(src))
      return UNPACK_NONE;
  }
  struct macbinary_info info;
  if (!macbinary_header(first, n, size, &info))
    return UNPACK_NONE;
  struct fork_reader *r = reader_at(src);
  if (r == NULL)
    return UNPACK_NONE;
  *reader = r;
  r->has_data = info.data_len > 0;
  r->data_at = info.data_at;
  r->left = info.data_len;
  macroman_to_utf8(info.name, (size_t)info.name_len, r->path, sizeof r->path);
  return UNPACK_OK;
}

extern const struct unpack_format unpack_macbinary;
const struct unpack_format unpack_macbinary = {"MacBinary", mb_open, fork_next, fork_read, fork_error, fork_close};

// The file's own name without its extension, as the member's.
static void name_from_file(struct fork_reader *r) {
  const char *name = r->src->name != NULL ? r->src->name : "";
  const char *dot = strrchr(name, '.');
  size_t len = dot != NULL && dot != name ? (size_t)(dot - name) : strlen(name);
  if (len >= sizeof r->path) {
    len = sizeof r->path - 1;
    while (len > 0 && ((unsigned char)name[len] & 0xC0) == 0x80)
      len--;  // not inside a character
  }
  memcpy(r->path, name, len);
  r->path[len] = '\0';
  r->named_by_file = true;
}

static int as_open(struct unpack_source *src, const uint8_t *first, long n, void **reader) {
  if (!applesingle_header(first, n, NULL))
    return UNPACK_NONE;
  struct fork_reader *r = reader_at(src);
  if (r == NULL)
    return UNPACK_NONE;
  *reader = r;
  uint8_t *b = r->block;
  if (unpack_source_read(src, b, APPLESINGLE_HEADER) != APPLESINGLE_HEADER) {
    r->why = "read failed";
    return UNPACK_FAILED;
  }
  unsigned entries = be16(b + 24);
  int64_t name_at = -1, name_len = 0;
  for (unsigned i = 0; i < entries; i++) {
    if (i % 256 == 0)
      unpack_poll();
    if (unpack_source_read(src, b, APPLESINGLE_ENTRY) != APPLESINGLE_ENTRY) {
      r->why = "truncated entry table";
      return UNPACK_FAILED;
    }
    uint32_t id = be32(b), offset = be32(b + 4), length = be32(b + 8);
    if (id == ID_DATA && !r->has_data) {
      r->has_data = length > 0;
      r->data_at = offset;
      r->left = length;
    } else if (id == ID_NAME && name_at < 0 && length > 0) {
      name_at = offset;
      name_len = length < (uint32_t)NAME_MAX_AS ? (int64_t)length : (int64_t)NAME_MAX_AS;
    }
  }
  bool seekable = unpack_source_seekable(src);
  int64_t here = unpack_source_tell(src);
  if (name_at >= 0 && !seekable && (name_at < here || (r->has_data && name_at > r->data_at)))
    r->whole = true;  // the name lies behind, or past the data fork
  else if (r->has_data && !seekable && r->data_at < here)
    r->whole = true;
  if (!r->whole && name_at >= 0 && move_to(r, name_at) &&
      unpack_source_read(src, b, (size_t)name_len) == name_len)
    macroman_to_utf8(b, (size_t)name_len, r->path, sizeof r->path);
  if (r->path[0] == '\0')
    name_from_file(r);
  return UNPACK_OK;
}

extern const struct unpack_format unpack_applesingle;
const struct unpack_format unpack_applesingle = {"AppleSingle", as_open, fork_next, fork_read, fork_error, fork_close};
