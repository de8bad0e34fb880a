// Digests through the CryptoAPI of advapi32: one verify-only provider for
// the process, a hash object per digest, its handle kept in the state.
#include <windows.h>
#include <wincrypt.h>

#include <string.h>

#include "platform/platform.h"

static_assert(sizeof(HCRYPTHASH) <= sizeof(plat_digest::state), "hash handle");

// The provider, acquired on first use; a thread that loses the race to
// store it gives its own back.
static PVOID volatile provider = NULL;

static HCRYPTPROV get_provider(void) {
  PVOID held = InterlockedCompareExchangePointer(&provider, NULL, NULL);
  if (held != NULL)
    return (HCRYPTPROV)held;
  HCRYPTPROV p = 0;
  if (!CryptAcquireContextA(&p, NULL, NULL, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
    return 0;
  held = InterlockedCompareExchangePointer(&provider, (PVOID)p, NULL);
  if (held != NULL) {
    CryptReleaseContext(p, 0);
    return (HCRYPTPROV)held;
  }
  return p;
}

static HCRYPTHASH *hash_of(struct plat_digest *d) { return (HCRYPTHASH *)d->state.bytes; }

bool plat_digest_init(struct plat_digest *d, int algo) {
  d->algo = 0;
  d->failed = false;
  ALG_ID id;
  switch (algo) {
    case PLAT_DIGEST_MD5: id = CALG_MD5; break;
    case PLAT_DIGEST_SHA1: id = CALG_SHA1; break;
    case PLAT_DIGEST_SHA256: id = CALG_SHA_256; break;
    default: return false;
  }
  HCRYPTPROV p = get_provider();
  HCRYPTHASH h = 0;
  if (p == 0 || !CryptCreateHash(p, id, 0, 0, &h))
    return false;
  memcpy(d->state.bytes, &h, sizeof h);
  d->algo = algo;
  return true;
}

void plat_digest_update(struct plat_digest *d, const void *bytes, size_t n) {
  const BYTE *b = (const BYTE *)bytes;
  while (d->algo != 0 && !d->failed && n > 0) {
    DWORD piece = n > 0x40000000 ? 0x40000000 : (DWORD)n;
    if (!CryptHashData(*hash_of(d), b, piece, 0))
      d->failed = true;
    b += piece;
    n -= piece;
  }
}

size_t plat_digest_final(struct plat_digest *d, uint8_t *out, size_t size) {
  if (d->algo == 0)
    return 0;
  HCRYPTHASH h = *hash_of(d);
  static const DWORD lengths[] = {0, 16, 20, 32};
  DWORD length = lengths[d->algo];
  bool ok = !d->failed && size >= length &&
            CryptGetHashParam(h, HP_HASHVAL, out, &length, 0) && length == lengths[d->algo];
  CryptDestroyHash(h);
  d->algo = 0;
  return ok ? length : 0;
}
