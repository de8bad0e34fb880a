// The packet-chain parser: headers, then what each tag makes checkable.
#include "detect/packets.h"

#include <stddef.h>

enum {
  MAX_DEPTH = 4,              // uncompressed "compressed" packets inside each other
  MAX_MPI_BITS = 16384,       // the largest key any implementation makes
  EARLIEST_TIME = 315532800,  // 1980-01-01: a PC whose clock was never set
  MIN_FIRST_PARTIAL = 512,    // the first chunk of a partial-length body
};

// Stated lengths are held to this: far past any bytes read, and sums of
// positions stay within a 32-bit long (Windows).
static const long LENGTH_CAP = 0x40000000L;

static long capped(uint32_t length) {
  return length > (uint32_t)LENGTH_CAP ? LENGTH_CAP : (long)length;
}

// A bounded view of one packet body.  avail bytes are present; complete says
// they are the whole body.  Reading past avail marks the view bad when the
// body is complete (a field past the packet's end) and out when it is not
// (the rest lies past the bytes read; what was present passed).
struct body_view {
  const uint8_t *p;
  long pos;
  long avail;
  bool complete;
  bool bad;
  bool out;
  bool loose;  // passed only by a rule for contents of an unknown kind
};

static bool stopped(const body_view *v) { return v->bad || v->out; }

// Fails the view on a false condition about bytes that were present.
static void require(body_view *v, bool cond) {
  if (!v->out && !cond)
    v->bad = true;
}

static bool have(body_view *v, long count) {
  if (stopped(v))
    return false;
  if (count <= v->avail - v->pos)
    return true;
  if (v->complete)
    v->bad = true;
  else
    v->out = true;
  return false;
}

static void skip(body_view *v, long count) {
  if (have(v, count))
    v->pos += count;
}

static unsigned get8(body_view *v) {
  return have(v, 1) ? v->p[v->pos++] : 0;
}

static unsigned get16(body_view *v) {
  if (!have(v, 2))
    return 0;
  unsigned x = (unsigned)v->p[v->pos] << 8 | v->p[v->pos + 1];
  v->pos += 2;
  return x;
}

static uint32_t get32(body_view *v) {
  if (!have(v, 4))
    return 0;
  const uint8_t *q = v->p + v->pos;
  v->pos += 4;
  return (uint32_t)q[0] << 24 | (uint32_t)q[1] << 16 | (uint32_t)q[2] << 8 | q[3];
}

// A complete body must be used up by its fields.
static void require_used_up(body_view *v) {
  if (!stopped(v) && v->complete)
    require(v, v->pos == v->avail);
}

// ------------------------------------------------------------ algorithms

// Public-key algorithms: RSA 1-3, ElGamal 16 and 20, DSA 17, ECDH 18,
// ECDSA 19, EdDSA 22.  Signatures and session keys with any other number
// are refused; keys are read as a row of MPIs (check_key).
static bool known_pk_algo(unsigned a) {
  return (a >= 1 && a <= 3) || (a >= 16 && a <= 20) || a == 22;
}

// Symmetric algorithms 1 to 13 (IDEA to Camellia; 5 and 6 were assigned
// early and kept reserved).  0 (plaintext) is not a cipher.
static bool known_sym_algo(unsigned a) { return a >= 1 && a <= 13; }

static long sym_block_size(unsigned a) { return a >= 7 ? 16 : 8; }

// Hash algorithms 1 to 14 (MD5 to SHA3-512).
static bool known_hash_algo(unsigned a) { return a >= 1 && a <= 14; }

static bool known_sig_type(unsigned t) {
  switch (t) {
    case 0x00: case 0x01: case 0x02: case 0x10: case 0x11: case 0x12: case 0x13:
    case 0x18: case 0x19: case 0x1F: case 0x20: case 0x28: case 0x30: case 0x40:
    case 0x50:
      return true;
    default:
      return false;
  }
}

static void check_time(body_view *v) {
  uint32_t t = get32(v);
  require(v, t >= EARLIEST_TIME);
}

// A multiprecision integer: a bit count of 1 to MAX_MPI_BITS and that many
// bits.  When the value is in the clear its first byte must hold the top
// bit the count names.
static void read_mpi(body_view *v, bool clear) {
  unsigned bits = get16(v);
  if (stopped(v))
    return;
  require(v, bits >= 1 && bits <= MAX_MPI_BITS);
  if (stopped(v))
    return;
  if (clear && v->pos < v->avail)
    require(v, (v->p[v->pos] >> ((bits - 1) % 8)) == 1);
  skip(v, (long)(bits + 7) / 8);
}

static void read_mpis(body_view *v, int count, bool clear) {
  for (int i = 0; i < count && !stopped(v); i++)
    read_mpi(v, clear);
}

// The curve OID of an elliptic-curve key: a length of 1 to 254 and the bytes.
static void read_oid(body_view *v) {
  unsigned len = get8(v);
  require(v, len >= 1 && len <= 254);
  skip(v, len);
}

// The string-to-key specifier.  Returns false for GnuPG's private type 101
// (a key stub), whose remaining bytes are not checkable.
static bool read_s2k(body_view *v) {
  unsigned type = get8(v);
  unsigned hash = get8(v);
  require(v, known_hash_algo(hash));
  switch (type) {
    case 0:
      return true;
    case 1:
      skip(v, 8);
      return true;
    case 3:
      skip(v, 9);
      return true;
    case 101:
      return false;
    default:
      require(v, false);
      return true;
  }
}

// ------------------------------------------------------------ packet bodies

// Key material after the algorithm byte, public part.
static void read_public_fields(body_view *v, unsigned algo) {
  switch (algo) {
    case 1: case 2: case 3:
      read_mpis(v, 2, true);  // n, e
      break;
    case 16: case 20:
      read_mpis(v, 3, true);  // p, g, y
      break;
    case 17:
      read_mpis(v, 4, true);  // p, q, g, y
      break;
    case 18: {
      read_oid(v);
      read_mpi(v, true);
      unsigned kdf = get8(v);  // KDF parameters: size, 1, hash, cipher
      require(v, kdf >= 3 && kdf <= 254);
      require(v, get8(v) == 1);
      skip(v, kdf - 1);
      break;
    }
    default:  // 19, 22
      read_oid(v);
      read_mpi(v, true);
      break;
  }
}

static int secret_mpi_count(unsigned algo) { return algo <= 3 ? 4 : 1; }

// The secret part of a secret key: protection, then the secret values and
// their checksum.  Version 2 and 3 keys encrypt the values but leave the bit
// counts in the clear; version 4 keys encrypt everything after the IV.
static void read_secret_fields(body_view *v, unsigned version, unsigned algo) {
  unsigned usage = get8(v);
  unsigned sym = usage;
  if (usage == 254 || usage == 255) {
    sym = get8(v);
    require(v, known_sym_algo(sym));
    if (!read_s2k(v)) {  // a stub: nothing more to check
      v->pos = v->avail;
      return;
    }
  } else if (usage != 0) {
    require(v, known_sym_algo(usage));
  }
  if (stopped(v))
    return;
  if (usage != 0) {
    skip(v, sym_block_size(sym));
    if (version == 4) {
      if (!stopped(v))
        v->pos = v->avail;  // the encrypted values and checksum
      return;
    }
  }
  read_mpis(v, secret_mpi_count(algo), usage == 0);
  skip(v, 2);  // checksum
}

// The key material of an algorithm outside the list: MPIs in the clear that
// fill a public key's body; of a secret key, whose public and secret parts
// cannot be told apart, the first MPI only.
static void read_unknown_fields(body_view *v, bool secret) {
  v->loose = true;
  read_mpi(v, true);
  if (secret) {
    if (!stopped(v))
      v->pos = v->avail;
    return;
  }
  while (!stopped(v) && v->pos < v->avail)
    read_mpi(v, true);
}

static void check_key(body_view *v, bool secret) {
  unsigned version = get8(v);
  require(v, version >= 2 && version <= 4);
  check_time(v);
  if (version < 4)
    skip(v, 2);  // days of validity
  unsigned algo = get8(v);
  if (stopped(v))
    return;
  if (!known_pk_algo(algo)) {
    read_unknown_fields(v, secret);
    return;
  }
  read_public_fields(v, algo);
  if (secret && !stopped(v)) {
    // A secret part laid out in a way of its own (early releases differ):
    // the public part has passed, the rest is taken as it is.
    body_view rest = *v;
    read_secret_fields(&rest, version, algo);
    require_used_up(&rest);
    if (rest.bad) {
      v->loose = true;
      v->pos = v->avail;
      return;
    }
    *v = rest;
  }
  require_used_up(v);
}

static int sig_mpi_count(unsigned algo) { return algo <= 3 ? 1 : 2; }

// A subpacket area of len bytes: subpackets that fill it exactly, each with
// a type byte; a signature creation time (type 2) must be plausible.
static void read_subpackets(body_view *v, long len) {
  if (stopped(v))
    return;
  long left = v->avail - v->pos;
  bool whole = len <= left;
  if (!whole && v->complete) {
    v->bad = true;
    return;
  }
  body_view area = {v->p + v->pos, 0, whole ? len : left, whole, false, false, false};
  while (area.pos < area.avail && !stopped(&area)) {
    unsigned first = get8(&area);
    long size = first;
    if (first >= 192 && first < 255)
      size = (long)((first - 192) << 8) + get8(&area) + 192;
    else if (first == 255)
      size = capped(get32(&area));
    require(&area, size >= 1);
    if (stopped(&area))
      break;
    unsigned type = get8(&area) & 0x7F;
    if (type == 2 && size == 5)
      check_time(&area);
    else
      skip(&area, size - 1);
  }
  v->bad = area.bad;
  v->out = area.out || !whole;
  v->pos += area.avail;
}

static void check_signature(body_view *v) {
  unsigned version = get8(v);
  unsigned pk;
  if (version == 2 || version == 3) {
    require(v, get8(v) == 5);  // the length of the hashed fields
    require(v, known_sig_type(get8(v)));
    check_time(v);
    skip(v, 8);  // key id
    pk = get8(v);
  } else {
    require(v, version == 4);
    require(v, known_sig_type(get8(v)));
    pk = get8(v);
  }
  require(v, known_pk_algo(pk) && pk != 18);
  require(v, known_hash_algo(get8(v)));
  if (version == 4) {
    read_subpackets(v, get16(v));  // hashed
    read_subpackets(v, get16(v));  // unhashed
  }
  skip(v, 2);  // the hash's first two bytes
  if (!stopped(v))
    read_mpis(v, sig_mpi_count(pk), true);
  require_used_up(v);
}

static void check_pk_session_key(body_view *v) {
  unsigned version = get8(v);
  require(v, version == 2 || version == 3);
  skip(v, 8);  // key id
  unsigned pk = get8(v);
  require(v, known_pk_algo(pk) && pk != 17 && pk != 19 && pk != 22);
  if (stopped(v))
    return;
  if (pk <= 3) {
    read_mpi(v, true);
  } else if (pk == 18) {
    read_mpi(v, true);
    skip(v, get8(v));  // the wrapped key
  } else {
    read_mpis(v, 2, true);
  }
  require_used_up(v);
}

static void check_sym_session_key(body_view *v) {
  require(v, get8(v) == 4);
  require(v, known_sym_algo(get8(v)));
  require(v, read_s2k(v));
  v->pos = v->avail;  // an encrypted session key may follow
}

static void check_one_pass(body_view *v) {
  require(v, get8(v) == 3);
  require(v, known_sig_type(get8(v)));
  require(v, known_hash_algo(get8(v)));
  unsigned pk = get8(v);
  require(v, known_pk_algo(pk) && pk != 18);
  skip(v, 8);         // key id
  require(v, get8(v) <= 1);  // nested flag
  require_used_up(v);
}

// The start of a deflate stream: never the reserved block type; a stored
// block's length and its complement agree; a dynamic block's code counts
// are in range.
static void check_deflate(body_view *v) {
  if (!have(v, 1))
    return;
  const uint8_t *d = v->p + v->pos;
  long left = v->avail - v->pos;
  unsigned type = (d[0] >> 1) & 3;
  require(v, type != 3);
  if (type == 0 && left >= 5)
    require(v, (d[1] | d[2] << 8) == (~(d[3] | d[4] << 8) & 0xFFFF));
  if (type == 2 && left >= 2)
    require(v, (d[0] >> 3) <= 29 && (d[1] & 0x1F) <= 29);
  v->pos = v->avail;
}

// What a whole chain, nested ones included, has shown.
struct chain_state {
  uint64_t tags;  // bit t: a packet of tag t
  bool loose;     // a packet passed only by a rule for unknown contents
  bool witness;   // a key, signature or one-pass packet checked in full, or a user id
};

static int parse_chain(const uint8_t *b, long n, bool may_be_cut, bool *cut, int depth,
                       chain_state *st);

// Compressed data: the algorithm (0 none, 1 ZIP, 2 ZLIB, 3 BZip2) and the
// start of its stream.  The data is not inflated; an uncompressed body is
// parsed as a chain of its own.
static void check_compressed(body_view *v, int depth, chain_state *st) {
  unsigned algo = get8(v);
  require(v, algo <= 3);
  if (!have(v, 1))  // an empty stream is no data
    return;
  const uint8_t *d = v->p + v->pos;
  long left = v->avail - v->pos;
  switch (algo) {
    case 0: {
      require(v, depth < MAX_DEPTH &&
                     parse_chain(d, left, !v->complete, NULL, depth + 1, st) != CHAIN_NONE);
      v->pos = v->avail;
      break;
    }
    case 1:
      check_deflate(v);
      break;
    case 2:
      if (left >= 2) {
        require(v, (d[0] & 0x0F) == 8 && (d[0] >> 4) <= 7 && (d[1] & 0x20) == 0 &&
                       (d[0] << 8 | d[1]) % 31 == 0);
        v->pos += 2;
        check_deflate(v);
      }
      v->pos = v->avail;
      break;
    default:
      for (long i = 0; i < 4 && i < left; i++)
        require(v, i < 3 ? d[i] == "BZh"[i] : (d[i] >= '1' && d[i] <= '9'));
      v->pos = v->avail;
      break;
  }
}

static void check_literal(body_view *v) {
  unsigned mode = get8(v);
  require(v, mode == 'b' || mode == 't' || mode == 'u' || mode == 'l' || mode == '1');
  skip(v, get8(v));  // file name
  skip(v, 4);        // date, often 0
  if (!stopped(v))
    v->pos = v->avail;
}

// Text: no control bytes but tab (and line ends where lines is set).
static void check_text(body_view *v, bool lines) {
  for (; v->pos < v->avail && !v->bad; v->pos++) {
    uint8_t c = v->p[v->pos];
    require(v, c >= 0x20 || c == '\t' || (lines && (c == '\r' || c == '\n')));
  }
}

// User attribute: subpackets filling the body.
static void check_user_attribute(body_view *v) {
  if (v->complete)
    read_subpackets(v, v->avail);
  else
    v->pos = v->avail;
}

// Checks one packet body by its tag.  Returns false when it fails.
static bool check_body(int tag, body_view *v, long length, int depth, chain_state *st) {
  switch (tag) {
    case 1:
      check_pk_session_key(v);
      break;
    case 2:
      check_signature(v);
      break;
    case 3:
      check_sym_session_key(v);
      break;
    case 4:
      check_one_pass(v);
      break;
    case 5: case 6: case 7:
      check_key(v, tag != 6);
      break;
    case 8:
      check_compressed(v, depth, st);
      break;
    case 9:  // 8 bytes of IV and 2 of check, then data
      require(v, length < 0 || length >= 10);
      break;
    case 10:
      require(v, length == 3);
      for (int i = 0; i < 3; i++)
        require(v, get8(v) == (unsigned)"PGP"[i]);
      break;
    case 11:
      check_literal(v);
      break;
    case 12:  // trust: one byte (two in later key rings)
      require(v, length == 1 || length == 2);
      break;
    case 13:
      check_text(v, false);
      break;
    case 14:  // a subkey, or the comment packet of the first format
      if (v->avail > 0 && v->p[0] >= 2 && v->p[0] <= 4)
        check_key(v, false);
      else
        check_text(v, true);
      break;
    case 16:  // the comment packet of early OpenPGP drafts
      check_text(v, true);
      break;
    case 60: case 61: case 62: case 63: {  // private: GnuPG's comments, binary data
      body_view text = *v;
      check_text(&text, true);
      if (tag != 61 || text.bad)
        v->loose = true;
      v->pos = v->avail;
      break;
    }
    case 17:
      check_user_attribute(v);
      break;
    case 18:  // integrity-protected data: version 1, then more than an IV
      require(v, get8(v) == 1);
      require(v, length < 0 || length >= 11);
      break;
    default:
      return false;
  }
  return !v->bad;
}

// Packets whose body may have a partial or an indeterminate length.
static bool is_data_tag(int tag) {
  return tag == 8 || tag == 9 || tag == 11 || tag == 18;
}

// What a chain that begins with a packet of tag carries.
static int first_material(int tag) {
  switch (tag) {
    case 2: return CHAIN_SIGNATURE;
    case 4: return CHAIN_ONE_PASS;
    case 5: case 7: return CHAIN_SECRET_KEY;
    case 6: case 14: return CHAIN_PUBLIC_KEY;
    case 1: case 18: return CHAIN_PK_ENCRYPTED;
    case 3: case 9: return CHAIN_CONVENTIONAL;
    case 8: return CHAIN_COMPRESSED;
    case 11: return CHAIN_LITERAL;
    default: return CHAIN_NONE;  // marker, trust, user id, comment, user attribute
  }
}

// What the chain carries so far, given the next packet's tag: the first
// material found, except that signatures followed by data make a signed
// message.
static int next_material(int material, int tag) {
  if (material == CHAIN_SIGNATURE && (tag == 8 || tag == 11))
    return CHAIN_SIGNED;
  return material != CHAIN_NONE ? material : first_material(tag);
}

static bool all_padding(const uint8_t *b, long n) {
  for (long i = 0; i < n; i++)
    if (b[i] != 0 && b[i] != 0x1A)
      return false;
  return true;
}

// The length field of a new-format header at b[0, left): sets *len and
// *size (bytes of the field); *partial for a partial chunk.  False when the
// field runs past left.
static bool new_length(const uint8_t *b, long left, long *len, long *size, bool *partial) {
  if (left < 1)
    return false;
  *partial = false;
  if (b[0] < 192) {
    *len = b[0];
    *size = 1;
  } else if (b[0] < 224) {
    if (left < 2)
      return false;
    *len = ((long)(b[0] - 192) << 8) + b[1] + 192;
    *size = 2;
  } else if (b[0] < 255) {
    *len = 1L << (b[0] & 0x1F);
    *size = 1;
    *partial = true;
  } else {
    if (left < 5)
      return false;
    *len = capped((uint32_t)b[1] << 24 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 8 | b[4]);
    *size = 5;
  }
  return true;
}

static int parse_chain(const uint8_t *b, long n, bool may_be_cut, bool *cut, int depth,
                       chain_state *st) {
  int material = CHAIN_NONE;
  bool any = false;
  long pos = 0;
  while (pos < n) {
    if (b[pos] < 0x80) {
      if (!any || !all_padding(b + pos, n - pos))
        return CHAIN_NONE;
      break;
    }
    int tag;
    long header = 0, length = -1;  // -1: to the end of the stream
    long first_chunk = -1;     // the first chunk of a partial body
    long end = 0;              // where the packet ends, perhaps past n
    bool header_cut = false;
    if (b[pos] & 0x40) {
      tag = b[pos] & 0x3F;
      long size;
      bool partial;
      if (!new_length(b + pos + 1, n - pos - 1, &length, &size, &partial)) {
        header_cut = true;
      } else if (!partial) {
        header = 1 + size;
        end = pos + header + length;
      } else {
        if (!is_data_tag(tag) || length < MIN_FIRST_PARTIAL)
          return CHAIN_NONE;
        header = 1 + size;
        first_chunk = length;
        length = -1;
        end = pos + header + first_chunk;
        for (;;) {  // each chunk moves end forward: the walk ends
          long chunk;
          if (end >= n || !new_length(b + end, n - end, &chunk, &size, &partial)) {
            end = n + 1;  // runs past the bytes read
            break;
          }
          end += size + chunk;
          if (!partial)
            break;
        }
      }
    } else {
      tag = (b[pos] >> 2) & 0x0F;
      int type = b[pos] & 3;
      header = type == 3 ? 1 : 1 + (1 << type);
      if (pos + header > n) {
        header_cut = true;
      } else if (type == 3) {
        if (!is_data_tag(tag))
          return CHAIN_NONE;
        end = n;
      } else {
        uint32_t stated = 0;
        for (long i = 1; i < header; i++)
          stated = stated << 8 | b[pos + i];
        length = capped(stated);
        end = pos + header + length;
      }
    }
    if (header_cut) {
      if (!may_be_cut || !any)
        return CHAIN_NONE;
      if (cut != NULL)
        *cut = true;
      break;
    }
    bool runs_past = end > n || (length < 0 && may_be_cut);
    if (runs_past && !may_be_cut)
      return CHAIN_NONE;
    long avail = (end > n ? n : end) - (pos + header);
    if (first_chunk >= 0 && first_chunk < avail)
      avail = first_chunk;
    body_view v = {b + pos + header, 0, avail, !runs_past && first_chunk < 0, false, false,
                   false};
    if (!check_body(tag, &v, length, depth, st))
      return CHAIN_NONE;
    st->tags |= (uint64_t)1 << tag;
    if (v.loose)
      st->loose = true;
    else if (tag == 2 || tag == 4 || (tag >= 5 && tag <= 7) || (tag == 13 && avail > 0) ||
             (tag == 14 && avail > 0 && v.p[0] >= 2 && v.p[0] <= 4))
      st->witness = true;
    // Conventionally encrypted data on its own is PGP 2's form, which always
    // states its length.
    if (material == CHAIN_NONE && tag == 9 && length < 0 && first_chunk < 0)
      return CHAIN_NONE;
    material = next_material(material, tag);
    any = true;
    if (runs_past) {
      if (cut != NULL)
        *cut = true;
      break;
    }
    pos = end;
  }
  if (may_be_cut && pos == n && cut != NULL)
    *cut = true;  // the next packet may begin just past the bytes read
  return material;
}

int parse_packet_chain_tags(const uint8_t *bytes, long n, bool may_be_cut, bool *cut,
                            uint64_t *tags) {
  if (cut != NULL)
    *cut = false;
  if (tags != NULL)
    *tags = 0;
  if (bytes == NULL || n <= 0)
    return CHAIN_NONE;
  chain_state st = {0, false, false};
  int material = parse_chain(bytes, n, may_be_cut, cut, 0, &st);
  // Packets of an unknown kind prove nothing by themselves: such a chain
  // must also hold material checked in full.
  if (st.loose && !st.witness)
    return CHAIN_NONE;
  if (tags != NULL && material != CHAIN_NONE)
    *tags = st.tags;
  return material;
}

int parse_packet_chain(const uint8_t *bytes, long n, bool may_be_cut, bool *cut) {
  return parse_packet_chain_tags(bytes, n, may_be_cut, cut, NULL);
}

bool packet_span_at(const uint8_t *b, long n, long pos, packet_span *s) {
  if (b == NULL || pos < 0 || pos >= n || b[pos] < 0x80)
    return false;
  long header, length = -1, first_chunk = -1;
  if (b[pos] & 0x40) {
    s->tag = b[pos] & 0x3F;
    long size;
    bool partial;
    if (!new_length(b + pos + 1, n - pos - 1, &length, &size, &partial))
      return false;
    header = 1 + size;
    s->end = pos + header + length;
    if (partial) {
      first_chunk = length;
      length = -1;
      for (;;) {  // each chunk moves end forward: the walk ends
        long chunk;
        if (s->end >= n || !new_length(b + s->end, n - s->end, &chunk, &size, &partial)) {
          s->end = n + 1;  // runs past the bytes given
          break;
        }
        s->end += size + chunk;
        if (!partial)
          break;
      }
    }
  } else {
    s->tag = (b[pos] >> 2) & 0x0F;
    int type = b[pos] & 3;
    header = type == 3 ? 1 : 1 + (1 << type);
    if (pos + header > n)
      return false;
    if (type == 3) {
      s->end = n;
    } else {
      uint32_t stated = 0;
      for (long i = 1; i < header; i++)
        stated = stated << 8 | b[pos + i];
      length = capped(stated);
      s->end = pos + header + length;
    }
  }
  s->body = pos + header;
  s->avail = (s->end > n ? n : s->end) - s->body;
  if (first_chunk >= 0 && first_chunk < s->avail)
    s->avail = first_chunk;
  s->whole = length >= 0 && s->end <= n;
  return true;
}
