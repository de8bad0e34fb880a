// The material a file carries, read from its packets: keys with their IDs,
// fingerprints and user IDs, the keys a message is encrypted to, signers,
// and the armour's Version and Comment headers.  A pure routine on a byte
// range: no globals, no I/O, no allocation; everything it finds goes into a
// plain record of fixed size.
#ifndef KIVOR_DETECT_MATERIAL_H_
#define KIVOR_DETECT_MATERIAL_H_

#include <stdint.h>

enum {
  MATERIAL_KEYS_MAX = 32,        // keys kept, subkeys included
  MATERIAL_USER_IDS_MAX = 4,     // user IDs kept of each key
  MATERIAL_USER_ID_BYTES = 128,  // bytes kept of each user ID
  MATERIAL_RECIPIENTS_MAX = 16,  // key IDs of public-key encrypted session keys
  MATERIAL_SIGNATURES_MAX = 32,
  MATERIAL_HEADER_BYTES = 80,    // bytes kept of an armour header's value
};

// Bytes as found, cut to a fixed buffer: length of them kept, cut when
// there were more.  Not terminated, and not checked as text: the caller
// shows them safely.
struct material_bytes_user {
  uint16_t length;
  bool cut;
  uint8_t bytes[MATERIAL_USER_ID_BYTES];
};

struct material_bytes_header {
  uint16_t length;
  bool cut;
  uint8_t bytes[MATERIAL_HEADER_BYTES];
};

struct material_key {
  uint8_t version;     // 2, 3 or 4
  bool secret;
  bool subkey;
  uint8_t algo;        // public-key algorithm (1 RSA, 16 ElGamal, 17 DSA, ...)
  uint16_t bits;       // of n (RSA) or p (DSA, ElGamal); 0 for others
  uint32_t created;
  bool has_id;         // key_id and fingerprint are set
  uint64_t key_id;
  uint8_t fingerprint_size;  // 16 (MD5, versions 2 and 3) or 20 (SHA-1, version 4)
  uint8_t fingerprint[20];
  uint8_t user_id_count;
  bool user_ids_left_out;
  material_bytes_user user_ids[MATERIAL_USER_IDS_MAX];
};

struct material_signature {
  uint8_t version;
  uint8_t type;      // signature type (0x00 binary document, 0x10-0x13 certification, ...)
  uint8_t algo;
  uint32_t created;  // 0 when a version 4 signature has no creation time
  bool has_signer;
  uint64_t signer;   // the issuer's key ID
};

struct material {
  int key_count;
  bool keys_left_out;
  material_key keys[MATERIAL_KEYS_MAX];
  int recipient_count;
  bool recipients_left_out;
  uint64_t recipients[MATERIAL_RECIPIENTS_MAX];
  bool passphrase;  // a symmetric session key, or conventional data with none
  int signature_count;
  bool signatures_left_out;
  material_signature signatures[MATERIAL_SIGNATURES_MAX];
  bool armoured;
  bool has_version, has_comment;
  material_bytes_header version;  // the first "Version:" header's value
  material_bytes_header comment;  // the first "Comment:" header's value
  // Something could not be read to its end: a truncated or malformed
  // packet, a length past the bytes given, an MPI longer than its packet,
  // armour that is not clean or decodes past scratch.  What came before it
  // is in the record.
  bool incomplete;
};

// Fills *m with the material of bytes[0, n): a packet chain when the first
// byte is a packet header (unless it breaks off with nothing found: text
// that begins with a high byte), else every armour block in the text (a
// SIGNED MESSAGE through its SIGNATURE block; parts after the first of a
// multi-part block only set incomplete).  Packets of compressed data are
// not inflated (uncompressed ones are read as a nested chain), so
// signatures inside them are not seen.  scratch (scratch_size bytes) holds
// an armour block's decoded bytes; a block that decodes to more is read as
// far as it holds.  Key IDs and fingerprints come from the digests of the
// platform layer; when one cannot be had, the key's has_id stays false.
void read_material(const uint8_t *bytes, long n, uint8_t *scratch, long scratch_size,
                   material *m);

#endif  // KIVOR_DETECT_MATERIAL_H_
