// The Macintosh wrappers: BinHex 4.0 text, MacBinary I, II and III, and
// AppleSingle and AppleDouble, each of which carries one file's forks
// across systems that know only plain files.  The readers (binhex.cpp,
// macbinary.cpp) give the data fork as the one member, named by the Mac
// name stored; these are the checks that tell the wrappers from other
// bytes, shared by the readers and the examination's signature test.
// Pure: bytes in, a verdict out, no reads past the n bytes given.
#ifndef KIVOR_UNPACK_MACWRAP_H_
#define KIVOR_UNPACK_MACWRAP_H_

#include <stddef.h>
#include <stdint.h>

// The CRC-16 of BinHex and MacBinary II: polynomial 0x1021, most
// significant bit first, no final inversion, of n bytes at b, going on
// from crc (0 to start).
uint16_t mac_crc16(uint16_t crc, const uint8_t *b, size_t n);

// BinHex 4.0: where the coded text begins (the offset just past its
// opening ':') among the n bytes at b, or -1.  The text is the line
// "(This file must be converted with BinHex 4.0)" anywhere in them (after
// mail headers, say), then nothing but line ends and blanks up to the ':',
// which must lie within the n bytes too; the first 64 bytes must be text
// (no control characters but tab, line ends and form feed).
long binhex_start(const uint8_t *b, long n);

// True when the n bytes at b hold BinHex text (binhex_start) with text of
// their own before it: a mail or a note that carries a BinHex attachment.
bool binhex_after_text(const uint8_t *b, long n);

// A MacBinary header's fields, as macbinary_header reads them.
struct macbinary_info {
  int version;         // 1, 2 (the header's CRC matches) or 3 ("mBIN" too)
  const uint8_t *name; // the stored name, Mac Roman: name_len bytes at b + 2
  int name_len;        // 1 to 63
  uint32_t data_len;   // the data fork's length
  uint32_t rsrc_len;   // the resource fork's length
  long data_at;        // where the data fork begins: 128, after a secondary header
};

enum { MACBINARY_HEADER = 128 };

// True when the n bytes at b begin with a MacBinary header, *info then
// filled (info may be NULL).  size is the whole file's length, or -1 when
// it is not known.  Always: bytes 0, 74 and 82 zero, a name of 1 to 63
// bytes without control characters or ':' (which no Mac name holds), fork
// lengths below 2^31.  With the header's CRC (bytes 124-125) matching it
// is MacBinary II or III; without, MacBinary I only when bytes 101 to 125
// are zero as that version leaves them, type and creator are printable,
// the forks are under 8 MiB and not both empty, and, where size is known,
// the file is as long as the forks make it (each padded to 128 bytes, the
// last one perhaps not).
bool macbinary_header(const uint8_t *b, long n, int64_t size, struct macbinary_info *info);

enum {
  APPLESINGLE_HEADER = 26,  // magic, version, 16 bytes of filler, entry count
  APPLESINGLE_ENTRY = 12,   // id, offset, length
};

// True when the n bytes at b begin with an AppleSingle or AppleDouble
// header: its magic (0x00051600 or 0x00051607) and a version it has (1 or
// 2), and the entry count after them.  *doubled (may be NULL) is then set
// for AppleDouble.
bool applesingle_header(const uint8_t *b, long n, bool *doubled);

#endif  // KIVOR_UNPACK_MACWRAP_H_
