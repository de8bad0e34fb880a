// What every container format shares: the sources containers are read
// from, the member streams the examination reads, the work bound, and the
// table of formats.
#include "unpack/unpack.h"

#include <string.h>

#include "run/abort.h"
#include "run/exit.h"

extern const struct unpack_format unpack_libarchive;

const struct unpack_format *const unpack_formats[] = {
    &unpack_libarchive,
    NULL,
};

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

long unpack_source_block(struct unpack_source *src, const uint8_t **block) {
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
  if (src->kind == UNPACK_FILE)
    return plat_seek(src->file, offset, whence);
  if (src->kind == UNPACK_STREAM)
    return -1;
  int64_t base = whence == 0 ? 0 : whence == 1 ? (int64_t)src->pos : (int64_t)src->held;
  if (base + offset < 0 || base + offset > (int64_t)src->held)
    return -1;
  src->pos = (size_t)(base + offset);
  return (int64_t)src->pos;
}

bool unpack_source_rewind(struct unpack_source *src) {
  if (src->kind == UNPACK_STREAM) {
    if (src->reused)
      return false;
    src->handed = false;
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
