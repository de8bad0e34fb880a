// The ARJ container: finding the archive in a file, and the headers that
// come before each member.  Pure: bytes in, records out.
//
// An archive is a main header, then for each member a header and the
// member's compressed bytes, then an end header.  A header is the id
// 0x60 0xEA, a 16-bit basic header size, the basic header, its CRC-32,
// and a list of extended headers (each a 16-bit size, that many bytes and
// a CRC-32; a size of 0 ends the list).  The end header is the id and a
// size of 0, nothing more.  Numbers are little-endian.
#ifndef KIVOR_UNPACK_ARJ_H_
#define KIVOR_UNPACK_ARJ_H_

#include <stddef.h>
#include <stdint.h>

enum {
  ARJ_BASIC_MAX = 2600,  // the largest basic header there is
  ARJ_PREFIX = 4,        // the id and the basic header size
};

// Bits of arj_header.flags.
enum {
  ARJ_FLAG_GARBLED = 0x01,   // encrypted with a password
  ARJ_FLAG_VOLUME = 0x04,    // the member goes on in the next volume
  ARJ_FLAG_EXTFILE = 0x08,   // the member starts in an earlier volume
  ARJ_FLAG_PATHSYM = 0x10,   // '\' in the name was turned into '/'
  ARJ_FLAG_BACKUP = 0x20,
};

// arj_header.file_type.
enum {
  ARJ_TYPE_BINARY = 0,
  ARJ_TYPE_TEXT = 1,
  ARJ_TYPE_MAIN = 2,  // the main header's own type
  ARJ_TYPE_DIRECTORY = 3,
  ARJ_TYPE_LABEL = 4,
  ARJ_TYPE_CHAPTER = 5,
};

// arj_header.method: 0 stored, 1 to 3 the Huffman-coded methods, 4 the
// fastest one; anything else is unknown to us.
enum { ARJ_STORED = 0, ARJ_METHOD_MAX = 4 };

// One header, the main header or a member's.  Sizes and the CRC are those
// of the member; a main header has its archive's name and comment in them.
struct arj_header {
  bool end;  // the end header: nothing else below is set
  int host_os;
  int flags;
  int method;
  int file_type;
  uint32_t dos_time;
  uint32_t compressed_size;
  uint32_t original_size;
  uint32_t crc32;  // of the original bytes
  char name[ARJ_BASIC_MAX + 1];
  char comment[ARJ_BASIC_MAX + 1];
};

// The CRC-32 (the zip and ARJ one) of n bytes at b, going on from crc (0 to
// start).
uint32_t arj_crc32(uint32_t crc, const uint8_t *b, size_t n);

// The offset of the first main header among the n bytes at b: an id, a
// basic header size from 1 to ARJ_BASIC_MAX, and a basic header whose
// CRC-32 matches, all within the n bytes; -1 when there is none.  b is the
// start of a plain archive, or of a self-extracting one (a program with the
// archive after it), of which the first 64 KiB or so are enough.
long arj_find(const uint8_t *b, long n);

// How many bytes the header whose first ARJ_PREFIX bytes are at b takes up
// to the end of its basic header's CRC-32: ARJ_PREFIX for an end header;
// -1 when b holds no id or a basic header size over ARJ_BASIC_MAX.  The
// extended headers follow (arj_extended_skip).
long arj_header_length(const uint8_t *b);

// Reads the header at b, which holds n bytes from its id on (for a header
// whose size arj_header_length gave, that many are enough).  Returns NULL
// with h filled, or why the header is bad: "no header id", "header size
// over 2600", "truncated header", "header CRC mismatch", "bad header
// layout" (its fields overrun it, or the name is not terminated).
const char *arj_header_parse(const uint8_t *b, size_t n, struct arj_header *h);

// After a basic header's CRC-32 come the extended headers: given the two
// size bytes at b, how many bytes to skip before the next two size bytes,
// or 0 when the list has ended (and the member's bytes come next).
long arj_extended_skip(const uint8_t *b);

#endif  // KIVOR_UNPACK_ARJ_H_
