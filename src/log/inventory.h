// The key inventory (--keys): every distinct key found in the run's hits,
// on disk and inside archives, with the places that hold it and the
// signatures and encrypted messages that refer to it; key IDs referred to
// whose key was never found are listed too.  Memory is bounded: a fixed
// record per distinct key ID, up to INVENTORY_KEYS_MAX of them (past that
// new IDs are not counted, and the inventory says so), and the first place
// of each kept in a store of INVENTORY_PLACES bytes.
#ifndef KIVOR_LOG_INVENTORY_H_
#define KIVOR_LOG_INVENTORY_H_

#include <stddef.h>
#include <stdio.h>

#include "detect/material.h"

enum {
  INVENTORY_KEYS_MAX = 1 << 18,
  INVENTORY_PLACES = 4 << 20,
  INVENTORY_USER_ID = 96,  // bytes kept of the first user ID
};

// The hit whose material comes next through inventory_sink: place (len
// bytes, the file and its member path) names it.  place must stay valid
// until inventory_end_hit.
void inventory_begin_hit(const char *place, size_t len);
void inventory_end_hit(void);

// What read_material gives the inventory, between the two calls above.
const material_sink *inventory_sink(void);

// The inventory as text, after the hits: a count line, then each key found
// (ID, algorithm and bits, creation date, whether a secret key was seen,
// first user ID, places and the first of them, signatures and messages
// that refer to it), then the IDs referred to but not found.
void write_inventory_text(FILE *f);

// The same as JSON Lines: one object per key ID, then one that counts.
void write_inventory_json(FILE *f);

#endif  // KIVOR_LOG_INVENTORY_H_
