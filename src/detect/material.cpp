// The material of a file: the packet chain walked packet by packet, the
// fields of keys, signatures and session keys read into the record.
#include "detect/material.h"

#include <string.h>

#include "detect/armour.h"
#include "detect/packets.h"
#include "platform/platform.h"

enum { MAX_DEPTH = 4 };  // uncompressed "compressed" packets inside each other

// A bounded reader of one packet body: a field past its end sets bad and
// reads as zero.
struct cursor {
  const uint8_t *p;
  long pos, end;
  bool bad;
};

static bool take(cursor *c, long count) {
  if (c->bad || count < 0 || count > c->end - c->pos) {
    c->bad = true;
    return false;
  }
  c->pos += count;
  return true;
}

static uint32_t get_n(cursor *c, int count) {
  if (!take(c, count))
    return 0;
  uint32_t x = 0;
  for (int i = count; i > 0; i--)
    x = x << 8 | c->p[c->pos - i];
  return x;
}

static uint64_t get64(cursor *c) {
  uint64_t high = get_n(c, 4);
  return high << 32 | get_n(c, 4);
}

// A multiprecision integer: its bit count, then its bytes, which the
// returned position (-1 when it runs past the body) and *size give.
static long get_mpi(cursor *c, unsigned *bits, long *size) {
  *bits = get_n(c, 2);
  *size = ((long)*bits + 7) / 8;
  long at = c->pos;
  return take(c, *size) ? at : -1;
}

// The low 64 bits of a big-endian number of size bytes.
static uint64_t low64(const uint8_t *b, long size) {
  uint64_t x = 0;
  for (long i = size > 8 ? size - 8 : 0; i < size; i++)
    x = x << 8 | b[i];
  return x;
}

static void keep_bytes(const uint8_t *b, long len, uint8_t *into, long room, uint16_t *length,
                       bool *cut) {
  long k = len < room ? len : room;
  memcpy(into, b, (size_t)k);
  *length = (uint16_t)k;
  *cut = len > room;
}

// The public fields after the algorithm byte; sets the key's bits and,
// for RSA, where n and e lie.  False when they run past the body or the
// algorithm is not known.
static bool read_public_fields(cursor *c, unsigned algo, material_key *k, long *n_at,
                               long *n_size, long *e_at, long *e_size) {
  int count;
  switch (algo) {
    case 1: case 2: case 3: count = 2; break;
    case 16: case 20: count = 3; break;
    case 17: count = 4; break;
    case 18: case 19: case 22: {
      take(c, get_n(c, 1));  // curve OID
      unsigned bits;
      long size;
      get_mpi(c, &bits, &size);
      if (algo == 18)
        take(c, get_n(c, 1));  // KDF parameters
      return !c->bad;
    }
    default:
      return false;
  }
  for (int i = 0; i < count && !c->bad; i++) {
    unsigned bits;
    long size;
    long at = get_mpi(c, &bits, &size);
    if (i == 0) {
      k->bits = (uint16_t)bits;
      *n_at = at;
      *n_size = size;
    } else if (i == 1) {
      *e_at = at;
      *e_size = size;
    }
  }
  return !c->bad;
}

static bool digest_of(int algo, const uint8_t *a, long a_size, const uint8_t *b, long b_size,
                      const uint8_t *c, long c_size, uint8_t *out, size_t out_size) {
  plat_digest d;
  if (!plat_digest_init(&d, algo))
    return false;
  plat_digest_update(&d, a, (size_t)a_size);
  plat_digest_update(&d, b, (size_t)b_size);
  plat_digest_update(&d, c, (size_t)c_size);
  return plat_digest_final(&d, out, out_size) == out_size;
}

// Reads a key packet into *k; false when its first fields run past it.
// incomplete is set when the public fields do.
static bool parse_key(const uint8_t *b, long len, int tag, material_key *k, bool *incomplete) {
  memset(k, 0, sizeof *k);
  cursor c = {b, 0, len, false};
  k->version = (uint8_t)get_n(&c, 1);
  k->created = get_n(&c, 4);
  if (k->version < 4)
    take(&c, 2);  // days of validity
  k->algo = (uint8_t)get_n(&c, 1);
  k->secret = tag == 5 || tag == 7;
  k->subkey = tag == 7 || tag == 14;
  if (c.bad) {
    *incomplete = true;
    return false;
  }
  long n_at = -1, n_size = 0, e_at = -1, e_size = 0;
  bool known = read_public_fields(&c, k->algo, k, &n_at, &n_size, &e_at, &e_size);
  if (c.bad)
    *incomplete = true;
  if (!known || c.bad)
    return true;
  if (k->version == 4) {
    long public_size = c.pos;
    uint8_t head[3] = {0x99, (uint8_t)(public_size >> 8), (uint8_t)public_size};
    if (public_size <= 0xFFFF &&
        digest_of(PLAT_DIGEST_SHA1, head, 3, b, public_size, NULL, 0, k->fingerprint, 20)) {
      k->fingerprint_size = 20;
      k->key_id = low64(k->fingerprint, 20);
      k->has_id = true;
    }
  } else if (k->version >= 2 && k->algo <= 3) {
    if (digest_of(PLAT_DIGEST_MD5, b + n_at, n_size, b + e_at, e_size, NULL, 0, k->fingerprint,
                  16)) {
      k->fingerprint_size = 16;
      k->key_id = low64(b + n_at, n_size);
      k->has_id = true;
    }
  }
  return true;
}

static void read_key(const uint8_t *b, long len, int tag, material *m, material_walk *w) {
  material_key k;
  if (!parse_key(b, len, tag, &k, &m->incomplete))
    return;
  const material_sink *sink = w->sink;
  if (sink != NULL && sink->key != NULL)
    sink->key(sink->context, &k, k.subkey && w->has_current ? &w->current : NULL);
  bool kept = m->key_count < MATERIAL_KEYS_MAX;
  if (kept)
    m->keys[m->key_count++] = k;
  else
    m->keys_left_out = true;
  if (!k.subkey) {
    w->primary = kept ? m->key_count - 1 : -1;  // user IDs of a key left out are left out with it
    w->has_current = true;
    w->current = k;
  }
}

static void read_user_id(const uint8_t *b, long len, material *m, const material_walk *w) {
  const material_sink *sink = w->sink;
  if (w->has_current && sink != NULL && sink->user_id != NULL)
    sink->user_id(sink->context, &w->current, b, len);
  if (w->primary < 0)
    return;
  material_key *k = &m->keys[w->primary];
  if (k->user_id_count == MATERIAL_USER_IDS_MAX) {
    k->user_ids_left_out = true;
    return;
  }
  material_bytes_user *u = &k->user_ids[k->user_id_count++];
  keep_bytes(b, len, u->bytes, MATERIAL_USER_ID_BYTES, &u->length, &u->cut);
}

// A version 4 signature's subpacket area: the creation time (hashed area
// only) and the issuer's key ID, or its fingerprint's low 64 bits.
static void read_subpackets(cursor *c, long len, bool hashed, material_signature *s) {
  cursor a = {c->p + c->pos, 0, len, false};
  if (!take(c, len))
    return;
  while (a.pos < a.end && !a.bad) {
    long size = get_n(&a, 1);
    if (size >= 192 && size < 255)
      size = ((size - 192) << 8) + (long)get_n(&a, 1) + 192;
    else if (size == 255)
      size = (long)(get_n(&a, 4) & 0x3FFFFFFF);
    unsigned type = get_n(&a, 1) & 0x7F;
    long body = a.pos;
    if (size < 1 || !take(&a, size - 1))
      break;
    if (type == 2 && hashed && size == 5)
      s->created = (uint32_t)low64(a.p + body, 4);
    else if (type == 16 && size == 9) {
      s->signer = low64(a.p + body, 8);
      s->has_signer = true;
    } else if (type == 33 && size == 22 && !s->has_signer && a.p[body] == 4) {
      s->signer = low64(a.p + body + 1, 20);
      s->has_signer = true;
    }
  }
  if (a.bad)
    c->bad = true;
}

static void read_signature(const uint8_t *b, long len, material *m, const material_sink *sink) {
  cursor c = {b, 0, len, false};
  material_signature s;
  memset(&s, 0, sizeof s);
  s.version = (uint8_t)get_n(&c, 1);
  if (s.version == 2 || s.version == 3) {
    take(&c, 1);  // the length of the hashed fields
    s.type = (uint8_t)get_n(&c, 1);
    s.created = get_n(&c, 4);
    s.signer = get64(&c);
    s.has_signer = true;
    s.algo = (uint8_t)get_n(&c, 1);
  } else if (s.version == 4) {
    s.type = (uint8_t)get_n(&c, 1);
    s.algo = (uint8_t)get_n(&c, 1);
    take(&c, 1);  // hash algorithm
    read_subpackets(&c, get_n(&c, 2), true, &s);
    read_subpackets(&c, get_n(&c, 2), false, &s);
  } else {
    return;  // a version of its own: not read
  }
  if (c.bad) {
    m->incomplete = true;
    return;
  }
  if (sink != NULL && sink->signature != NULL)
    sink->signature(sink->context, &s);
  if (m->signature_count == MATERIAL_SIGNATURES_MAX)
    m->signatures_left_out = true;
  else
    m->signatures[m->signature_count++] = s;
}

static void read_session_key(const uint8_t *b, long len, material *m, const material_sink *sink) {
  cursor c = {b, 0, len, false};
  take(&c, 1);  // version
  uint64_t id = get64(&c);
  if (c.bad) {
    m->incomplete = true;
    return;
  }
  if (sink != NULL && sink->recipient != NULL)
    sink->recipient(sink->context, id);
  if (m->recipient_count == MATERIAL_RECIPIENTS_MAX)
    m->recipients_left_out = true;
  else
    m->recipients[m->recipient_count++] = id;
}

static bool all_padding(const uint8_t *b, long n) {
  for (long i = 0; i < n; i++)
    if (b[i] != 0 && b[i] != 0x1A)
      return false;
  return true;
}

static bool is_data_tag(int tag) { return tag == 8 || tag == 9 || tag == 11 || tag == 18; }

// True when the packet header at b is of the first format with a body of
// unknown length: it runs to the end of the chain.
static bool unknown_length(const uint8_t *b) { return (b[0] & 0x40) == 0 && (b[0] & 3) == 3; }

// True when the header at b (n bytes there) gives a partial body's first
// chunk: its end is known only by walking the chunks.
static bool partial_length(const uint8_t *b, long n) {
  return (b[0] & 0x40) != 0 && n > 1 && b[1] >= 224 && b[1] < 255;
}

static long feed_chain(const uint8_t *b, long n, bool at_end, int depth, material *m,
                       material_walk *w) {
  long pos = 0;
  while (pos < n) {
    packet_span s;
    if (!packet_span_at(b, n, pos, &s)) {
      if (b[pos] >= 0x80 && !at_end && n - pos < 6)
        return pos;  // a header cut by the end of the bytes given
      if (b[pos] >= 0x80 || pos == 0 || !all_padding(b + pos, n - pos))
        m->incomplete = true;
      return MATERIAL_CHAIN_OVER;
    }
    bool data = is_data_tag(s.tag) && !(s.tag == 8 && s.avail > 0 && b[s.body] == 0);
    bool unknown = unknown_length(b + pos);
    // A packet whose fields are wanted is read whole: the caller brings the
    // rest first.  A data packet is judged by its first bytes.
    if (!at_end && !data && (s.end > n || unknown))
      return pos;
    const uint8_t *body = b + s.body;
    // A partial body is data; the other packets' fields lie in one piece.
    if (!s.whole && !is_data_tag(s.tag))
      m->incomplete = true;
    switch (s.tag) {
      case 1:
        w->session_key = true;
        read_session_key(body, s.avail, m, w->sink);
        break;
      case 2:
        read_signature(body, s.avail, m, w->sink);
        break;
      case 3:
        w->session_key = true;
        m->passphrase = true;
        break;
      case 5: case 6: case 7:
        read_key(body, s.avail, s.tag, m, w);
        break;
      case 14:  // a subkey, or the comment packet of the first format
        if (s.avail > 0 && body[0] >= 2 && body[0] <= 4)
          read_key(body, s.avail, s.tag, m, w);
        break;
      case 13:
        read_user_id(body, s.avail, m, w);
        break;
      case 8:
        if (s.avail > 1 && body[0] == 0 && depth < MAX_DEPTH)
          feed_chain(body + 1, s.avail - 1, true, depth + 1, m, w);
        break;
      case 9:  // no session key before it: PGP 2's passphrase encryption
        if (!w->session_key)
          m->passphrase = true;
        break;
      default:
        break;
    }
    if (s.end > n && !at_end && data && !unknown && !partial_length(b + pos, n - pos))
      return s.end;  // its body skipped
    if (s.end > n || unknown) {
      if (s.end > n && (at_end || !data))
        m->incomplete = true;
      return MATERIAL_CHAIN_OVER;
    }
    pos = s.end;
  }
  return at_end ? (long)MATERIAL_CHAIN_OVER : pos;
}

void material_begin(material *m, material_walk *w, const material_sink *sink) {
  memset(m, 0, sizeof *m);
  memset(w, 0, sizeof *w);
  w->sink = sink;
  w->primary = -1;
}

long material_feed(const uint8_t *bytes, long n, bool at_end, material *m, material_walk *w) {
  if (bytes == NULL || n <= 0)
    return at_end ? (long)MATERIAL_CHAIN_OVER : 0;
  return feed_chain(bytes, n, at_end, 0, m, w);
}

// ------------------------------------------------------------ armour

// A line of the text, without its trailing blanks.
static bool next_line(const uint8_t *t, long n, long pos, armour_line *l) {
  if (!armour_next_line(t, n, pos, l))
    return false;
  l->end = armour_trimmed_end(t, l);
  return true;
}

static bool line_starts(const uint8_t *t, const armour_line *l, const char *s) {
  long k = (long)strlen(s);
  return l->end - l->start >= k && memcmp(t + l->start, s, (size_t)k) == 0;
}

// The armour headers after the header line at pos, up to the blank line:
// the first Version and Comment values are kept.
static void read_headers(const uint8_t *t, long n, long pos, material *m) {
  static const char *const keys[] = {"Version:", "Comment:"};
  armour_line l;
  while (next_line(t, n, pos, &l) && l.end > l.start && !line_starts(t, &l, "-----")) {
    pos = l.next;
    for (int i = 0; i < 2; i++) {
      bool *has = i == 0 ? &m->has_version : &m->has_comment;
      material_bytes_header *h = i == 0 ? &m->version : &m->comment;
      if (*has || !line_starts(t, &l, keys[i]))
        continue;
      long v = l.start + (long)strlen(keys[i]);
      while (v < l.end && (t[v] == ' ' || t[v] == '\t'))
        v++;
      keep_bytes(t + v, l.end - v, h->bytes, MATERIAL_HEADER_BYTES, &h->length, &h->cut);
      *has = true;
    }
  }
}

static void read_armour(const uint8_t *t, long n, uint8_t *scratch, long scratch_size,
                        material *m, material_walk *w) {
  armour_line l;
  long pos = 0;
  while (next_line(t, n, pos, &l)) {
    pos = l.next;
    if (!line_starts(t, &l, "-----BEGIN PGP ") || line_starts(t, &l, "-----BEGIN PGP SIGNED"))
      continue;
    m->armoured = true;
    read_headers(t, n, l.next, m);
    armour_stream s;
    armour_stream_begin(&s);
    long used = armour_stream_feed(&s, t + l.start, n - l.start, true, scratch, scratch_size);
    if (used > 0)
      pos = l.start + used;
    bool crc_ok = !s.has_crc || s.crc == s.crc_run;
    if (!armour_stream_clean(&s) || !crc_ok || s.kept < s.size || s.part > 1)
      m->incomplete = true;
    if (s.part <= 1 && s.kept > 0)
      feed_chain(scratch, s.kept, true, 0, m, w);
  }
}

void read_material(const uint8_t *bytes, long n, uint8_t *scratch, long scratch_size,
                   material *m, const material_sink *sink) {
  material_walk w;
  material_begin(m, &w, sink);
  if (bytes == NULL || n <= 0)
    return;
  bool chain = bytes[0] >= 0x80;
  if (chain) {
    feed_chain(bytes, n, true, 0, m, &w);
    bool found = m->key_count > 0 || m->signature_count > 0 || m->recipient_count > 0 ||
                 m->passphrase;
    if (found || !m->incomplete)
      return;
    // Perhaps not packets but text that begins with a high byte: the
    // chain's break stands unless armour is found.
    material_begin(m, &w, sink);
  }
  if (scratch != NULL && scratch_size > 0)
    read_armour(bytes, n, scratch, scratch_size, m, &w);
  if (chain && !m->armoured)
    m->incomplete = true;
}
