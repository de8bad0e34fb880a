// Compact Pro's fork decoding on any data, read in pieces (bit 0 of byte 0:
// LZH before the RLE); see unpack_fuzz.h for the layout and what must hold.
// With bit 6 of byte 0 set, the rest is instead a Compact Pro archive,
// named .cpt, whose directory CRC is first made to match (from the
// directory's offset to the end): the containers target cannot get past
// that CRC.  Every member is read to its end; what must hold is as there.
#include <string.h>

#include "unpack/cpt_lzh.h"
#include "unpack/unpack.h"
#include "unpack_fuzz.h"

extern const struct unpack_format unpack_compactpro;

static void init(cpt_fork_state *s, unpack_pull pull, void *source, uint64_t size, int flags) {
  cpt_fork_init(s, pull, source, size, (flags & 1) != 0);
}

static void archive(const uint8_t *data, size_t size) {
  static uint8_t bytes[1 << 20], out[4096 + 64], block[UNPACK_BLOCK];
  if (size > sizeof bytes)
    return;
  memcpy(bytes, data, size);
  if (size >= 8) {
    size_t dir = (size_t)bytes[4] << 24 | (size_t)bytes[5] << 16 | (size_t)bytes[6] << 8 | bytes[7];
    if (dir + 7 <= size) {
      uint32_t crc = 0xFFFFFFFF;
      for (size_t i = dir + 4; i < size; i++) {
        crc ^= bytes[i];
        for (int k = 0; k < 8; k++)
          crc = crc >> 1 ^ (0xEDB88320u & (0u - (crc & 1)));
      }
      for (int k = 0; k < 4; k++)
        bytes[dir + (size_t)k] = (uint8_t)(crc >> (24 - 8 * k));
    }
  }
  unpack_start();
  struct unpack_source src = {};
  src.kind = UNPACK_MEMORY;
  src.depth = 1;
  src.name = "FUZZ.CPT";
  src.memory = bytes;
  src.held = size;
  src.block = block;
  src.block_size = sizeof block;
  void *r = NULL;
  int s = unpack_compactpro.open(&src, bytes, (long)size, &r);
  if (s == UNPACK_NONE)
    return;
  struct unpack_member m;
  for (int members = 0; s == UNPACK_OK && (s = unpack_compactpro.next(r, &m)) == UNPACK_OK; members++) {
    FUZZ_CHECK(members < 65536 && m.path != NULL);
    for (long total = 0;;) {
      memset(out + 4096, 0xA5, 64);
      long got = unpack_compactpro.read(r, out, 4096);
      FUZZ_CHECK(got <= 4096 && out[4096] == 0xA5);
      if (got <= 0) {
        FUZZ_CHECK(got == 0 || unpack_compactpro.error(r) != NULL);
        break;
      }
      total += got;
      if (total > (1 << 24))
        break;
    }
  }
  FUZZ_CHECK(s == UNPACK_END || unpack_compactpro.error(r) != NULL);
  unpack_compactpro.close(r);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size >= 4 && (data[0] & 0x40)) {
    archive(data + 4, size - 4);
    return 0;
  }
  return fuzz_decoder<cpt_fork_state>(data, size, init, cpt_fork_read);
}
