// Digests through nettle: its context records live in the digest's state.
#include <nettle/md5.h>
#include <nettle/sha1.h>
#include <nettle/sha2.h>

#include "platform/platform.h"

static_assert(sizeof(md5_ctx) <= sizeof(plat_digest::state), "md5 state");
static_assert(sizeof(sha1_ctx) <= sizeof(plat_digest::state), "sha1 state");
static_assert(sizeof(sha256_ctx) <= sizeof(plat_digest::state), "sha256 state");

bool plat_digest_init(struct plat_digest *d, int algo) {
  d->algo = 0;
  d->failed = false;
  void *ctx = d->state.bytes;
  switch (algo) {
    case PLAT_DIGEST_MD5:
      md5_init((md5_ctx *)ctx);
      break;
    case PLAT_DIGEST_SHA1:
      sha1_init((sha1_ctx *)ctx);
      break;
    case PLAT_DIGEST_SHA256:
      sha256_init((sha256_ctx *)ctx);
      break;
    default:
      return false;
  }
  d->algo = algo;
  return true;
}

void plat_digest_update(struct plat_digest *d, const void *bytes, size_t n) {
  void *ctx = d->state.bytes;
  const uint8_t *b = (const uint8_t *)bytes;
  if (n == 0)
    return;
  switch (d->algo) {
    case PLAT_DIGEST_MD5:
      md5_update((md5_ctx *)ctx, n, b);
      break;
    case PLAT_DIGEST_SHA1:
      sha1_update((sha1_ctx *)ctx, n, b);
      break;
    case PLAT_DIGEST_SHA256:
      sha256_update((sha256_ctx *)ctx, n, b);
      break;
    default:
      break;
  }
}

size_t plat_digest_final(struct plat_digest *d, uint8_t *out, size_t size) {
  void *ctx = d->state.bytes;
  static const size_t lengths[] = {0, MD5_DIGEST_SIZE, SHA1_DIGEST_SIZE, SHA256_DIGEST_SIZE};
  int algo = d->algo;
  d->algo = 0;
  if (algo < PLAT_DIGEST_MD5 || algo > PLAT_DIGEST_SHA256 || d->failed || size < lengths[algo])
    return 0;
  switch (algo) {
    case PLAT_DIGEST_MD5:
      md5_digest((md5_ctx *)ctx, MD5_DIGEST_SIZE, out);
      break;
    case PLAT_DIGEST_SHA1:
      sha1_digest((sha1_ctx *)ctx, SHA1_DIGEST_SIZE, out);
      break;
    default:
      sha256_digest((sha256_ctx *)ctx, SHA256_DIGEST_SIZE, out);
      break;
  }
  return lengths[algo];
}
