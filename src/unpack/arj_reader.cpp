// ARJ archives, plain and self-extracting (a DOS program with the archive
// after it), read with the header parser of arj.h and the decoders of
// arj_decode.h: headers and compressed bytes one after another, so that a
// stream is read as well as a file.
#include <string.h>

#include "run/startup.h"
#include "unpack/arj.h"
#include "unpack/arj_decode.h"
#include "unpack/unpack.h"

enum {
  HEAD = 64 * 1024,  // where a self-extracting archive's main header is looked for
  SKIP_BLOCK = 4096,
};

struct arj_reader {
  struct unpack_source *src;
  struct arj_header h;          // the current member's header
  char path[ARJ_BASIC_MAX + 1]; // its name with '/' between components
  uint8_t buffer[ARJ_BASIC_MAX + 16];
  int64_t data_end;             // where the current member's compressed bytes end
  int64_t left;                 // of those, not yet handed to the decoder
  struct arj_state state;
  const char *why;
};

static struct arj_reader *readers[UNPACK_MAX_DEPTH + 1];  // by depth, made on first use
static uint8_t *head;                                    // HEAD

// Reads exactly count bytes of the source into out; false at its end or on
// a failure.
static bool read_exactly(struct arj_reader *r, uint8_t *out, size_t count) {
  long got = unpack_source_read(r->src, out, count);
  return got == (long)count;
}

// Passes over count bytes of the source: a seek where it can, a read where
// it cannot.
static bool skip(struct arj_reader *r, int64_t count) {
  if (unpack_source_seekable(r->src))
    return unpack_source_seek(r->src, count, 1) >= 0;
  while (count > 0) {
    size_t n = count < (int64_t)SKIP_BLOCK ? (size_t)count : (size_t)SKIP_BLOCK;
    if (!read_exactly(r, r->buffer, n))
      return false;
    count -= (int64_t)n;
  }
  return true;
}

// Reads the header at the source's position into r->h, its extended
// headers passed over.  NULL, or why it cannot be read.
static const char *read_header(struct arj_reader *r) {
  if (!read_exactly(r, r->buffer, ARJ_PREFIX))
    return "truncated header";
  long len = arj_header_length(r->buffer);
  if (len < 0)
    return "no header where one belongs";
  if (len > ARJ_PREFIX && !read_exactly(r, r->buffer + ARJ_PREFIX, (size_t)(len - ARJ_PREFIX)))
    return "truncated header";
  const char *bad = arj_header_parse(r->buffer, (size_t)len, &r->h);
  if (bad != NULL || r->h.end)
    return bad;
  for (;;) {
    uint8_t size[2];
    if (!read_exactly(r, size, 2))
      return "truncated header";
    long n = arj_extended_skip(size);
    if (n == 0)
      return NULL;
    if (!skip(r, n))
      return "truncated header";
  }
}

// The decoder's compressed bytes: the member's, no more.
static long pull(void *reader, uint8_t *into, size_t count) {
  struct arj_reader *r = (struct arj_reader *)reader;
  return unpack_source_pull(r->src, &r->left, into, count);
}

static int arj_open(struct unpack_source *src, const uint8_t *first, long n, void **reader) {
  bool plain = n >= 2 && first[0] == 0x60 && first[1] == 0xEA;
  if (!plain && !(n >= 2 && first[0] == 'M' && first[1] == 'Z'))
    return UNPACK_NONE;
  int depth = src->depth;
  if (readers[depth] == NULL && (readers[depth] = (struct arj_reader *)run_alloc(sizeof *readers[depth])) == NULL)
    return UNPACK_NONE;
  if (head == NULL && (head = (uint8_t *)run_alloc(HEAD)) == NULL)
    return UNPACK_NONE;
  struct arj_reader *r = readers[depth];
  *reader = r;
  r->src = src;
  r->why = NULL;
  r->left = 0;
  r->data_end = -1;
  long got = unpack_source_read(src, head, HEAD);
  long at = got > 0 ? arj_find(head, got) : -1;
  if (at < 0 || !unpack_source_rewind(src) || !skip(r, at))
    return unpack_source_rewind(src) ? UNPACK_NONE : UNPACK_FAILED;
  const char *bad = read_header(r);  // the main header
  if (bad != NULL) {
    r->why = bad;
    return UNPACK_FAILED;
  }
  return UNPACK_OK;
}

static int arj_next(void *reader, struct unpack_member *m) {
  struct arj_reader *r = (struct arj_reader *)reader;
  if (r->data_end >= 0) {  // past what is left of the member before
    int64_t left = r->data_end - unpack_source_tell(r->src);
    if (left < 0 || !skip(r, left)) {
      r->why = "truncated member";
      return UNPACK_FAILED;
    }
  }
  const char *bad = read_header(r);
  if (bad != NULL) {
    r->why = bad;
    return UNPACK_FAILED;
  }
  if (r->h.end)
    return UNPACK_END;
  r->left = r->h.compressed_size;
  r->data_end = unpack_source_tell(r->src) + r->left;
  size_t i = 0;
  for (; r->h.name[i] != '\0' && i < ARJ_BASIC_MAX; i++)
    r->path[i] = r->h.name[i] == '\\' ? '/' : r->h.name[i];
  r->path[i] = '\0';
  m->path = r->path;
  m->regular = r->h.file_type == ARJ_TYPE_BINARY || r->h.file_type == ARJ_TYPE_TEXT;
  m->second_name = false;
  m->encrypted = (r->h.flags & ARJ_FLAG_GARBLED) != 0;
  m->utf8 = false;
  r->why = NULL;
  if (r->h.flags & ARJ_FLAG_EXTFILE)
    r->why = "begins in an earlier volume, not searched";
  else if (r->h.method > ARJ_METHOD_MAX)
    r->why = "a compression method KIVOR lacks, not searched";
  arj_decode_init(&r->state, r->h.method, pull, r, r->h.original_size);
  return UNPACK_OK;
}

static long arj_read(void *reader, uint8_t *out, size_t count) {
  struct arj_reader *r = (struct arj_reader *)reader;
  if (r->why != NULL)
    return -1;
  long got = arj_decode_read(&r->state, out, count);
  if (got < 0)
    r->why = r->state.error;
  return got < 0 || !unpack_count(got) ? -1 : got;
}

static const char *arj_error(void *reader) {
  struct arj_reader *r = (struct arj_reader *)reader;
  return r->why != NULL ? r->why : "unreadable";
}

static void arj_close(void *) {}

extern const struct unpack_format unpack_arj;
const struct unpack_format unpack_arj = {"ARJ", arj_open, arj_next, arj_read, arj_error, arj_close};
