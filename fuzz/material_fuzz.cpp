// libFuzzer target for the material routine: packet chains and ASCII armour
// read into the record, with a scratch of full size and one too small; and
// the chain fed piece by piece through a small window, as a long file is.
// Built by fuzz/CMakeLists.txt; scripts/fuzz runs it.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "detect/confirm.h"
#include "detect/material.h"

static int keys_seen;

// The chain through a window of 256 bytes: what the feed takes is dropped,
// what it leaves is kept for the next piece, a skip passes over bytes.
static void feed_in_pieces(const uint8_t *data, long size) {
  enum { WINDOW = 256 };
  static material m;
  material_walk w;
  material_sink sink = {NULL, [](void *, const material_key *, const material_key *) { keys_seen++; },
                        NULL, NULL, NULL};
  material_begin(&m, &w, &sink);
  keys_seen = 0;
  uint8_t window[WINDOW];
  long held = 0, at = 0;
  for (;;) {
    long k = size - at < WINDOW - held ? size - at : WINDOW - held;
    memcpy(window + held, data + at, (size_t)k);
    held += k;
    at += k;
    bool at_end = at == size;
    long next = material_feed(window, held, at_end, &m, &w);
    if (next == 0 && held == WINDOW)
      next = material_feed(window, held, true, &m, &w);
    if (next == MATERIAL_CHAIN_OVER)
      break;
    if (next < 0 || (at_end && next <= held))
      abort();  // at the end the chain is over
    if (next > held) {
      at += next - held;  // a data packet's body passed over
      held = 0;
      if (at >= size)
        break;
      continue;
    }
    memmove(window, window + next, (size_t)(held - next));
    held -= next;
  }
  if (m.key_count > MATERIAL_KEYS_MAX || keys_seen < m.key_count)
    abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static uint8_t *scratch = (uint8_t *)malloc(CONFIRM_SCRATCH);
  static material m;
  if (size > CONFIRM_READ_MAX)
    return 0;
  // A copy of the exact size: a read past it is caught.
  uint8_t *bytes = (uint8_t *)malloc(size ? size : 1);
  if (size > 0)
    memcpy(bytes, data, size);
  read_material(bytes, (long)size, scratch, CONFIRM_SCRATCH, &m, NULL);
  if (m.key_count > MATERIAL_KEYS_MAX || m.signature_count > MATERIAL_SIGNATURES_MAX ||
      m.recipient_count > MATERIAL_RECIPIENTS_MAX)
    abort();
  for (int i = 0; i < m.key_count; i++)
    if (m.keys[i].user_id_count > MATERIAL_USER_IDS_MAX)
      abort();
  uint8_t small[16];
  read_material(bytes, (long)size, small, sizeof small, &m, NULL);
  feed_in_pieces(bytes, (long)size);
  free(bytes);
  return 0;
}
