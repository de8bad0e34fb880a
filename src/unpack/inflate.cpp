// Deflated members through zlib's raw inflate.
#include "unpack/inflate.h"

#include <zlib.h>

static z_stream streams[8];  // one per state in use; a state keeps its own
static int streams_used;

void inflate_member_init(struct inflate_state *s, unpack_pull pull, void *source, uint64_t size) {
  z_stream *z = (z_stream *)s->stream;
  if (z == NULL) {
    if (streams_used == (int)(sizeof streams / sizeof streams[0])) {
      s->error = "not enough memory";
      return;
    }
    z = &streams[streams_used++];
    s->stream = z;
    *z = {};
    if (inflateInit2(z, -MAX_WBITS) != Z_OK) {
      s->stream = NULL;
      s->error = "not enough memory";
      return;
    }
  } else {
    inflateReset(z);
  }
  z->next_in = s->in;
  z->avail_in = 0;
  s->pull = pull;
  s->source = source;
  s->left = size;
  s->error = NULL;
}

long inflate_member_read(struct inflate_state *s, uint8_t *out, size_t count) {
  z_stream *z = (z_stream *)s->stream;
  if (s->error != NULL || z == NULL)
    return -1;
  if ((uint64_t)count > s->left)
    count = (size_t)s->left;
  if (count > 1u << 30)
    count = 1u << 30;
  z->next_out = out;
  z->avail_out = (uInt)count;
  while (z->avail_out > 0) {
    if (z->avail_in == 0) {
      long got = s->pull(s->source, s->in, sizeof s->in);
      if (got < 0) {
        s->error = "read failed";
        break;
      }
      z->next_in = s->in;
      z->avail_in = (uInt)got;
    }
    int r = inflate(z, Z_NO_FLUSH);
    if (r == Z_STREAM_END)
      break;
    if (r != Z_OK) {
      s->error = r == Z_BUF_ERROR ? "truncated data" : "damaged data";
      break;
    }
  }
  long made = (long)(count - z->avail_out);
  s->left -= (uint64_t)made;
  return made > 0 || s->error == NULL ? made : -1;
}
