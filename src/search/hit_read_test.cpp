// The reading of a hit through its window: the same digest and the same
// material whatever pieces the bytes come in, for chains longer than the
// window, data skipped, and packets the window cannot hold.
#include "search/hit_read.h"

#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

typedef std::vector<uint8_t> bytes;

bytes packet(int tag, const bytes &body) {  // old format, four-byte length
  size_t n = body.size();
  bytes p(5 + n);
  p[0] = (uint8_t)(0x82 | tag << 2);
  for (int i = 1; i < 5; i++)
    p[i] = (uint8_t)(n >> (32 - 8 * i));
  std::copy(body.begin(), body.end(), p.begin() + 5);
  return p;
}

bytes &operator+=(bytes &a, const bytes &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// count version 3 RSA keys with a user ID each, every key ID its own.
bytes ring(int count) {
  bytes out;
  for (int i = 0; i < count; i++) {
    out += packet(6, {3, 0x30, 0, 0, 0, 0, 0, 1, 0, 64, 0xC1, 2, 3, 4, (uint8_t)(i >> 16),
                      (uint8_t)(i >> 8), (uint8_t)i, 9, 0, 5, 0x11});
    out += packet(13, bytes(20, 'u'));
  }
  return out;
}

const bytes signature = packet(2, {3, 5, 0, 0x30, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 1, 1, 0xAB,
                                   0xCD, 0, 1, 1});

struct counts {
  int keys = 0, user_ids = 0, signatures = 0;
};

const material_sink counting = {
    nullptr,
    [](void *c, const material_key *, const material_key *) { ((counts *)c)->keys++; },
    [](void *c, const material_key *, const uint8_t *, long) { ((counts *)c)->user_ids++; },
    [](void *c, const material_signature *) { ((counts *)c)->signatures++; },
    nullptr,
};

TEST(HitRead, AnyPiecesGiveTheWholeDigestAndMaterial) {
  bytes big_key = packet(6, {3, 0x30, 0, 0, 0, 0, 0, 1, 0, 64, 0xC1, 2, 3, 4, 5, 6, 7, 8, 0, 5,
                             0x11});
  big_key.resize(big_key.size() + (2 << 20));  // junk after the fields: 2 MiB, past the window
  big_key[1] = 0, big_key[2] = 0x20, big_key[3] = 0, big_key[4] = 21;  // the length says so
  bytes literal = packet(11, bytes(3 << 20, 'L'));
  literal += signature;
  bytes cut = ring(3);
  cut.resize(cut.size() - 5);
  struct {
    const char *name;
    bytes in;
    int keys, user_ids, signatures;
    bool incomplete;
  } cases[] = {
      {"a small ring", ring(5), 5, 5, 0, false},
      {"a ring past the window", ring(40000), 40000, 40000, 0, false},
      {"a signature after 3 MiB of data", literal, 0, 0, 1, false},
      {"a key larger than the window", big_key, 1, 0, 0, true},
      {"a ring cut short", cut, 3, 3, 0, true},  // the last user ID as far as it goes
  };
  for (const auto &c : cases) {
    plat_digest d;
    ASSERT_TRUE(plat_digest_init(&d, PLAT_DIGEST_SHA256));
    plat_digest_update(&d, c.in.data(), c.in.size());
    uint8_t want[32];
    plat_digest_final(&d, want, sizeof want);
    for (size_t piece : {(size_t)1000, (size_t)65536, c.in.size()}) {
      counts n;
      material_sink sink = counting;
      sink.context = &n;
      hit_read_begin(true, true, &sink);
      for (size_t at = 0; at < c.in.size(); at += piece)
        hit_read_take(c.in.data() + at, std::min(piece, c.in.size() - at));
      hit_facts f;
      hit_read_end(true, &f);
      std::string what = std::string(c.name) + ", pieces of " + std::to_string(piece);
      EXPECT_TRUE(f.has_size && f.has_sha256) << what;
      EXPECT_EQ(f.size, (int64_t)c.in.size()) << what;
      EXPECT_EQ(memcmp(f.sha256, want, 32), 0) << what;
      EXPECT_EQ(n.keys, c.keys) << what;
      EXPECT_EQ(n.user_ids, c.user_ids) << what;
      EXPECT_EQ(n.signatures, c.signatures) << what;
      ASSERT_NE(f.m, nullptr);
      EXPECT_EQ(f.m->incomplete, c.incomplete) << what;
      EXPECT_EQ(f.m->key_count, std::min(c.keys, (int)MATERIAL_KEYS_MAX)) << what;
      EXPECT_EQ(f.m->keys_left_out, c.keys > MATERIAL_KEYS_MAX) << what;
    }
  }
}

}  // namespace
