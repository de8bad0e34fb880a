// What every container format shares: the sources containers are read
// from, the member streams the examination reads, the work bound, and the
// table of formats.
#include "unpack/unpack.h"

#include <string.h>

#include "run/abort.h"
#include "run/exit.h"
#include "unpack/macwrap.h"

extern const struct unpack_format unpack_mscompress, unpack_arj, unpack_pkzip, unpack_stuffit,
    unpack_compactpro, unpack_binhex, unpack_macbinary, unpack_applesingle, unpack_libarchive;

const struct unpack_format *const unpack_formats[] = {
    &unpack_mscompress,
    &unpack_arj,
    &unpack_pkzip,
    &unpack_stuffit,
    &unpack_compactpro,
    &unpack_binhex,
    &unpack_macbinary,
    &unpack_applesingle,
    &unpack_libarchive,
    NULL,
};

bool unpack_text_around(const uint8_t *first, long n) {
  return binhex_after_text(first, n);
}

static int64_t work_done;    // decompressed bytes of this file on disk
static bool work_exhausted;  // the work limit is passed

void unpack_start(void) {
  work_done = 0;
  work_exhausted = false;
}

bool unpack_count(int64_t n) {
  if (work_exhausted)
    return false;
  if (n > 0 && (work_done += n) > UNPACK_WORK_LIMIT)
    work_exhausted = true;
  return !work_exhausted;
}

bool unpack_exhausted(void) {
  return work_exhausted;
}

void unpack_poll(void) {
  if (abort_key_pressed())
    exit_program(USER_ABORTED);
}

static long next_block(struct unpack_source *src, const uint8_t **block);

long unpack_source_block(struct unpack_source *src, const uint8_t **block) {
  long got = next_block(src, block);
  if (got > 0)
    src->offset += got;
  return got;
}

long unpack_source_read(struct unpack_source *src, uint8_t *out, size_t count) {
  size_t done = 0;
  while (done < count) {
    if (src->left_len == 0) {
      long got = next_block(src, &src->left);
      if (got < 0)
        return done > 0 ? (long)done : -1;
      if (got == 0)
        break;
      src->left_len = (size_t)got;
    }
    size_t n = src->left_len < count - done ? src->left_len : count - done;
    memcpy(out + done, src->left, n);
    src->left += n;
    src->left_len -= n;
    done += n;
  }
  src->offset += (int64_t)done;
  return (long)done;
}

long unpack_source_pull(struct unpack_source *src, int64_t *left, uint8_t *out, size_t count) {
  if ((int64_t)count > *left)
    count = (size_t)*left;
  if (count == 0)
    return 0;
  unpack_poll();
  long got = unpack_source_read(src, out, count);
  if (got > 0)
    *left -= got;
  return got;
}

int64_t unpack_source_tell(const struct unpack_source *src) {
  return src->offset;
}

static long next_block(struct unpack_source *src, const uint8_t **block) {
  switch (src->kind) {
    case UNPACK_FILE: {
      static uint8_t file_block[UNPACK_BLOCK];  // one file on disk is read at a time
      *block = file_block;
      return plat_read(src->file, file_block, UNPACK_BLOCK);
    }
    case UNPACK_MEMORY: {
      size_t n = src->held - src->pos < UNPACK_BLOCK ? src->held - src->pos : UNPACK_BLOCK;
      *block = src->memory + src->pos;
      src->pos += n;
      return (long)n;
    }
    case UNPACK_STREAM:
      if (!src->handed) {
        src->handed = true;
        *block = src->memory;
        return (long)src->held;
      }
      unpack_poll();
      src->reused = true;
      *block = src->block;
      return unpack_stream_read(src->rest, src->block,
                                src->block_size < UNPACK_BLOCK ? src->block_size : UNPACK_BLOCK);
  }
  return -1;
}

int64_t unpack_source_seek(struct unpack_source *src, int64_t offset, int whence) {
  if (src->kind == UNPACK_STREAM)
    return -1;
  if (whence == 1) {  // from where the reader is, not where the blocks are
    offset += src->offset;
    whence = 0;
  }
  int64_t pos;
  if (src->kind == UNPACK_FILE) {
    pos = plat_seek(src->file, offset, whence);
  } else {
    int64_t base = whence == 0 ? 0 : (int64_t)src->held;
    if (base + offset < 0 || base + offset > (int64_t)src->held)
      return -1;
    src->pos = (size_t)(base + offset);
    pos = (int64_t)src->pos;
  }
  if (pos >= 0) {
    src->offset = pos;
    src->left_len = 0;
  }
  return pos;
}

bool unpack_source_rewind(struct unpack_source *src) {
  if (src->kind == UNPACK_STREAM) {
    if (src->reused)
      return false;
    src->handed = false;
    src->offset = 0;
    src->left_len = 0;
    return true;
  }
  return unpack_source_seek(src, 0, 0) == 0;
}

bool unpack_source_seekable(const struct unpack_source *src) {
  return src->kind != UNPACK_STREAM;
}

long unpack_stream_read(struct unpack_stream *m, uint8_t *out, size_t count) {
  if (m->held_len > 0) {
    size_t n = m->held_len < count ? m->held_len : count;
    memcpy(out, m->held, n);
    m->held += n;
    m->held_len -= n;
    return (long)n;
  }
  if (m->next != NULL)
    return unpack_stream_read(m->next, out, count);
  return m->format->read(m->reader, out, count);
}

const char *unpack_stream_error(const struct unpack_stream *m) {
  if (m->next != NULL)
    return unpack_stream_error(m->next);
  return m->format->error(m->reader);
}
