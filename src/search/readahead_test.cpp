// The read-ahead ring against a walk of its own: however the reads are
// shared out (the consumer, the readers, no thread at all), every event
// comes out once, in the order it was made, each file with its own bytes,
// and no descriptor is left open.
#include "search/readahead.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run/globals.h"
#include "run_state.h"
#include "temp_tree.h"

namespace {

// More files than the ring holds, a line before every tenth.
const int kFiles = 600;

struct walk {
  const temp_tree *tree;
  std::vector<std::string> seen;  // "line N", or "file N:" and its bytes
  int own_reads = 0;              // files read into g_inbuf: by the consumer itself
};

std::string content(int i) {
  return "file " + std::to_string(i) + std::string((size_t)i % 50, '.');
}

void produce(void *arg) {
  const walk *w = (const walk *)arg;
  for (int i = 0; i < kFiles; i++) {
    struct ra_event *e = ra_claim();
    if (e == NULL)
      return;
    if (i % 10 == 0) {
      e->kind = RA_LINE;
      snprintf(e->text, PATH_BUF + PLAT_NAME_MAX, "line %d", i);
      ra_publish(e);
      if ((e = ra_claim()) == NULL)
        return;
    }
    e->kind = RA_FILE;
    snprintf(e->text, PATH_BUF + PLAT_NAME_MAX, "%s", w->tree->path(std::to_string(i)).c_str());
    e->file.dir = PLAT_NO_DIR;
    e->file.regular = 1;
    e->file.archive_only = 0;
    ra_publish(e);
  }
}

walk *current;

// Sets NAME=VALUE in the environment for good (putenv keeps the string).
void set_env(const std::string &setting) {
  putenv(strdup(setting.c_str()));
}

// What NAME=... is now, "" standing for unset, to be set again later.
std::string env_setting(const char *name) {
  const char *v = getenv(name);
  return std::string(name) + "=" + (v != nullptr ? v : "");
}

void consume(struct ra_event *e) {
  if (e->kind != RA_FILE) {
    current->seen.push_back(e->text);
    return;
  }
  std::string name = e->file.path;
  name = name.substr(name.find_last_of(PLAT_SEP) + 1);
  std::string got = "file " + name + ":";
  if (e->file.outcome == CAND_OPENED && e->file.n >= 0)
    got.append((const char *)e->file.data, (size_t)e->file.n);
  current->seen.push_back(got);
  current->own_reads += e->file.data == g_inbuf;
  discard_candidate(&e->file);
}

TEST(ReadAhead, EveryEventOnceInOrderHoweverTheReadsAreShared) {
  reset_run_state();
  temp_tree t;
  std::vector<std::string> want;
  for (int i = 0; i < kFiles; i++) {
    t.write(std::to_string(i), content(i));
    if (i % 10 == 0)
      want.push_back("line " + std::to_string(i));
    want.push_back("file " + std::to_string(i) + ":" + content(i));
  }
  const std::string slow_before = env_setting("KIVOR_READS_SLOW");
  const std::string readers_before = env_setting("KIVOR_READERS");
  set_env("KIVOR_READS_SLOW=");  // the cache's quick reads, unless marked
  struct {
    const char *what;
    const char *readers;
    ra_test_settings settings;
    int own_reads;  // -1: some, not all
  } cases[] = {
      // A slow read of the consumer's own ends its run and hands the rest
      // back; the readers, woken, read ahead.
      {"the consumer's reads slow", "KIVOR_READERS=16", {1, -1, 0}, -1},
      {"no thread can start", "KIVOR_READERS=16", {0, 0, 1}, kFiles},
      {"readers start, the walk's thread not", "KIVOR_READERS=16", {1, 3, 1}, kFiles},
      {"the walk's thread starts, no reader", "KIVOR_READERS=16", {1, 0, 0}, kFiles},
      {"one reader: no thread at all", "KIVOR_READERS=1", {0, -1, 0}, kFiles},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(c.what);
    set_env(c.readers);
    ra_test = c.settings;
    walk w{&t, {}, 0};
    current = &w;
    int spare = plat_descriptors_spare();
    ra_run(produce, &w, consume, nullptr);
    EXPECT_EQ(plat_descriptors_spare(), spare);
    size_t at = 0;
    while (at < w.seen.size() && at < want.size() && w.seen[at] == want[at])
      at++;
    EXPECT_TRUE(w.seen == want) << "first difference at event " << at;
    if (c.own_reads < 0)
      EXPECT_GT(w.own_reads, 0);
    else
      EXPECT_EQ(w.own_reads, c.own_reads);
  }
  ra_test = {0, -1, 0};
  set_env(readers_before);
  set_env(slow_before);
}

TEST(ReadAhead, ReaderCountFromTheEnvironment) {
  struct {
    const char *setting;
    int readers;
  } cases[] = {
      {"KIVOR_READERS=", 16},   {"KIVOR_READERS=1", 1},  {"KIVOR_READERS=64", 64},
      {"KIVOR_READERS=0", 16},  {"KIVOR_READERS=65", 16}, {"KIVOR_READERS=-4", 16},
      {"KIVOR_READERS=8x", 16}, {"KIVOR_READERS=x8", 16},
  };
  const std::string before = env_setting("KIVOR_READERS");
  for (auto &c : cases) {
    set_env(c.setting);
    EXPECT_EQ(ra_reader_count(), c.readers) << c.setting;
  }
  set_env(before);
}

}  // namespace
