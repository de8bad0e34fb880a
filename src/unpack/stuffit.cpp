// StuffIt archives of the Macintosh, in both their forms.  The classic one
// ("SIT!" and its kin, "rLau" at offset 10) is a 22-byte header, then for
// each file a 112-byte header followed by its resource fork's compressed
// bytes and its data fork's; a folder is a header of method 32 before its
// files and one of method 33 after them.  It is read sequentially, so a
// stream is read as well as a file.  StuffIt 5 (a text header beginning
// "StuffIt (c)1997-") links its entries by offsets: each folder names its
// first entry and how many it holds, each entry the next; it is read only
// from a source that can seek.  A self-extracting archive (.sea) is the
// same archive in the program's data fork, from its first byte.
//
// A member is a file's data fork, an empty one included (the resource fork
// holds a Mac program's code and resources, not documents).  Numbers are
// big-endian; headers and forks carry the CRC-16 of ARC (polynomial 0x8005,
// bits reversed, no conditioning), forks that of their bytes decompressed,
// except with method 15, which checks its own.
#include <stdio.h>
#include <string.h>

#include "run/startup.h"
#include "unpack/arsenic.h"
#include "unpack/macroman.h"
#include "unpack/rle90.h"
#include "unpack/sit13.h"
#include "unpack/sit_lzw.h"
#include "unpack/unpack.h"

static const size_t CLASSIC_NAME = 63;  // a classic name's bytes, fixed by the format

enum {
  // Fixed by the formats.
  CLASSIC_HEAD = 22,
  CLASSIC_ENTRY = 112,
  FOLDER_START = 32,
  FOLDER_END = 33,
  FIVE_HEAD = 100,
  FIVE_ENTRY = 48,        // an entry's fixed part
  FIVE_RESOURCE = 14,     // a resource fork's lengths, CRC and method
  FIVE_FLAG_ENCRYPTED = 0x20,
  FIVE_FLAG_FOLDER = 0x40,
  // KIVOR's choices.
  MAX_LEVELS = 32,        // folders within folders
  MAX_ENTRIES = 1 << 17,  // StuffIt 5: entries one archive may have, folders and markers included
  PATH_BYTES = 4096,
  SKIP_BLOCK = 4096,
};

struct sit_level {
  int64_t next;     // StuffIt 5: the next entry of this folder
  unsigned left;    // StuffIt 5: entries of it not yet read
  size_t path_len;  // where its name ends in path
};

struct sit_reader {
  struct unpack_source *src;
  bool five;
  int64_t end;            // the archive's stated length
  int64_t budget;         // StuffIt 5: header bytes that may still be read (a loop ends on it)
  long entries_left;      // StuffIt 5: and entries
  int levels;             // folders open, the archive itself being the first
  struct sit_level level[MAX_LEVELS + 1];
  char path[PATH_BYTES];
  int64_t data_end;       // classic: where the current member's bytes end; -1 before the first
  int64_t left;           // compressed bytes of the current member not yet pulled
  int method;
  uint64_t size, given;   // the member's stated size, and bytes given of it
  bool check_crc;
  uint16_t crc, crc_expected;
  const char *why;
  char why_text[80];
  uint8_t head[CLASSIC_ENTRY > FIVE_HEAD ? CLASSIC_ENTRY : FIVE_HEAD];
  uint8_t block[SKIP_BLOCK];
  uint8_t entry[65536];   // a StuffIt 5 entry's header, whose size has 16 bits
  struct rle90_state rle;
  struct sit_lzw_state lzw;
  struct sit13_state lz;
};

static struct sit_reader *readers[UNPACK_MAX_DEPTH + 1];      // by depth, made on first use
static struct arsenic_state *arsenic[UNPACK_MAX_DEPTH + 1];   // made when the method first comes

static uint32_t get16(const uint8_t *b) {
  return (uint32_t)b[0] << 8 | b[1];
}

static uint32_t get32(const uint8_t *b) {
  return get16(b) << 16 | get16(b + 2);
}

static uint16_t crc16(uint16_t crc, const uint8_t *b, size_t n) {
  for (size_t i = 0; i < n; i++) {
    crc ^= b[i];
    for (int k = 0; k < 8; k++)
      crc = (uint16_t)((crc >> 1) ^ ((crc & 1) ? 0xA001 : 0));
  }
  return crc;
}

// The classic signatures; "rLau" follows at offset 10.
static bool classic(const uint8_t *b, long n) {
  static const char *const magics[] = {"SIT!", "ST46", "ST50", "ST60", "ST65",
                                       "STin", "STi2", "STi3", "STi4"};
  if (n < CLASSIC_HEAD || memcmp(b + 10, "rLau", 4) != 0)
    return false;
  for (const char *m : magics)
    if (memcmp(b, m, 4) == 0)
      return true;
  return false;
}

static bool five(const uint8_t *b, long n) {
  return n >= FIVE_HEAD && memcmp(b, "StuffIt (c)1997-", 16) == 0 && b[78] == '\r' &&
         b[79] == '\n';
}

static bool read_exactly(struct sit_reader *r, uint8_t *out, size_t count) {
  return unpack_source_read(r->src, out, count) == (long)count;
}

static bool read_at(struct sit_reader *r, int64_t at, uint8_t *out, size_t count) {
  return unpack_source_seek(r->src, at, 0) == at && read_exactly(r, out, count);
}

// Passes over count bytes: a seek where the source can, a read where not.
static bool skip(struct sit_reader *r, int64_t count) {
  if (unpack_source_seekable(r->src))
    return unpack_source_seek(r->src, count, 1) >= 0;
  while (count > 0) {
    size_t n = count < (int64_t)SKIP_BLOCK ? (size_t)count : (size_t)SKIP_BLOCK;
    if (!read_exactly(r, r->block, n))
      return false;
    count -= (int64_t)n;
  }
  return true;
}

// Why the header just read is not to be trusted, or NULL: its CRC, of its
// first n bytes, the CRC's own two at crc_at taken as zeros where they lie
// among them.
static const char *header_crc(struct sit_reader *r, const uint8_t *h, size_t n, size_t crc_at) {
  static const uint8_t zeros[2] = {0, 0};
  uint16_t crc = crc16(0, h, crc_at < n ? crc_at : n);
  if (crc_at + 2 <= n) {
    crc = crc16(crc, zeros, 2);
    crc = crc16(crc, h + crc_at + 2, n - crc_at - 2);
  }
  if (crc == get16(h + crc_at))
    return NULL;
  snprintf(r->why_text, sizeof r->why_text, "StuffIt header CRC %04x, expected %04x",
           (unsigned)crc, (unsigned)get16(h + crc_at));
  return r->why_text;
}

// True when the n bytes at b are UTF-8 with at least one character beyond
// ASCII: StuffIt 5 stores names so, where the classic format has Mac Roman.
static bool utf8(const uint8_t *b, size_t n) {
  bool wide = false;
  for (size_t i = 0; i < n;) {
    size_t more = b[i] < 0x80                  ? 0
                  : b[i] >= 0xC2 && b[i] < 0xE0 ? 1
                  : b[i] >= 0xE0 && b[i] < 0xF0 ? 2
                  : b[i] >= 0xF0 && b[i] < 0xF5 ? 3
                                                : 9;  // not a first byte
    if (more == 9 || n - i - 1 < more)
      return false;
    for (size_t k = 1; k <= more; k++)
      if ((b[i + k] & 0xC0) != 0x80)
        return false;
    wide = wide || more > 0;
    i += more + 1;
  }
  return wide;
}

// Puts a folder's or file's name after the path of the open folders; false
// when it does not fit.
static bool add_name(struct sit_reader *r, const uint8_t *name, size_t n) {
  size_t at = r->level[r->levels - 1].path_len;
  if (at > 0)
    r->path[at++] = '/';
  long len = -1;
  if (r->five && utf8(name, n) && n < sizeof r->path - at) {
    for (size_t i = 0; i < n; i++)
      r->path[at + i] = name[i] == '/' ? ':' : (char)name[i];
    r->path[at + n] = '\0';
    len = (long)n;
  } else {
    len = macroman_to_utf8(name, n, r->path + at, sizeof r->path - at);
  }
  if (len < 0) {
    r->path[r->level[r->levels - 1].path_len] = '\0';
    return false;
  }
  return true;
}

// Opens a folder named by name: its entries come next (classic), or from
// first on (StuffIt 5).  False when folders nest too deep.
static bool open_folder(struct sit_reader *r, const uint8_t *name, size_t n, int64_t first,
                        unsigned count) {
  if (r->levels > MAX_LEVELS || !add_name(r, name, n))
    return false;
  struct sit_level *l = &r->level[r->levels++];
  l->next = first;
  l->left = count;
  l->path_len = strlen(r->path);
  return true;
}

// The decoder's compressed bytes: the member's, no more.
static long pull(void *reader, uint8_t *into, size_t count) {
  struct sit_reader *r = (struct sit_reader *)reader;
  return unpack_source_pull(r->src, &r->left, into, count);
}

// Sets up the reading of a data fork of method (its low four bits), whose
// compressed bytes (packed of them) come next, decompressing to size bytes
// with the CRC crc.
static void start_member(struct sit_reader *r, int method, int64_t packed, uint64_t size,
                         uint16_t crc, int depth) {
  r->method = method;
  r->left = packed;
  r->size = size;
  r->given = 0;
  r->crc = 0;
  r->crc_expected = crc;
  r->check_crc = method != 15;
  r->why = NULL;
  if (size == 0)
    r->method = method = 0;  // an empty fork, whatever its method: nothing to decode
  switch (method) {
    case 0:
      break;
    case 1:
      rle90_init(&r->rle, pull, r);
      break;
    case 2:
      sit_lzw_init(&r->lzw, pull, r, size);
      break;
    case 13:
      sit13_init(&r->lz, pull, r, size);
      break;
    case 15:
      if (arsenic[depth] == NULL)
        arsenic[depth] = (struct arsenic_state *)run_alloc(sizeof *arsenic[depth]);
      if (arsenic[depth] == NULL)
        r->why = "out of memory";
      else
        arsenic_init(arsenic[depth], pull, r, size);
      break;
    default:
      r->why = "a compression method KIVOR lacks, not searched";
  }
}

static int sit_open(struct unpack_source *src, const uint8_t *first, long n, void **reader) {
  bool is_five = five(first, n);
  if (!is_five && !classic(first, n))
    return UNPACK_NONE;
  int depth = src->depth;
  if (readers[depth] == NULL &&
      (readers[depth] = (struct sit_reader *)run_alloc(sizeof *readers[depth])) == NULL)
    return UNPACK_NONE;
  struct sit_reader *r = readers[depth];
  *reader = r;
  r->src = src;
  r->five = is_five;
  r->why = NULL;
  r->data_end = -1;
  r->left = 0;
  r->levels = 1;
  r->level[0].path_len = 0;
  r->path[0] = '\0';
  r->method = 0;
  r->size = r->given = 0;
  r->check_crc = false;
  size_t len = is_five ? FIVE_HEAD : CLASSIC_HEAD;
  if (!read_exactly(r, r->head, len)) {
    r->why = "truncated header";
    return UNPACK_FAILED;
  }
  if (is_five) {
    r->end = get32(r->head + 84);
    r->level[0].left = get16(r->head + 92);
    r->level[0].next = get32(r->head + 94);
    r->budget = r->end;  // entries do not share bytes: more of them means a loop
    r->entries_left = MAX_ENTRIES;
  } else {
    r->end = get32(r->head + 6);
  }
  return UNPACK_OK;
}

// The next member of a classic archive.
static int classic_next(struct sit_reader *r, struct unpack_member *m) {
  if (r->data_end >= 0) {  // past what is left of the member before
    int64_t left = r->data_end - unpack_source_tell(r->src);
    if (left < 0 || !skip(r, left)) {
      r->why = "truncated member";
      return UNPACK_FAILED;
    }
  }
  for (;;) {
    unpack_poll();
    int64_t at = unpack_source_tell(r->src);
    if (at + CLASSIC_ENTRY > r->end)
      return UNPACK_END;
    uint8_t *h = r->head;
    long got = unpack_source_read(r->src, h, CLASSIC_ENTRY);
    if (got == 0)
      return UNPACK_END;  // the stated length overstates
    if (got != CLASSIC_ENTRY) {
      r->why = "truncated header";
      return UNPACK_FAILED;
    }
    if ((r->why = header_crc(r, h, 110, 110)) != NULL)
      return UNPACK_FAILED;
    unsigned resource_method = h[0] & 0x6F, data_method = h[1] & 0x6F;  // less the encryption bits
    size_t name_len = h[2] < CLASSIC_NAME ? h[2] : CLASSIC_NAME;
    if (resource_method == FOLDER_START || data_method == FOLDER_START) {
      if (!open_folder(r, h + 3, name_len, 0, 0)) {
        r->why = "folders nested too deep";
        return UNPACK_FAILED;
      }
      continue;
    }
    if (resource_method == FOLDER_END || data_method == FOLDER_END) {
      if (r->levels > 1)
        r->levels--;
      r->path[r->level[r->levels - 1].path_len] = '\0';
      continue;
    }
    int64_t resource = get32(h + 92), packed = get32(h + 96);
    r->data_end = at + CLASSIC_ENTRY + resource + packed;
    if (r->data_end > r->end) {
      r->why = "lengths that run past the end of the archive";
      return UNPACK_FAILED;
    }
    if (!add_name(r, h + 3, name_len)) {
      r->why = "a name too long";
      return UNPACK_FAILED;
    }
    if (!skip(r, resource)) {
      r->why = "truncated member";
      return UNPACK_FAILED;
    }
    m->path = r->path;
    m->regular = true;
    m->second_name = false;
    m->encrypted = (h[1] & 0x90) != 0;
    m->utf8 = true;
    start_member(r, h[1] & 0x0F, packed, get32(h + 88), (uint16_t)get16(h + 102),
                 r->src->depth);
    return UNPACK_OK;
  }
}

// The next member of a StuffIt 5 archive.
static int five_next(struct sit_reader *r, struct unpack_member *m) {
  if (!unpack_source_seekable(r->src))
    return UNPACK_WHOLE;
  for (;;) {
    struct sit_level *l = &r->level[r->levels - 1];
    if (l->left == 0) {
      if (r->levels == 1)
        return UNPACK_END;
      r->levels--;
      r->path[r->level[r->levels - 1].path_len] = '\0';
      continue;
    }
    unpack_poll();
    if (r->entries_left-- <= 0) {
      r->why = "a folder tree that loops";
      return UNPACK_FAILED;
    }
    int64_t at = l->next;
    uint8_t *h = r->head;
    if (at + FIVE_ENTRY > r->end || !read_at(r, at, h, FIVE_ENTRY) || get32(h) != 0xA5A5A5A5u) {
      r->why = "no entry where the archive says";
      return UNPACK_FAILED;
    }
    size_t header = get16(h + 6), name_len = get16(h + 30);
    unsigned flags = h[9];
    bool folder = (flags & FIVE_FLAG_FOLDER) != 0;
    size_t name_at = FIVE_ENTRY + (folder ? 0 : h[47]);
    if (header < name_at + name_len || at + (int64_t)header > r->end) {
      r->why = "a damaged entry header";
      return UNPACK_FAILED;
    }
    if ((r->budget -= (int64_t)header) < 0) {
      r->why = "a folder tree that loops";
      return UNPACK_FAILED;
    }
    if (!read_exactly(r, r->entry + FIVE_ENTRY, header - FIVE_ENTRY)) {
      r->why = "truncated header";
      return UNPACK_FAILED;
    }
    memcpy(r->entry, h, FIVE_ENTRY);
    if ((r->why = header_crc(r, r->entry, header, 32)) != NULL)
      return UNPACK_FAILED;
    const uint8_t *name = r->entry + name_at;
    l->next = get32(h + 22);
    if (folder) {
      if (get32(h + 34) == 0xFFFFFFFFu)
        continue;  // a marker, not counted among the folder's entries
      l->left--;
      if (!open_folder(r, name, name_len, get32(h + 34), get16(h + 46))) {
        r->why = "a folder tree that loops";
        return UNPACK_FAILED;
      }
      continue;
    }
    l->left--;
    if (!add_name(r, name, name_len)) {
      r->why = "a name too long";
      return UNPACK_FAILED;
    }
    m->path = r->path;
    m->regular = true;
    m->second_name = false;
    m->encrypted = (flags & FIVE_FLAG_ENCRYPTED) != 0;
    m->utf8 = true;
    // The second header: whether a resource fork's bytes come first.
    int64_t second = at + (int64_t)header;
    size_t resource_at = h[4] == 1 ? 36 : 32;
    uint8_t more[64];
    int64_t resource = 0, data = second + (int64_t)resource_at;
    bool forked = read_at(r, second, more, resource_at) && (get16(more) & 1) != 0;
    if (forked && !read_exactly(r, more + resource_at, FIVE_RESOURCE)) {
      r->why = "truncated header";
      return UNPACK_FAILED;
    }
    if (forked) {
      resource = get32(more + resource_at + 4);
      data += FIVE_RESOURCE;
    }
    int64_t packed = get32(h + 38);
    data += resource;
    start_member(r, h[46] & 0x0F, packed, get32(h + 34), (uint16_t)get16(h + 42),
                 r->src->depth);
    if (data + packed > r->end || unpack_source_seek(r->src, data, 0) != data) {
      r->why = "lengths that run past the end of the archive";
      r->left = 0;
    }
    return UNPACK_OK;
  }
}

static int sit_next(void *reader, struct unpack_member *m) {
  struct sit_reader *r = (struct sit_reader *)reader;
  r->path[r->level[r->levels - 1].path_len] = '\0';
  return r->five ? five_next(r, m) : classic_next(r, m);
}

static long sit_read(void *reader, uint8_t *out, size_t count) {
  struct sit_reader *r = (struct sit_reader *)reader;
  if (r->why != NULL)
    return -1;
  if (r->given == r->size) {
    if (r->check_crc && r->crc != r->crc_expected) {
      snprintf(r->why_text, sizeof r->why_text, "StuffIt data CRC %04x, expected %04x",
               (unsigned)r->crc, (unsigned)r->crc_expected);
      r->why = r->why_text;
      return -1;
    }
    return 0;
  }
  if ((uint64_t)count > r->size - r->given)
    count = (size_t)(r->size - r->given);
  long got;
  const char *error;
  switch (r->method) {
    case 0:
      got = pull(r, out, count);
      error = "read failed";
      break;
    case 1:
      got = rle90_read(&r->rle, out, count);
      error = r->rle.error;
      break;
    case 2:
      got = sit_lzw_read(&r->lzw, out, count);
      error = r->lzw.error;
      break;
    case 13:
      got = sit13_read(&r->lz, out, count);
      error = r->lz.error;
      break;
    default:
      got = arsenic_read(arsenic[r->src->depth], out, count);
      error = arsenic[r->src->depth]->error;
  }
  if (got < 0 || got > (long)count) {
    r->why = error != NULL ? error : "unreadable";
    return -1;
  }
  if (got == 0) {
    r->why = "truncated data";
    return -1;
  }
  r->crc = crc16(r->crc, out, (size_t)got);
  r->given += (uint64_t)got;
  return unpack_count(got) ? got : -1;
}

static const char *sit_error(void *reader) {
  struct sit_reader *r = (struct sit_reader *)reader;
  return r->why != NULL ? r->why : "unreadable";
}

static void sit_close(void *) {}

extern const struct unpack_format unpack_stuffit;
const struct unpack_format unpack_stuffit = {"StuffIt", sit_open, sit_next, sit_read, sit_error,
                                             sit_close};
