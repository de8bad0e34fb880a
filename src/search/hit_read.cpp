// The reading of a hit for the reports: a window of the file's bytes that
// is hashed and parsed when it fills, keeping the part of a packet that
// runs on into the next bytes.
#include "search/hit_read.h"

#include <stdio.h>
#include <string.h>

#include "detect/confirm.h"
#include "platform/platform.h"
#include "run/exit.h"
#include "run/startup.h"

enum {
  WINDOW = CONFIRM_READ_MAX,
  CHUNK = 64 * 1024,          // what hit_read_rest reads at a time
  POLL_EVERY = 16 << 20,      // bytes between two polls for a stop
};

enum mode { TEXT, CHAIN, DONE };

static uint8_t *window = NULL;   // WINDOW
static uint8_t *scratch = NULL;  // CONFIRM_SCRATCH: decoded armour
static uint8_t *chunk = NULL;    // CHUNK

static struct {
  bool digest, wanted;
  bool started;        // the digest has taken bytes
  plat_digest d;
  int64_t total;       // bytes taken
  long held;           // bytes in window
  long hashed;         // of them, hashed
  long chain_at;       // where the chain goes on in window
  int64_t skip;        // bytes of a data packet's body still to pass over
  int mode;
  bool first_parsed;
  material m;
  material_walk w;
} r;

void hit_read_begin(bool digest, bool wanted, const material_sink *sink) {
  if (window == NULL) {
    window = (uint8_t *)run_alloc(WINDOW);
    scratch = (uint8_t *)run_alloc(CONFIRM_SCRATCH);
    chunk = (uint8_t *)run_alloc(CHUNK);
    if (window == NULL || scratch == NULL || chunk == NULL) {
      fputs("Couldn't create the buffers of the reports\n", stderr);
      exit_program(INSUFFICIENT_MEMORY);
    }
  }
  r.digest = digest;
  r.wanted = wanted;
  r.started = false;
  r.total = 0;
  r.held = r.hashed = r.chain_at = 0;
  r.skip = 0;
  r.mode = wanted ? TEXT : DONE;
  r.first_parsed = false;
  material_begin(&r.m, &r.w, sink);
}

static void hash(const uint8_t *b, long n) {
  if (!r.digest)
    return;
  if (!r.started)
    r.started = plat_digest_init(&r.d, PLAT_DIGEST_SHA256);
  if (r.started)
    plat_digest_update(&r.d, b, (size_t)n);
}

static bool found_nothing(const material *m) {
  return m->key_count == 0 && m->signature_count == 0 && m->recipient_count == 0 && !m->passphrase;
}

// The material of the bytes in window: the first window's armour, or the
// chain's packets that are whole there.
static void parse(bool at_end) {
  if (r.mode == TEXT) {
    read_material(window, r.held, scratch, CONFIRM_SCRATCH, &r.m, r.w.sink);
    r.mode = DONE;
    return;
  }
  if (r.mode != CHAIN)
    return;
  long left = r.held - r.chain_at;
  long at = material_feed(window + r.chain_at, left, at_end, &r.m, &r.w);
  if (at == 0 && r.held == WINDOW)  // a packet larger than the window
    at = material_feed(window, left, true, &r.m, &r.w);
  if (at == MATERIAL_CHAIN_OVER) {
    // Text that begins with a high byte: its first window is read as
    // read_material reads it.
    if (!r.first_parsed && found_nothing(&r.m) && r.m.incomplete)
      read_material(window, r.held, scratch, CONFIRM_SCRATCH, &r.m, r.w.sink);
    r.mode = DONE;
  } else if (at > left) {
    r.skip = at - left;
    r.chain_at = r.held;
  } else {
    r.chain_at += at;
  }
  r.first_parsed = true;
}

// Hashes and parses what window holds, and keeps only the chain's part
// that is still to be read.
static void flush(bool at_end) {
  hash(window + r.hashed, r.held - r.hashed);
  r.hashed = r.held;
  parse(at_end);
  long keep = r.mode == CHAIN ? r.held - r.chain_at : 0;
  memmove(window, window + r.held - keep, (size_t)keep);
  r.held = r.hashed = keep;
  r.chain_at = 0;
}

void hit_read_take(const uint8_t *bytes, size_t n) {
  if (r.total == 0 && n > 0 && r.mode == TEXT && bytes[0] >= 0x80)
    r.mode = CHAIN;
  r.total += (int64_t)n;
  while (n > 0) {
    if (r.mode == DONE && r.held == 0) {  // only the digest wants them
      hash(bytes, (long)n);
      return;
    }
    if (r.skip > 0) {  // window is all hashed: the skipped bytes follow it
      long k = r.skip < (int64_t)n ? (long)r.skip : (long)n;
      hash(bytes, k);
      r.skip -= k;
      bytes += k;
      n -= (size_t)k;
      continue;
    }
    if (r.held == WINDOW) {
      flush(false);  // which may set skip
      continue;
    }
    size_t k = (size_t)(WINDOW - r.held) < n ? (size_t)(WINDOW - r.held) : n;
    memcpy(window + r.held, bytes, k);
    r.held += (long)k;
    bytes += k;
    n -= k;
  }
}

int hit_read_rest(confirm_reader read_on, void *source) {
  int64_t polled = r.total;
  for (;;) {
    if (!r.digest && r.mode == DONE)
      return 0;
    long got = read_on(source, chunk, CHUNK);
    if (got < 0)
      return -1;
    if (got == 0)
      return 1;
    hit_read_take(chunk, (size_t)got);
    if (r.total - polled >= POLL_EVERY) {
      check_interrupt();
      polled = r.total;
    }
  }
}

void hit_read_end(bool whole, struct hit_facts *f) {
  flush(true);
  f->has_size = whole;
  f->size = r.total;
  f->has_sha256 = false;
  if (r.digest) {
    hash(window, 0);  // an empty file has a digest too
    if (r.started)
      f->has_sha256 = plat_digest_final(&r.d, f->sha256, sizeof f->sha256) == 32 && whole;
  }
  r.started = false;
  f->m = r.wanted ? &r.m : NULL;
}

void hit_read_drop(void) {
  uint8_t unused[PLAT_DIGEST_MAX];
  if (r.started)
    plat_digest_final(&r.d, unused, sizeof unused);
  r.started = false;
  r.mode = DONE;
  r.held = r.hashed = 0;
}

long hit_read_tee(void *tee, uint8_t *into, size_t count) {
  struct hit_tee *t = (struct hit_tee *)tee;
  long got = t->read_on(t->source, into, count);
  if (got > 0)
    hit_read_take(into, (size_t)got);
  return got;
}
