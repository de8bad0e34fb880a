// The packet-chain parser of the confirming mode: binary PGP packets (old
// and new header formats) checked field by field, and the material the chain
// carries.  Pure routines on a byte range: no globals, no allocation, no
// read outside [bytes, bytes + n).
#ifndef KIVOR_DETECT_PACKETS_H_
#define KIVOR_DETECT_PACKETS_H_

#include <stdint.h>

// What a packet chain carries, decided by its first material packet (marker,
// trust, user id, user attribute and comment packets carry none).
enum chain_material {
  CHAIN_NONE = 0,        // not a valid chain, or nothing material in it
  CHAIN_PUBLIC_KEY,      // public key or subkey first
  CHAIN_SECRET_KEY,      // secret key or subkey first
  CHAIN_SIGNATURE,       // signatures only
  CHAIN_SIGNED,          // a signature followed by literal or compressed data
  CHAIN_ONE_PASS,        // a one-pass signature first
  CHAIN_PK_ENCRYPTED,    // a public-key encrypted session key first
  CHAIN_CONVENTIONAL,    // passphrase encryption: a symmetric session key or
                         // conventionally encrypted data first
  CHAIN_COMPRESSED,      // a compressed data packet first
  CHAIN_LITERAL,         // a literal data packet first
};

// Parses bytes[0, n) as a chain of packets from its first byte and returns
// what it carries, or CHAIN_NONE when any packet fails its checks.  Every
// packet must parse; trailing bytes after the last whole packet are allowed
// only when all of them are NUL or Ctrl-Z (transfer padding).  When
// may_be_cut is true the bytes are a prefix of a longer stream: the last
// packet may run past n (its bytes up to n must still pass), and *cut is
// then set; otherwise a packet that runs past n fails.  cut may be NULL.
//
// Contents of an unknown kind in packets whose framing is whole do not
// fail the chain: private tags 60 to 63 (binary data in early key rings),
// key packets of a public-key algorithm outside the list (MPIs in the
// clear that fill the body) and secret parts laid out in another way (the
// public part checked).  Such a chain is confirmed only when it also holds
// a key, signature or one-pass packet checked in full, or a user id.
int parse_packet_chain(const uint8_t *bytes, long n, bool may_be_cut, bool *cut);

// As parse_packet_chain, and sets *tags (when not NULL) to a mask of the
// tags in a confirmed chain, nested chains included: bit t for tag t.
int parse_packet_chain_tags(const uint8_t *bytes, long n, bool may_be_cut, bool *cut,
                            uint64_t *tags);

// Where one packet lies in a chain: its tag, where its body starts, the
// bytes of the body present from there (the first chunk of a partial
// body), whether they are the whole body, and where the packet ends
// (perhaps past the bytes given; a body of indeterminate length runs to
// the end of them).
struct packet_span {
  int tag;
  long body;
  long avail;
  bool whole;
  long end;
};

// Reads the packet header at bytes[pos, n) (old or new format) into *s, and
// walks the chunks of a partial body to find its end.  False when
// bytes[pos] is not a packet header or the header runs past n.  Reads
// nothing outside [bytes, bytes + n).
bool packet_span_at(const uint8_t *bytes, long n, long pos, packet_span *s);

#endif  // KIVOR_DETECT_PACKETS_H_
