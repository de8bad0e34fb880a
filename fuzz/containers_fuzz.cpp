// Every container reader on any bytes, held in memory as a nested member
// would be: each format of the table is offered them in turn, and the one
// that takes them is read to its end, every member's bytes too.  What must
// hold: a reader ends (a bounded number of members and bytes), never gives
// more than it is asked for, and names why a call failed.  The rows are
// those of src/unpack/unpack.cpp: mscompress.cpp, arj_reader.cpp, pkzip.cpp
// (its members through inflate.cpp and the decoders with targets of their
// own), stuffit.cpp (its methods through decoders with targets of their
// own), compactpro.cpp (which takes only bytes whose directory CRC checks:
// cpt_lzh_fuzz.cpp reads its archives past that), binhex.cpp (through
// rle90.cpp), macbinary.cpp (MacBinary, then AppleSingle and AppleDouble)
// and libarchive.cpp.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "fuzz_check.h"
#include "unpack/unpack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static uint8_t out[4096 + 64];
  static uint8_t block[UNPACK_BLOCK];
  unpack_start();
  for (int i = 0; unpack_formats[i] != NULL; i++) {
    const struct unpack_format *f = unpack_formats[i];
    struct unpack_source src = {};
    src.kind = UNPACK_MEMORY;
    src.depth = 1;
    src.name = "FUZZ.ZI_";
    src.memory = data;
    src.held = size;
    src.block = block;
    src.block_size = sizeof block;
    void *r = NULL;
    int s = f->open(&src, data, (long)size, &r);
    if (s == UNPACK_NONE)
      continue;
    FUZZ_CHECK(r != NULL);
    struct unpack_member m;
    for (int members = 0; s == UNPACK_OK && (s = f->next(r, &m)) == UNPACK_OK; members++) {
      FUZZ_CHECK(members < 1000000 && m.path != NULL);
      for (long total = 0;;) {
        memset(out + 4096, 0xA5, 64);
        long got = f->read(r, out, 4096);
        FUZZ_CHECK(got <= 4096 && out[4096] == 0xA5);
        if (got <= 0) {
          FUZZ_CHECK(got == 0 || f->error(r) != NULL);
          break;
        }
        total += got;
        if (total > (1 << 24))
          break;  // enough of one member
      }
    }
    if (s != UNPACK_END && s != UNPACK_OK)
      FUZZ_CHECK(f->error(r) != NULL);
    f->close(r);
    break;
  }
  return 0;
}
