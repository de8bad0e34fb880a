// The key inventory: a table of fixed records by key ID, found through an
// open-addressed index, made in blocks as keys come.
#include "log/inventory.h"

#include <stdarg.h>
#include <string.h>

#include "log/records.h"
#include "run/globals.h"
#include "run/startup.h"

enum {
  BLOCK = 4096,                       // records made at a time
  SLOTS = 2 * INVENTORY_KEYS_MAX,     // the index, never more than half full
  NO_PLACE = 0xFFFFFFFFu,
  FOUND = 1,      // the key itself was seen, not only referred to
  SECRET = 2,     // as a secret key, somewhere
  USER_ID = 4,    // user_id holds its first user ID
  USER_ID_CUT = 8,
};

struct entry {
  uint64_t key_id;
  uint32_t created;
  uint32_t places, signatures, messages;
  uint32_t place_hit, message_hit;  // the hit that counted it last
  uint32_t first_place;             // in the store, or NO_PLACE
  uint16_t bits;
  uint8_t algo;
  uint8_t flags;
  uint8_t user_id_len;
  char user_id[INVENTORY_USER_ID];
};

static entry *blocks[INVENTORY_KEYS_MAX / BLOCK];
static uint32_t *slots;      // entry number + 1, 0 when empty
static uint32_t count;       // entries made
static bool stopped;         // a key ID was not counted
static char *store;          // the first places, each ended by NUL
static size_t store_used;
static bool places_full;     // a first place was not kept
static uint32_t keys_without_id;

static uint32_t hit_serial;  // the hit under way, from 1
static const char *hit_place;
static size_t hit_place_len;
static uint32_t hit_place_at;  // where the store holds it, NO_PLACE until needed
static bool hit_place_tried;

static entry *entry_at(uint32_t i) { return &blocks[i / BLOCK][i % BLOCK]; }

static uint32_t slot_of(uint64_t id) {
  return (uint32_t)((id * 0x9E3779B97F4A7C15ull) >> 45) % SLOTS;  // 19 bits
}

// The record of id, made when new; NULL when the table is full or memory
// is short (stopped is then set).
static entry *find(uint64_t id, bool make) {
  if (slots == NULL) {
    if (!make || (slots = (uint32_t *)run_alloc(SLOTS * sizeof *slots)) == NULL)
      return NULL;
    memset(slots, 0, SLOTS * sizeof *slots);
  }
  uint32_t s = slot_of(id);
  for (; slots[s] != 0; s = (s + 1) % SLOTS)
    if (entry_at(slots[s] - 1)->key_id == id)
      return entry_at(slots[s] - 1);
  if (!make)
    return NULL;
  if (count == INVENTORY_KEYS_MAX ||
      (count % BLOCK == 0 && (blocks[count / BLOCK] = (entry *)run_alloc(BLOCK * sizeof(entry))) == NULL)) {
    stopped = true;
    return NULL;
  }
  entry *e = entry_at(count);
  memset(e, 0, sizeof *e);
  e->key_id = id;
  e->first_place = NO_PLACE;
  slots[s] = ++count;
  return e;
}

// Where the store holds the hit's place: kept there on the first call.
static uint32_t place_of_hit(void) {
  if (hit_place_tried)
    return hit_place_at;
  hit_place_tried = true;
  if (store == NULL)
    store = (char *)run_alloc(INVENTORY_PLACES);
  if (store == NULL || store_used + hit_place_len + 1 > INVENTORY_PLACES) {
    places_full = true;
    return NO_PLACE;
  }
  memcpy(store + store_used, hit_place, hit_place_len);
  store[store_used + hit_place_len] = '\0';
  hit_place_at = (uint32_t)store_used;
  store_used += hit_place_len + 1;
  return hit_place_at;
}

static void keep_user_id(entry *e, const uint8_t *b, long n) {
  size_t k = n < INVENTORY_USER_ID ? (size_t)n : (size_t)INVENTORY_USER_ID;
  memcpy(e->user_id, b, k);
  e->user_id_len = (uint8_t)k;
  e->flags |= (uint8_t)(USER_ID | (n > INVENTORY_USER_ID ? (int)USER_ID_CUT : 0));
}

static void on_key(void *, const material_key *k, const material_key *primary) {
  if (!k->has_id) {
    keys_without_id++;
    return;
  }
  entry *e = find(k->key_id, true);
  if (e == NULL)
    return;
  if (!(e->flags & FOUND)) {
    e->flags |= FOUND;
    e->algo = k->algo;
    e->bits = k->bits;
    e->created = k->created;
    e->first_place = place_of_hit();
  }
  if (k->secret)
    e->flags |= SECRET;
  if (e->place_hit != hit_serial) {
    e->place_hit = hit_serial;
    e->places++;
  }
  // A subkey goes by its primary key's first user ID, which came before it.
  entry *owner = primary != NULL && primary->has_id ? find(primary->key_id, false) : NULL;
  if (!(e->flags & USER_ID) && owner != NULL && (owner->flags & USER_ID)) {
    keep_user_id(e, (const uint8_t *)owner->user_id, owner->user_id_len);
    e->flags |= owner->flags & USER_ID_CUT;
  }
}

static void on_user_id(void *, const material_key *primary, const uint8_t *b, long n) {
  entry *e = primary->has_id ? find(primary->key_id, false) : NULL;
  if (e != NULL && !(e->flags & USER_ID))
    keep_user_id(e, b, n);
}

static void on_signature(void *, const material_signature *s) {
  entry *e = s->has_signer ? find(s->signer, true) : NULL;
  if (e != NULL)
    e->signatures++;
}

static void on_recipient(void *, uint64_t id) {
  entry *e = find(id, true);
  if (e != NULL && e->message_hit != hit_serial) {
    e->message_hit = hit_serial;
    e->messages++;
  }
}

static const material_sink sink = {NULL, on_key, on_user_id, on_signature, on_recipient};

const material_sink *inventory_sink(void) { return &sink; }

void inventory_begin_hit(const char *place, size_t len) {
  hit_serial++;
  hit_place = place;
  hit_place_len = len;
  hit_place_at = NO_PLACE;
  hit_place_tried = false;
}

void inventory_end_hit(void) { hit_place = NULL; }

// ------------------------------------------------------------ writing

static const char *plural(uint32_t n) { return n == 1 ? "" : "s"; }

// One key's lines, made whole before they are written: the hit stream may
// be unbuffered, and an inventory of many keys is written a key a call.
static struct {
  char text[WIDE_BUF + 1024];
  size_t len;
} block;

static void put(const char *format, ...) __attribute__((format(printf, 1, 2)));
static void put(const char *format, ...) {
  va_list args;
  va_start(args, format);
  size_t room = sizeof block.text - block.len;
  int n = vsnprintf(block.text + block.len, room, format, args);
  va_end(args);
  if (n > 0)
    block.len += (size_t)n < room ? (size_t)n : room - 1;
}

// The n bytes at s, control bytes as '?' as every name KIVOR shows.
static void put_shown(const char *s, size_t n) {
  for (size_t i = 0; i < n && block.len + 1 < sizeof block.text; i++) {
    unsigned char c = (unsigned char)s[i];
    block.text[block.len++] = c < 0x20 || c == 0x7F ? '?' : (char)c;
  }
}

static void put_references(const entry *e) {
  put("    %u signature%s and %u encrypted message%s refer to it\n", e->signatures,
      plural(e->signatures), e->messages, plural(e->messages));
}

static void put_key(const entry *e) {
  char id[17], when[24];
  key_id_text(e->key_id, id, sizeof id);
  if (!(e->flags & FOUND)) {
    put("%s  not found\n", id);
    put_references(e);
    return;
  }
  const char *algo = algorithm_name(e->algo);
  iso_time(e->created, when, sizeof when);
  if (algo != NULL)
    put("%s  %s", id, algo);
  else
    put("%s  algorithm %u", id, e->algo);
  if (e->bits != 0)
    put(" %u bits", e->bits);
  put(", created %.10s%s\n", when, e->flags & SECRET ? ", secret key seen" : "");
  if (e->flags & USER_ID) {
    put("    ");
    put_shown(e->user_id, e->user_id_len);
    put(e->flags & USER_ID_CUT ? "...\n" : "\n");
  }
  put("    in %u place%s, the first: ", e->places, plural(e->places));
  if (e->first_place != NO_PLACE)
    put_shown(store + e->first_place, strlen(store + e->first_place));
  else
    put("(not kept)");
  put("\n");
  put_references(e);
}

static void count_found(uint32_t *found, uint32_t *missing) {
  *found = *missing = 0;
  for (uint32_t i = 0; i < count; i++)
    (entry_at(i)->flags & FOUND ? *found : *missing) += 1;
}

void write_inventory_text(FILE *f) {
  uint32_t found, missing;
  count_found(&found, &missing);
  fprintf(f, "\nKeys: %u found, %u referred to but not found\n", found, missing);
  for (int pass = 0; pass < 2; pass++) {  // the keys found, then the others
    for (uint32_t i = 0; i < count; i++) {
      const entry *e = entry_at(i);
      if ((pass == 0) != ((e->flags & FOUND) != 0))
        continue;
      block.len = 0;
      put_key(e);
      fwrite(block.text, 1, block.len, f);
    }
  }
  if (keys_without_id > 0)
    fprintf(f, "%u key%s of an algorithm without a key ID not listed\n", keys_without_id,
            plural(keys_without_id));
  if (stopped)
    fprintf(f, "The inventory stopped counting new keys at %u key IDs\n", count);
  if (places_full)
    fputs("The first places of the later keys were not kept\n", f);
}

void write_inventory_json(FILE *f) {
  char id[17], when[24];
  for (uint32_t i = 0; i < count; i++) {
    const entry *e = entry_at(i);
    key_id_text(e->key_id, id, sizeof id);
    fprintf(f, "{\"type\":\"key\",\"key_id\":\"%s\",\"found\":%s", id,
            e->flags & FOUND ? "true" : "false");
    if (e->flags & FOUND) {
      const char *algo = algorithm_name(e->algo);
      iso_time(e->created, when, sizeof when);
      fprintf(f, ",\"algorithm\":%d", e->algo);
      fputs(",\"algorithm_name\":", f);
      if (algo != NULL)
        json_string(f, algo, strlen(algo));
      else
        fputs("null", f);
      fprintf(f, ",\"bits\":%u,\"created\":\"%s\",\"secret\":%s,\"user_id\":", e->bits, when,
              e->flags & SECRET ? "true" : "false");
      if (e->flags & USER_ID)
        json_string(f, e->user_id, e->user_id_len);
      else
        fputs("null", f);
      fprintf(f, ",\"places\":%u,", e->places);
      if (e->first_place != NO_PLACE)
        json_name(f, "first_place", store + e->first_place, strlen(store + e->first_place));
      else
        fputs("\"first_place\":null", f);
    }
    fprintf(f, ",\"signatures\":%u,\"messages\":%u}\n", e->signatures, e->messages);
  }
  uint32_t found, missing;
  count_found(&found, &missing);
  fprintf(f,
          "{\"type\":\"keys\",\"found\":%u,\"not_found\":%u,\"without_key_id\":%u,"
          "\"stopped_counting\":%s,\"first_places_kept\":%s}\n",
          found, missing, keys_without_id, stopped ? "true" : "false",
          places_full ? "false" : "true");
}
