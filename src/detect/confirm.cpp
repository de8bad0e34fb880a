// The confirming mode: the kind texts and the decision on bytes in memory.
#include "detect/confirm.h"

#include <stddef.h>

#include "detect/armour.h"
#include "detect/packets.h"

const char *const g_confirm_kinds[CONFIRM_KINDS] = {
    "",
    "public key certificate",
    "secret key certificate",
    "signature",
    "signed message",
    "one-pass signed message",
    "encrypted",
    "conventional key encryption",
    "compressed data",
    "literal data",
    "ascii armored key",
    "ascii armored signature",
    "ascii armored message",
    "clear-signed message",
    "ascii armored file",
};

static const unsigned char chain_kinds[] = {
    CONFIRM_NONE,         CONFIRM_PUBLIC_KEY,   CONFIRM_SECRET_KEY,
    CONFIRM_SIGNATURE,    CONFIRM_SIGNED,       CONFIRM_ONE_PASS,
    CONFIRM_PK_ENCRYPTED, CONFIRM_CONVENTIONAL, CONFIRM_COMPRESSED,
    CONFIRM_LITERAL,
};

static const unsigned char armour_kinds[] = {
    CONFIRM_NONE,          CONFIRM_ARMOURED_KEY,  CONFIRM_ARMOURED_SIGNATURE,
    CONFIRM_ARMOURED_MESSAGE, CONFIRM_CLEAR_SIGNED, CONFIRM_ARMOURED_FILE,
};

int confirm_buffer(const uint8_t *bytes, long n, bool may_be_cut, uint8_t *scratch,
                   long scratch_size, bool *wants_more) {
  bool past = false;
  int kind = CONFIRM_NONE;
  if (n > 0 && bytes[0] >= 0x80) {
    int chain = parse_packet_chain(bytes, n, may_be_cut, &past);
    kind = chain_kinds[chain];
  }
  if (kind == CONFIRM_NONE)
    kind = armour_kinds[find_armour(bytes, n, may_be_cut, scratch, scratch_size, &past)];
  if (wants_more != NULL)
    *wants_more = past;
  return kind;
}

int confirm_armour_kind(int material) {
  return armour_kinds[material];
}
