// JSON Lines and CSV: the run, its hits with their material, its summary.
#include "log/report.h"

#include <string.h>

#include "log/banner.h"
#include "log/records.h"
#include "run/globals.h"

static void json_text(FILE *f, const char *s) { json_string(f, s, strlen(s)); }

// A string of the program's own (no escapes needed), or null.
static void json_plain(FILE *f, bool has, const char *text) {
  if (has)
    fprintf(f, "\"%s\"", text);
  else
    fputs("null", f);
}

static void json_time(FILE *f, bool has, long long seconds) {
  char when[24];
  iso_time(seconds, when, sizeof when);
  json_plain(f, has, when);
}

static void json_key_id(FILE *f, bool has, uint64_t id) {
  char text[17];
  key_id_text(id, text, sizeof text);
  json_plain(f, has, text);
}

static const char *truth(bool b) { return b ? "true" : "false"; }

static bool started = false;

bool report_started(void) { return started; }

void report_start(int form, int argc, char **argv) {
  FILE *f = g_hit_stream;
  started = form != REPORT_LINES;
  if (form == REPORT_CSV) {
    fputs("path,container,member,kind,confirmed,size,modified,sha256,key_ids,user_ids,signers,"
          "recipients" PLAT_CRLF,
          f);
    return;
  }
  if (form != REPORT_JSON)
    return;
  char version[VERSION_STAMP_SIZE];
  version_text(version, sizeof version);
  fputs("{\"type\":\"run\",\"started\":", f);
  json_time(f, true, (long long)g_start_time);
  fputc(',', f);
  json_names(f, "command", argv, argc);
  fputs(",\"version\":", f);
  json_text(f, version);
  fputs("}\n", f);
}

// ---------------------------------------------------------------- JSON

static void json_key(FILE *f, const material_key *k) {
  fputs("{\"key_id\":", f);
  json_key_id(f, k->has_id, k->key_id);
  fputs(",\"fingerprint\":", f);
  if (k->has_id) {
    fputc('"', f);
    for (int i = 0; i < k->fingerprint_size; i++)
      fprintf(f, "%02X", k->fingerprint[i]);
    fputc('"', f);
  } else {
    fputs("null", f);
  }
  const char *name = algorithm_name(k->algo);
  fprintf(f, ",\"version\":%u,\"algorithm\":%u,\"algorithm_name\":", k->version, k->algo);
  if (name != NULL)
    json_text(f, name);
  else
    fputs("null", f);
  fprintf(f, ",\"bits\":%u,\"created\":", k->bits);
  json_time(f, true, k->created);
  fprintf(f, ",\"secret\":%s,\"subkey\":%s,\"user_ids\":[", truth(k->secret), truth(k->subkey));
  for (int i = 0; i < k->user_id_count; i++) {
    if (i > 0)
      fputc(',', f);
    json_string(f, (const char *)k->user_ids[i].bytes, k->user_ids[i].length);
  }
  fprintf(f, "],\"user_ids_left_out\":%s}", truth(k->user_ids_left_out));
}

static void json_header(FILE *f, bool has, const material_bytes_header *h) {
  if (has)
    json_string(f, (const char *)h->bytes, h->length);
  else
    fputs("null", f);
}

static void json_material(FILE *f, const material *m) {
  fputs("{\"keys\":[", f);
  for (int i = 0; i < m->key_count; i++) {
    if (i > 0)
      fputc(',', f);
    json_key(f, &m->keys[i]);
  }
  fprintf(f, "],\"keys_left_out\":%s,\"recipients\":[", truth(m->keys_left_out));
  for (int i = 0; i < m->recipient_count; i++) {
    if (i > 0)
      fputc(',', f);
    json_key_id(f, true, m->recipients[i]);
  }
  fprintf(f, "],\"recipients_left_out\":%s,\"passphrase\":%s,\"signatures\":[",
          truth(m->recipients_left_out), truth(m->passphrase));
  for (int i = 0; i < m->signature_count; i++) {
    const material_signature *s = &m->signatures[i];
    fputs(i > 0 ? ",{\"signer\":" : "{\"signer\":", f);
    json_key_id(f, s->has_signer, s->signer);
    fprintf(f, ",\"version\":%u,\"type\":%u,\"algorithm\":%u,\"created\":", s->version, s->type,
            s->algo);
    json_time(f, s->created != 0, s->created);
    fputc('}', f);
  }
  fprintf(f, "],\"signatures_left_out\":%s,\"armour\":", truth(m->signatures_left_out));
  if (m->armoured) {
    fputs("{\"version\":", f);
    json_header(f, m->has_version, &m->version);
    fputs(",\"comment\":", f);
    json_header(f, m->has_comment, &m->comment);
    fputc('}', f);
  } else {
    fputs("null", f);
  }
  fprintf(f, ",\"incomplete\":%s}", truth(m->incomplete));
}

static void json_hit(FILE *f, const struct hit_record *h) {
  const struct hit_facts *x = h->facts;
  fputs("{\"type\":\"hit\",", f);
  json_name(f, "path", h->path, strlen(h->path));
  fputc(',', f);
  json_names(f, "containers", h->container, h->containers);
  fputc(',', f);
  if (h->member != NULL)
    json_name(f, "member", h->member, strlen(h->member));
  else
    fputs("\"member\":null", f);
  fputs(",\"kind\":\"", f);
  fputs(h->kind, f);  // the program's own words
  fputs(h->suffix, f);
  fprintf(f, "\",\"confirmed\":%s,\"size\":", truth(h->confirmed));
  if (x->has_size)
    fprintf(f, "%lld", (long long)x->size);
  else
    fputs("null", f);
  fputs(",\"modified\":", f);
  json_time(f, h->has_mtime, h->mtime);
  fputs(",\"sha256\":", f);
  if (x->has_sha256) {
    fputc('"', f);
    for (int i = 0; i < 32; i++)
      fprintf(f, "%02x", x->sha256[i]);
    fputc('"', f);
  } else {
    fputs("null", f);
  }
  fputs(",\"material\":", f);
  if (x->m != NULL)
    json_material(f, x->m);
  else
    fputs("null", f);
  fputs("}\n", f);
}

// ----------------------------------------------------------------- CSV

enum { CELL = 32 * 1024 };

// A cell's text, built up to its fixed size.
struct cell {
  char text[CELL];
  size_t len;
};

static void add(cell *c, const char *s, size_t n) {
  if (n > CELL - c->len)
    n = CELL - c->len;
  memcpy(c->text + c->len, s, n);
  c->len += n;
}

static void add_id(cell *c, uint64_t id) {
  char text[18];
  key_id_text(id, text + (c->len > 0), sizeof text - 1);
  if (c->len > 0)
    text[0] = ' ';
  add(c, text, strlen(text));
}

static void put(FILE *f, const cell *c, bool last) {
  csv_field(f, c->text, c->len);
  fputs(last ? PLAT_CRLF : ",", f);
}

static void put_text(FILE *f, const char *s) {
  csv_field(f, s, strlen(s));
  fputc(',', f);
}

static void csv_hit(FILE *f, const struct hit_record *h) {
  static cell c;
  const struct hit_facts *x = h->facts;
  put_text(f, h->path);
  c.len = 0;
  for (int i = 0; i < h->containers; i++) {
    if (i > 0)
      add(&c, " > ", 3);
    add(&c, h->container[i], strlen(h->container[i]));
  }
  put(f, &c, false);
  put_text(f, h->member != NULL ? h->member : "");
  c.len = 0;
  add(&c, h->kind, strlen(h->kind));
  add(&c, h->suffix, strlen(h->suffix));
  put(f, &c, false);
  fprintf(f, "%s,", truth(h->confirmed));
  if (x->has_size)
    fprintf(f, "%lld", (long long)x->size);
  fputc(',', f);
  if (h->has_mtime) {
    char when[24];
    iso_time(h->mtime, when, sizeof when);
    fputs(when, f);
  }
  fputc(',', f);
  for (int i = 0; x->has_sha256 && i < 32; i++)
    fprintf(f, "%02x", x->sha256[i]);
  fputc(',', f);
  const material *m = x->m;
  if (m == NULL) {
    fputs(",,," PLAT_CRLF, f);
    return;
  }
  c.len = 0;
  for (int i = 0; i < m->key_count; i++)
    if (m->keys[i].has_id)
      add_id(&c, m->keys[i].key_id);
  put(f, &c, false);
  c.len = 0;
  for (int i = 0; i < m->key_count; i++)
    for (int j = 0; j < m->keys[i].user_id_count; j++) {
      if (c.len > 0)
        add(&c, "; ", 2);
      add(&c, (const char *)m->keys[i].user_ids[j].bytes, m->keys[i].user_ids[j].length);
    }
  put(f, &c, false);
  c.len = 0;
  for (int i = 0; i < m->signature_count; i++) {
    const material_signature *s = &m->signatures[i];
    bool again = false;  // a signer is named once
    for (int j = 0; j < i && !again; j++)
      again = m->signatures[j].has_signer && m->signatures[j].signer == s->signer;
    if (s->has_signer && !again)
      add_id(&c, s->signer);
  }
  put(f, &c, false);
  c.len = 0;
  for (int i = 0; i < m->recipient_count; i++)
    add_id(&c, m->recipients[i]);
  put(f, &c, true);
}

void report_hit(int form, const struct hit_record *h) {
  if (form == REPORT_JSON)
    json_hit(g_hit_stream, h);
  else if (form == REPORT_CSV)
    csv_hit(g_hit_stream, h);
}

void report_summary(FILE *f, long long elapsed, const char *termination, int status) {
  fprintf(f, "{\"type\":\"summary\",\"files_searched\":%ld,\"hits\":%ld,\"elapsed_seconds\":%lld,",
          (long)g_files_searched, (long)g_hits_found, elapsed);
  fputs("\"termination\":", f);
  json_text(f, termination);
  fprintf(f, ",\"status\":%d}\n", status);
}
