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

// Every key, user ID, signature and session key's recipient as it is read,
// also those past what the record keeps (a key ring of any size): for a
// caller that counts them.  Any routine may be NULL.
struct material_sink {
  void *context;
  // A key packet; primary is the primary key a subkey belongs to (NULL for
  // a primary key, or a subkey with none before it).  Its user IDs follow.
  void (*key)(void *context, const material_key *k, const material_key *primary);
  // A user ID packet after the primary key it names.
  void (*user_id)(void *context, const material_key *primary, const uint8_t *bytes, long n);
  void (*signature)(void *context, const material_signature *s);
  void (*recipient)(void *context, uint64_t key_id);
};

// The state of a packet chain read piece by piece: what the record does not
// hold of the key that user IDs belong to.  The caller's, between calls.
struct material_walk {
  const material_sink *sink;
  int primary;           // index in the record of the current primary key; -1 when not kept
  bool has_current;      // a primary key is current (kept or not)
  material_key current;  // its fields, user IDs left out
  bool session_key;      // a session key packet came before the data
};

enum { MATERIAL_CHAIN_OVER = -1 };

// Starts *m and *w for a chain read with material_feed; sink may be NULL.
void material_begin(material *m, material_walk *w, const material_sink *sink);

// Reads the whole packets of a packet chain at bytes[0, n), the part of the
// chain that follows what earlier calls took, into *m (and the sink).
// Returns where the next call's bytes must begin, relative to bytes: the
// first packet not wholly there (at most n), or past n when a data packet
// whose body is not needed is skipped (the caller drops up to there); or
// MATERIAL_CHAIN_OVER when nothing more of the chain can be read (its end,
// a break, a body of unknown length).  With at_end, bytes run to the end
// of the chain: a packet cut there is read as far as it goes and sets
// incomplete, and the result is MATERIAL_CHAIN_OVER.  A caller whose bytes
// cannot grow (the first packet is larger than its buffer) calls again
// with at_end.
long material_feed(const uint8_t *bytes, long n, bool at_end, material *m, material_walk *w);

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
// What is read also goes to sink, when not NULL.
void read_material(const uint8_t *bytes, long n, uint8_t *scratch, long scratch_size,
                   material *m, const material_sink *sink);

#endif  // KIVOR_DETECT_MATERIAL_H_
