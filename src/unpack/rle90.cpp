// BinHex's and StuffIt's run-length decoding.
#include "unpack/rle90.h"

void rle90_init(struct rle90_state *s, unpack_pull pull, void *source) {
  unpack_bytes_init(&s->in, pull, source);
  s->last = -1;
  s->repeat = 0;
  s->error = NULL;
}

// The next coded byte into *b: 1, 0 at the end, -1 when the pull failed.
static int take(struct rle90_state *s, uint8_t *b) {
  return unpack_bytes_take(&s->in, b, false, &s->error);
}

long rle90_read(struct rle90_state *s, uint8_t *out, size_t count) {
  size_t done = 0;
  while (done < count) {
    if (s->error != NULL)
      return done > 0 ? (long)done : -1;
    if (s->repeat > 0) {
      out[done++] = (uint8_t)s->last;
      s->repeat--;
      continue;
    }
    uint8_t b;
    int got = take(s, &b);
    if (got < 0)
      continue;  // the fault is said at the loop's top
    if (got == 0)
      break;
    if (b != 0x90) {
      out[done++] = b;
      s->last = b;
      continue;
    }
    uint8_t n;
    got = take(s, &n);
    if (got == 0)
      s->error = "truncated data";
    if (got <= 0)
      continue;
    if (n == 0) {
      out[done++] = 0x90;
      s->last = 0x90;
    } else if (s->last < 0) {
      s->error = "a run with nothing to repeat";
    } else {
      s->repeat = n - 1u;
    }
  }
  return (long)done;
}
