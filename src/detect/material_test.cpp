#include "detect/material.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "corpus.h"
#include "platform/platform.h"
#include "temp_tree.h"

namespace {

typedef std::vector<uint8_t> bytes;

std::string hex(const uint8_t *b, size_t n) {
  std::string s;
  char two[3];
  for (size_t i = 0; i < n; i++) {
    snprintf(two, sizeof two, "%02X", b[i]);
    s += two;
  }
  return s;
}

std::string hex64(uint64_t x) {
  uint8_t b[8];
  for (int i = 0; i < 8; i++)
    b[i] = (uint8_t)(x >> (56 - 8 * i));
  return hex(b, 8);
}

TEST(Digest, KnownAnswers) {
  static const struct {
    int algo;
    const char *text;
    size_t split;  // the text given in two pieces, the first this long
    const char *want;
  } cases[] = {
      {PLAT_DIGEST_MD5, "", 0, "D41D8CD98F00B204E9800998ECF8427E"},
      {PLAT_DIGEST_MD5, "abc", 1, "900150983CD24FB0D6963F7D28E17F72"},
      {PLAT_DIGEST_SHA1, "abc", 2, "A9993E364706816ABA3E25717850C26C9CD0D89D"},
      {PLAT_DIGEST_SHA256, "abc", 0,
       "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
      {PLAT_DIGEST_SHA256, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 31,
       "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1"},
  };
  for (const auto &c : cases) {
    plat_digest d;
    ASSERT_TRUE(plat_digest_init(&d, c.algo));
    plat_digest_update(&d, c.text, c.split);
    plat_digest_update(&d, c.text + c.split, strlen(c.text) - c.split);
    uint8_t out[PLAT_DIGEST_MAX];
    size_t len = plat_digest_final(&d, out, sizeof out);
    EXPECT_EQ(hex(out, len), c.want) << c.text;
  }
  plat_digest d;
  EXPECT_FALSE(plat_digest_init(&d, 0));
  ASSERT_TRUE(plat_digest_init(&d, PLAT_DIGEST_SHA1));
  uint8_t small[16];
  EXPECT_EQ(plat_digest_final(&d, small, sizeof small), 0u);  // too small: 0, handle freed
}

// ---------------------------------------------------------- made packets

bytes packet(int tag, const bytes &body) {  // old format, two-byte length
  bytes p(3 + body.size());
  p[0] = (uint8_t)(0x80 | tag << 2 | 1);
  p[1] = (uint8_t)(body.size() >> 8);
  p[2] = (uint8_t)body.size();
  std::copy(body.begin(), body.end(), p.begin() + 3);
  return p;
}

bytes operator+(bytes a, const bytes &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

bytes text(const char *s, size_t n) { return bytes(s, s + n); }

// A version 3 RSA key, 0x30A79864, with a 64-bit n and e = 17.
bytes v3_key(int tag = 6, uint8_t n_bits_high = 0x00) {
  return packet(tag, {3, 0x30, 0xA7, 0x98, 0x64, 0, 0, 1, n_bits_high, 64, 0xC1, 2, 3, 4, 5,
                      6, 7, 8, 0, 5, 0x11});
}

void read(const bytes &b, material *m) {
  static uint8_t scratch[1 << 16];
  read_material(b.data(), (long)b.size(), scratch, sizeof scratch, m, NULL);
}

TEST(Material, PacketKinds) {
  bytes sig4 = packet(2, {4, 0x00, 1, 8, 0, 6, 5, 2, 0x40, 0, 0, 1,  // hashed: created
                          0, 10, 9, 16, 1, 2, 3, 4, 5, 6, 7, 8,      // unhashed: issuer
                          0xAB, 0xCD, 0, 1, 1});
  bytes sig3 = packet(2, {3, 5, 0x10, 0x30, 0, 0, 0, 9, 9, 9, 9, 8, 8, 8, 8, 1, 1, 0xAB, 0xCD,
                          0, 1, 1});
  bytes pkesk = packet(1, {3, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 1, 0, 1, 1});
  bytes skesk = packet(3, {4, 1, 0, 1});
  bytes data = packet(9, bytes(12, 0x5A));
  struct {
    const char *name;
    bytes in;
    int recipients;
    bool passphrase;
    int signatures;
    const char *signer;  // of the last signature
    uint32_t created;
  } cases[] = {
      {"pk session key", pkesk + data, 1, false, 0, "", 0},
      {"symmetric session key", skesk + data, 0, true, 0, "", 0},
      {"conventional data alone", data, 0, true, 0, "", 0},
      {"v3 signature", sig3, 0, false, 1, "0909090908080808", 0x30000000},
      {"v4 signature", sig4, 0, false, 1, "0102030405060708", 0x40000001},
      {"nested in uncompressed", packet(8, bytes{0} + sig3), 0, false, 1, "0909090908080808",
       0x30000000},
  };
  for (const auto &c : cases) {
    material m;
    read(c.in, &m);
    EXPECT_FALSE(m.incomplete) << c.name;
    EXPECT_EQ(m.recipient_count, c.recipients) << c.name;
    if (c.recipients > 0) {
      EXPECT_EQ(hex64(m.recipients[0]), "1122334455667788");
    }
    EXPECT_EQ(m.passphrase, c.passphrase) << c.name;
    ASSERT_EQ(m.signature_count, c.signatures) << c.name;
    if (c.signatures > 0) {
      EXPECT_EQ(hex64(m.signatures[0].signer), c.signer) << c.name;
      EXPECT_EQ(m.signatures[0].created, c.created) << c.name;
    }
  }
}

TEST(Material, MalformedAndBounded) {
  const bytes key = v3_key();
  struct {
    const char *name;
    bytes in;
    int keys;
    bool has_id;
    bool incomplete;
  } cases[] = {
      {"whole key", v3_key(), 1, true, false},
      {"MPI past its packet", v3_key(6, 0x10), 1, false, true},  // n claims 4160 bits
      {"cut in its body", bytes(key.begin(), key.end() - 4), 1, false, true},
      {"cut in its header", bytes(key.begin(), key.begin() + 2), 0, false, true},
      {"length that lies", bytes{0x99, 0xFF, 0xFF} + bytes(key.begin() + 3, key.end()),
       1, true, true},
      {"garbage after", v3_key() + text("x", 1), 1, true, true},
  };
  for (const auto &c : cases) {
    material m;
    read(c.in, &m);
    EXPECT_EQ(m.incomplete, c.incomplete) << c.name;
    ASSERT_EQ(m.key_count, c.keys) << c.name;
    if (c.keys > 0) {
      EXPECT_EQ(m.keys[0].has_id, c.has_id) << c.name;
    }
  }
  // Trailing padding is no fault.
  material m;
  read(v3_key() + bytes{0, 0x1A}, &m);
  EXPECT_FALSE(m.incomplete);
  // A ring of 100,000 keys keeps the first ones and says so.
  bytes ring;
  for (int i = 0; i < 100000; i++)
    ring.insert(ring.end(), key.begin(), key.end());
  read(ring, &m);
  EXPECT_EQ(m.key_count, MATERIAL_KEYS_MAX);
  EXPECT_TRUE(m.keys_left_out);
  EXPECT_FALSE(m.incomplete);
}

TEST(Material, UserIdsKeptAsBytes) {
  const char odd[] = "A \"quoted\"\x1B[31m\xFF\xC0\x80\n\0tail";
  bytes in = v3_key() + packet(13, text(odd, sizeof odd - 1)) +
             packet(13, bytes(300, 'x')) + v3_key(14);
  for (int i = 0; i < 3; i++)
    in = in + packet(13, text("more", 4));
  material m;
  read(in, &m);
  ASSERT_EQ(m.key_count, 2);
  const material_key &k = m.keys[0];
  EXPECT_EQ(hex64(k.key_id), "C102030405060708");  // the low 64 bits of n
  EXPECT_EQ(k.bits, 64);
  EXPECT_EQ(k.created, 0x30A79864u);
  ASSERT_EQ(k.user_id_count, MATERIAL_USER_IDS_MAX);  // the subkey's come to its primary
  EXPECT_TRUE(k.user_ids_left_out);
  EXPECT_EQ(std::string((const char *)k.user_ids[0].bytes, k.user_ids[0].length),
            std::string(odd, sizeof odd - 1));
  EXPECT_FALSE(k.user_ids[0].cut);
  EXPECT_EQ(k.user_ids[1].length, MATERIAL_USER_ID_BYTES);
  EXPECT_TRUE(k.user_ids[1].cut);
  EXPECT_TRUE(m.keys[1].subkey);
}

// ---------------------------------------------------------- sample files

bytes sample(const char *name, bool *found) {
  std::string s = read_file(corpus_root() + "/" + name);
  *found = !s.empty();
  return bytes(s.begin(), s.end());
}

// Key IDs and fingerprints as gpg --list-packets and an MD5 of n and e made
// apart from this code give them.
TEST(Material, SampleKeys) {
  static const struct {
    const char *file;
    int version;
    bool secret;
    int bits;
    uint32_t created;
    const char *key_id;
    const char *fingerprint;
    const char *user_id;
    const char *header;  // Version: of the armour
  } cases[] = {
      {"real-binary/sbcl-pubring.pgp", 3, false, 1024, 942953459, "777C87C03578B001",
       "85CE1CBA798D518CB925FBEEE0C3E57C",
       "William Harold Newman <william.newman@airmail.net>", NULL},
      {"real-binary/ca-secring.tage", 3, true, 512, 864505551, "C8F7F99E4AE4EE55",
       "F90D1171CBFDA6D0C742C8DE623A0A9D", "PGPlib Test", NULL},
      {"gpg/pub.gpg", 4, false, 2048, 1796747044, "D710B80C48AE0BE6",
       "79404F66442FD3E0C68F37B6D710B80C48AE0BE6", "Corpus Test <corpus@example.invalid>",
       NULL},
      {"gpg/sec.asc", 4, true, 2048, 1796747044, "D710B80C48AE0BE6",
       "79404F66442FD3E0C68F37B6D710B80C48AE0BE6", "Corpus Test <corpus@example.invalid>",
       NULL},
  };
  for (const auto &c : cases) {
    bool found;
    bytes b = sample(c.file, &found);
    SKIP_WITHOUT_CORPUS(found);
    material m;
    read(b, &m);
    EXPECT_FALSE(m.incomplete) << c.file;
    ASSERT_GE(m.key_count, 1) << c.file;
    const material_key &k = m.keys[0];
    EXPECT_EQ(k.version, c.version) << c.file;
    EXPECT_EQ(k.secret, c.secret) << c.file;
    EXPECT_EQ(k.algo, 1) << c.file;
    EXPECT_EQ(k.bits, c.bits) << c.file;
    EXPECT_EQ(k.created, c.created) << c.file;
    ASSERT_TRUE(k.has_id) << c.file;
    EXPECT_EQ(hex64(k.key_id), c.key_id) << c.file;
    EXPECT_EQ(hex(k.fingerprint, k.fingerprint_size), c.fingerprint) << c.file;
    ASSERT_GE(k.user_id_count, 1) << c.file;
    EXPECT_EQ(std::string((const char *)k.user_ids[0].bytes, k.user_ids[0].length), c.user_id);
  }
}

// Messages and signatures, as gpg --list-packets shows them.
TEST(Material, SampleMessages) {
  static const struct {
    const char *file;
    const char *recipients;  // key IDs one after another
    bool passphrase;
    const char *signer;      // of the first signature
    int type;
    uint32_t created;
    const char *version;     // the armour's Version: header
  } cases[] = {
      {"real-binary/pgpdump-enc3", "0F648A1C9E4F744DF6705ABF6ED954E8", false, "", 0, 0, NULL},
      {"gpg/enc-sym-rfc2440-idea.gpg", "", true, "", 0, 0, NULL},
      {"real-binary/ca-DOSWU.SIG", "", false, "C96C0C7DBACED067", 0x00, 750048366, NULL},
      {"real-armour/pgpsign-message.sig", "", false, "FC81350756E8F739", 0x01, 912074958,
       "2.6.2"},
      {"gpg/plain.txt.clearsig.asc", "", false, "D710B80C48AE0BE6", 0x01, 1796747044, NULL},
  };
  for (const auto &c : cases) {
    bool found;
    bytes b = sample(c.file, &found);
    SKIP_WITHOUT_CORPUS(found);
    material m;
    read(b, &m);
    EXPECT_FALSE(m.incomplete) << c.file;
    std::string ids;
    for (int i = 0; i < m.recipient_count; i++)
      ids += hex64(m.recipients[i]);
    EXPECT_EQ(ids, c.recipients) << c.file;
    EXPECT_EQ(m.passphrase, c.passphrase) << c.file;
    if (*c.signer != '\0') {
      ASSERT_GE(m.signature_count, 1) << c.file;
      EXPECT_EQ(hex64(m.signatures[0].signer), c.signer) << c.file;
      EXPECT_EQ(m.signatures[0].type, c.type) << c.file;
      EXPECT_EQ(m.signatures[0].created, c.created) << c.file;
    }
    EXPECT_EQ(m.has_version, c.version != NULL) << c.file;
    if (c.version != NULL) {
      EXPECT_EQ(std::string((const char *)m.version.bytes, m.version.length), c.version);
    }
  }
}

TEST(Material, ArmourHeaders) {
  const char *in =
      "\xE9t\xE9 before\n-----BEGIN PGP SIGNATURE-----\nVersion: 2.6.3i\nComment: a long "
      "comment that goes on past the bytes the record keeps of a header's value, and on\n"
      "Comment: second\n\niQ==\n-----END PGP SIGNATURE-----\n";
  material m;
  read(text(in, strlen(in)), &m);
  EXPECT_TRUE(m.armoured);
  EXPECT_EQ(std::string((const char *)m.version.bytes, m.version.length), "2.6.3i");
  EXPECT_EQ(m.comment.length, MATERIAL_HEADER_BYTES);
  EXPECT_TRUE(m.comment.cut);
  EXPECT_EQ(m.comment.bytes[0], 'a');
  EXPECT_TRUE(m.incomplete);  // one byte of a packet header, no more
}

}  // namespace
