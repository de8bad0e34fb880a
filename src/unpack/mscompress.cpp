// MS COMPRESS files, SZDD and KWAJ, read with libmspack: a file that holds
// one compressed member.  The member is named by the name the header
// stores (KWAJ), else by the file's own name with its last character, the
// '_' the compressor put there, given back from the header (KEYS.PG_ holds
// KEYS.PGP).
//
// The library decompresses a member in one call, writing it out as it
// goes; the first OUT_MEMORY bytes are kept (all that the examination ever
// reads of a member, a nested container held whole included), counted, and
// the decompression is stopped there.
#include <mspack.h>
#include <stdio.h>
#include <string.h>

#include "run/globals.h"
#include "run/startup.h"
#include "unpack/unpack.h"

enum {
  OUT_MEMORY = 8 * 1024 * 1024,
  HEADER_BYTES = 14,  // an SZDD header; a KWAJ header is at least that long
};

// What the library's file routines stand for: the source, or the member's
// memory.
struct ms_file {
  bool output;
  struct ms_reader *r;
};

struct ms_reader {
  struct unpack_source *src;
  uint8_t *out;      // OUT_MEMORY
  size_t made;       // bytes of the member in out
  size_t given;      // of those, handed to the examination
  bool cut;          // the member goes on past out
  char *name;        // WIDE_BUF
  bool taken;        // next gave the member
  const char *why;
  struct ms_file in_file, out_file;
};

static struct ms_reader readers[UNPACK_MAX_DEPTH + 1];

static struct mspack_file *ms_open(struct mspack_system *, const char *name, int) {
  return (struct mspack_file *)name;  // our own ms_file, passed as the name
}

static void ms_close(struct mspack_file *) {}

static int ms_read(struct mspack_file *file, void *buffer, int bytes) {
  struct ms_file *f = (struct ms_file *)file;
  if (f->output || bytes < 0)
    return -1;
  unpack_poll();
  return (int)unpack_source_read(f->r->src, (uint8_t *)buffer, (size_t)bytes);
}

// The member's bytes: kept while there is room, counted; past the room the
// library is told the write failed, which ends its work.
static int ms_write(struct mspack_file *file, void *buffer, int bytes) {
  struct ms_file *f = (struct ms_file *)file;
  struct ms_reader *r = f->r;
  if (!f->output || bytes < 0)
    return -1;
  size_t n = (size_t)bytes;
  if (n > OUT_MEMORY - r->made) {
    r->cut = true;
    return -1;
  }
  if (!unpack_count(bytes))
    return -1;
  memcpy(r->out + r->made, buffer, n);
  r->made += n;
  return bytes;
}

static int ms_seek(struct mspack_file *file, off_t offset, int mode) {
  struct ms_file *f = (struct ms_file *)file;
  if (f->output)
    return -1;
  int whence = mode == MSPACK_SYS_SEEK_START ? 0 : mode == MSPACK_SYS_SEEK_CUR ? 1 : 2;
  return unpack_source_seek(f->r->src, offset, whence) < 0 ? -1 : 0;
}

static off_t ms_tell(struct mspack_file *file) {
  struct ms_file *f = (struct ms_file *)file;
  return f->output ? (off_t)f->r->made : (off_t)unpack_source_tell(f->r->src);
}

static void ms_message(struct mspack_file *, const char *, ...) {}

static void *ms_alloc(struct mspack_system *, size_t bytes) {
  return malloc(bytes);
}

static void ms_free(void *p) {
  free(p);
}

static void ms_copy(void *from, void *to, size_t bytes) {
  memmove(to, from, bytes);
}

static struct mspack_system ms_system = {ms_open, ms_close, ms_read,    ms_write, ms_seek,
                                         ms_tell, ms_message, ms_alloc, ms_free,  ms_copy, NULL};

// The library's error, in words.
static const char *ms_reason(int e) {
  switch (e) {
    case MSPACK_ERR_READ:
      return "read error";
    case MSPACK_ERR_SEEK:
      return "needs to be held whole";
    case MSPACK_ERR_NOMEMORY:
      return "not enough memory";
    case MSPACK_ERR_SIGNATURE:
    case MSPACK_ERR_DATAFORMAT:
      return "damaged header";
    case MSPACK_ERR_DECRUNCH:
      return "damaged data";
    default:
      return "unreadable";
  }
}

// The member's name: stored, else the file's own with its last character
// given back.
static void name_member(struct ms_reader *r, const char *stored, char missing) {
  if (stored != NULL && stored[0] != '\0') {
    snprintf(r->name, WIDE_BUF, "%s", stored);
    return;
  }
  size_t len = (size_t)snprintf(r->name, WIDE_BUF, "%s", r->src->name);
  if (len == 0 || len >= WIDE_BUF || r->name[len - 1] != '_' || missing == '\0')
    return;
  bool lower = false;  // a name in capitals, as DOS wrote them, gets a capital back
  for (size_t i = 0; i < len; i++)
    lower = lower || (r->name[i] >= 'a' && r->name[i] <= 'z');
  r->name[len - 1] = !lower && missing >= 'a' && missing <= 'z' ? (char)(missing - 'a' + 'A') : missing;
}

// Decompresses the member of an SZDD or KWAJ file into r->out.
static int decompress(struct ms_reader *r, bool kwaj) {
  int e = MSPACK_ERR_NOMEMORY;
  if (kwaj) {
    struct mskwaj_decompressor *k = mspack_create_kwaj_decompressor(&ms_system);
    struct mskwajd_header *h = k != NULL ? k->open(k, (const char *)&r->in_file) : NULL;
    if (h != NULL) {
      name_member(r, h->filename, '\0');
      e = k->extract(k, h, (const char *)&r->out_file);
      k->close(k, h);
    } else if (k != NULL) {
      e = k->last_error(k);
    }
    mspack_destroy_kwaj_decompressor(k);
  } else {
    struct msszdd_decompressor *z = mspack_create_szdd_decompressor(&ms_system);
    struct msszddd_header *h = z != NULL ? z->open(z, (const char *)&r->in_file) : NULL;
    if (h != NULL) {
      name_member(r, NULL, h->missing_char);
      e = z->extract(z, h, (const char *)&r->out_file);
      z->close(z, h);
    } else if (z != NULL) {
      e = z->last_error(z);
    }
    mspack_destroy_szdd_decompressor(z);
  }
  if (e == MSPACK_ERR_OK || (e == MSPACK_ERR_WRITE && r->cut))
    return UNPACK_OK;
  r->why = e == MSPACK_ERR_WRITE ? "stopped" : ms_reason(e);
  return UNPACK_FAILED;
}

static int ms_open_reader(struct unpack_source *src, const uint8_t *first, long n, void **reader) {
  static const uint8_t szdd[] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};
  static const uint8_t qbasic[] = {'S', 'Z', ' ', 0x88, 0xF0, 0x27, 0x33, 0xD1};
  static const uint8_t kwaj[] = {'K', 'W', 'A', 'J', 0x88, 0xF0, 0x27, 0xD1};
  if (n < HEADER_BYTES)
    return UNPACK_NONE;
  bool is_kwaj = memcmp(first, kwaj, 8) == 0;
  if (!is_kwaj && memcmp(first, szdd, 8) != 0 && memcmp(first, qbasic, 8) != 0)
    return UNPACK_NONE;
  struct ms_reader *r = &readers[src->depth];
  *reader = r;
  r->src = src;
  r->made = r->given = 0;
  r->cut = r->taken = false;
  r->why = NULL;
  r->in_file = {false, r};
  r->out_file = {true, r};
  if (r->out == NULL) {
    r->out = (uint8_t *)run_alloc(OUT_MEMORY);
    r->name = (char *)run_alloc(WIDE_BUF);
  }
  if (r->out == NULL || r->name == NULL) {
    r->why = "not enough memory";
    return UNPACK_FAILED;
  }
  if (!unpack_source_seekable(src)) {  // the library seeks in its input
    r->why = "needs to be held whole";
    return UNPACK_FAILED;
  }
  if (!unpack_source_rewind(src))
    return UNPACK_NONE;
  return decompress(r, is_kwaj);
}

static int ms_next(void *reader, struct unpack_member *m) {
  struct ms_reader *r = (struct ms_reader *)reader;
  if (r->taken)
    return UNPACK_END;
  r->taken = true;
  *m = {r->name, true, false, false, false, false, 0};
  return UNPACK_OK;
}

static long ms_read_member(void *reader, uint8_t *out, size_t count) {
  struct ms_reader *r = (struct ms_reader *)reader;
  size_t n = r->made - r->given < count ? r->made - r->given : count;
  if (n == 0 && r->cut) {
    r->why = "larger than 8 MiB, read in part";
    return -1;
  }
  memcpy(out, r->out + r->given, n);
  r->given += n;
  return (long)n;
}

static const char *ms_error(void *reader) {
  struct ms_reader *r = (struct ms_reader *)reader;
  return r->why != NULL ? r->why : "unreadable";
}

static void ms_close_reader(void *) {}

extern const struct unpack_format unpack_mscompress;
const struct unpack_format unpack_mscompress = {"MS COMPRESS", ms_open_reader, ms_next, ms_read_member,
                                                ms_error, ms_close_reader};
