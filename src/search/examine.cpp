// check_file: the examination of one candidate, from its open and first
// read to what is counted and said and its hit line.
#include "search/examine.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "detect/classify.h"
#include "detect/confirm.h"
#include "log/hitfile.h"
#include "log/inventory.h"
#include "log/report.h"
#include "log/shorten.h"
#include "log/shown.h"
#include "platform/ascii.h"
#include "run/abort.h"
#include "run/exit.h"
#include "run/globals.h"
#include "search/access.h"
#include "search/archive.h"
#include "search/confirm_read.h"
#include "search/hit_read.h"
#include "search/pathjoin.h"
#include "unpack/unpack.h"

// What a verdict's hit is, for the reports: a file on disk open on fh, or
// an archive member whose bytes so far the hit reading has taken.
struct subject {
  const char *display;
  const char *path;                  // a file on disk; NULL for a member
  plat_handle fh;
  const struct member_subject *member;
  struct hit_tee *tee;               // the member's bytes after those taken
};

// True when a hit is read through for the reports or the key inventory.
static bool reading_hits(void) {
  return g_settings->report != REPORT_LINES || g_settings->key_inventory;
}

// Starts reading a hit as the options want it: the digest for a report,
// the material under -c, the inventory's share of it under --keys.
static void begin_hit_reading(void) {
  hit_read_begin(g_settings->report != REPORT_LINES, g_settings->confirm != 0,
                 g_settings->key_inventory ? inventory_sink() : NULL);
}

// Reads hit s through (the reading begun already for a member) and writes
// its report, its material going to the inventory on the way.
static void read_and_report(const struct subject *s, const char *kind, const char *suffix,
                            bool confirmed) {
  const struct member_subject *ms = s->member;
  const char *place = ms != NULL ? ms->place : s->path;
  bool keys = g_settings->key_inventory != 0;
  if (keys)
    inventory_begin_hit(place, strlen(place));
  int got;
  if (ms == NULL) {
    begin_hit_reading();
    plat_handle fh = s->fh;
    got = plat_seek(fh, 0, 0) == 0 ? hit_read_rest(read_from_handle, &fh) : -1;
  } else {
    got = s->tee->read_on != NULL ? hit_read_rest(s->tee->read_on, s->tee->source) : 1;
  }
  struct hit_facts facts;
  hit_read_end(got == 1, &facts);
  if (keys)
    inventory_end_hit();
  struct hit_record h = {};
  h.path = ms != NULL ? ms->path : s->path;
  if (ms != NULL) {
    h.containers = ms->containers;
    h.container = ms->container;
    h.member = ms->member;
    h.has_mtime = ms->has_mtime;
    h.mtime = ms->mtime;
  } else {
    h.has_mtime = plat_file_mtime(s->fh, &h.mtime);
  }
  h.kind = kind;
  h.suffix = suffix;
  h.confirmed = confirmed;
  h.facts = &facts;
  report_hit(g_settings->report, &h);
}

// Writes one hit line (the name in its field, a blank, the kind and its
// suffix) or the reports' record; a failed write ends the run.
static void write_hit(const struct subject *s, const char *kind, const char *suffix,
                      bool confirmed) {
  if (reading_hits())
    read_and_report(s, kind, suffix, confirmed);
  if (g_settings->report == REPORT_LINES) {
    fprint_name_field(g_hit_stream, s->display, g_settings->name_width);
    fprintf(g_hit_stream, " %s%s\n", kind, suffix);
  }
  check_hit_stream(0);
  g_hits_found++;
}

// The hit line of the first-byte test, for the n bytes at b.  True when it
// is a hit.
static bool report_class(const struct subject *s, const unsigned char *b, long n) {
  struct file_class c = classify_bytes(b, n);
  if (c.kind != NULL)
    write_hit(s, c.kind, c.suffix, false);
  return c.kind != NULL;
}

// The hit line of -c, for a confirmed kind; armour past what -c reads on
// through is reported as the first n bytes at b make it.
static bool report_confirmed(const struct subject *s, int kind, const unsigned char *b, long n) {
  if (kind == CONFIRM_PAST_LIMIT)
    return report_class(s, b, n);
  if (kind != CONFIRM_NONE)
    write_hit(s, g_confirm_kinds[kind], "", true);
  return kind != CONFIRM_NONE;
}

// The verdict on a file on disk open as fh, whose first n bytes are at b
// and whose -c kind is kind.
static void report_file(const char *display, const char *path, plat_handle fh, int kind,
                        const unsigned char *b, long n) {
  struct subject s = {display, path, fh, NULL, NULL};
  if (g_settings->confirm)
    report_confirmed(&s, kind, b, n);
  else
    report_class(&s, b, n);
}

bool is_com_file(const char *path) {
  const char *last = strrchr(path, PLAT_SEP);
  const char *dot = strrchr(last != NULL ? last : path, '.');
  return dot != NULL && ascii_equal_upper(dot, ".COM");
}

void open_candidate(struct candidate *c) {
  c->fh = PLAT_INVALID_HANDLE;
  c->n = -1;
  c->read_errno = 0;
  c->open_errno = 0;
  const char *path = c->path;
  if (strlen(path) >= PATH_BUF) {
    c->outcome = CAND_TOO_LONG;
    return;
  }
  if (g_hit_file_name[0] != '\0' && plat_path_compare(path, g_hit_file_name) == 0) {
    c->outcome = CAND_HIT_NAME;
    return;
  }
  // Where the lookup and the open read a name alike, the lookup is made
  // only when the open fails: a file that is gone is passed over in
  // silence, one that is there but will not open is named.
  // A .COM file is not opened, so it is looked up on every platform.
  bool com = g_settings->skip_com && is_com_file(path);
  if ((PLAT_NAMES_BY_MODE || com) && !candidate_exists(c->dir, path)) {
    c->outcome = CAND_MISSING;
    return;
  }
  if (com) {
    c->outcome = CAND_COM;
    return;
  }
  errno = 0;
  plat_handle fh = open_for_reading(c->dir, path, c->regular, &c->id);
  if (fh == PLAT_INVALID_HANDLE && (errno == EMFILE || errno == ENFILE)) {
    // Out of descriptors: nothing is wrong with the file, and a lookup
    // or another attempt would fail alike.
    c->open_errno = errno;
    c->outcome = CAND_UNOPENED;
    return;
  }
  if (fh == PLAT_INVALID_HANDLE) {
    if (!PLAT_NAMES_BY_MODE && !candidate_exists(c->dir, path)) {
      c->outcome = CAND_MISSING;
      return;
    }
    fh = open_for_reading_again(c->dir, path, &c->id);
    if (fh == PLAT_INVALID_HANDLE) {
      c->outcome = CAND_UNOPENED;
      return;
    }
  }
  c->fh = fh;
  c->outcome = CAND_OPENED;
  c->n = read_bytes(fh, c->data, READ_SIZE);
  if (c->n < 0)
    c->read_errno = errno;
}

void discard_candidate(struct candidate *c) {
  if (c->fh != PLAT_INVALID_HANDLE)
    plat_close(c->fh);
  c->fh = PLAT_INVALID_HANDLE;
}

// -a: c, a file named like an archive that no pattern matches, searched as
// an archive only: not counted, and not judged when it is none.
static void open_as_archive_only(struct candidate *c) {
  if (c->outcome == CAND_UNOPENED) {
    fprintf(stderr, "couldn't open %s\n", shown_name(c->path));
    return;
  }
  if (c->outcome == CAND_OPENED && !is_hit_id(&c->id)) {
    if (c->n < 0) {
      fprintf(stderr, "couldn't read %s: %s\n", shown_name(c->path), strerror(c->read_errno));
    } else {
      search_archive(c->fh, c->path, c->data, c->n, c->id.size);
    }
  }
  discard_candidate(c);
}

void examine_candidate(struct candidate *c) {
  const char *path = c->path;
  switch (c->outcome) {
    case CAND_TOO_LONG:
      say_path_too_long(path, "");
      return;
    case CAND_HIT_NAME:
    case CAND_MISSING:
      return;
    default:
      break;
  }
  if (abort_key_pressed()) {
    discard_candidate(c);
    exit_program(USER_ABORTED);
  }
  if (c->archive_only) {
    open_as_archive_only(c);
    return;
  }
  size_t len = strlen(path);
  memcpy(pg_complete_path, path, len + 1);
  memcpy(pg_check_path, path, len + 1);

  const char *display = display_name(shown_form(pg_check_path));

  if (c->outcome == CAND_COM) {
    g_files_searched++;
    return;
  }
  // The hit file reached by another name (a link) is passed over like the
  // hit file itself: known by the identity that the open has read.
  if (c->outcome == CAND_OPENED && is_hit_id(&c->id)) {
    discard_candidate(c);
    return;
  }
  g_files_searched++;
  if (c->outcome == CAND_UNOPENED) {
    fprintf(stderr, "couldn't open %s\n", shown_name(pg_check_path));
    return;
  }
  long n = c->n;
  int kind = CONFIRM_NONE;
  bool archive = false;
  if (n < 0)
    fprintf(stderr, "couldn't read %s: %s\n", shown_name(pg_check_path), strerror(c->read_errno));
  if (g_settings->search_archives && n >= 0 && unpack_text_around(c->data, n)) {
    // -a: a mail that carries a BinHex attachment is judged as the file it
    // is, then searched for the attachment's member.
    int kind = g_settings->confirm ? read_and_confirm(c->fh, c->data, n) : CONFIRM_NONE;
    report_file(display, pg_check_path, c->fh, kind, c->data, n);
    search_archive(c->fh, pg_check_path, c->data, n, c->id.size);
    discard_candidate(c);
    return;
  }
  if (g_settings->search_archives && n >= 0) {
    // -a: the first bytes tell whether it is an archive; an archive's own
    // bytes are not judged, its members are.  The reader moves the file's
    // position: -c reads on from n again.
    archive = search_archive(c->fh, pg_check_path, c->data, n, c->id.size);
    if (!archive && g_settings->confirm && plat_seek(c->fh, n, 0) != n)
      n = -1;
  }
  if (!archive && g_settings->confirm)  // -c: only material that parses, named as found
    kind = read_and_confirm(c->fh, c->data, n);
  if (!archive)
    report_file(display, pg_check_path, c->fh, kind, c->data, n);
  discard_candidate(c);
}

void judge_member(const char *display, long n, confirm_reader read_on, void *source,
                  const struct member_subject *ms) {
  // The reports take the member's bytes as they are read, the first n and
  // those -c reads on, to read a hit on to its end.
  struct hit_tee tee = {read_on, source};
  struct subject s = {display, NULL, PLAT_INVALID_HANDLE, ms, &tee};
  if (reading_hits()) {
    begin_hit_reading();
    hit_read_take(g_inbuf, n > 0 ? (size_t)n : 0);
    read_on = hit_read_tee;
    source = &tee;
  }
  bool hit;
  if (g_settings->confirm)
    hit = report_confirmed(&s, confirm_first_bytes(g_inbuf, n, read_on, source), g_inbuf, n);
  else
    hit = report_class(&s, g_inbuf, n);
  if (!hit && reading_hits())
    hit_read_drop();
}

void check_file(const char *directory, const char *file_name) {
  static char path[PATH_BUF + PLAT_NAME_MAX];
  if (!join_path(path, sizeof path, directory, file_name))
    return;
  struct candidate c;
  c.dir = PLAT_NO_DIR;
  c.path = path;
  c.regular = 0;
  c.archive_only = 0;
  c.data = g_inbuf;
  open_candidate(&c);
  examine_candidate(&c);
}
