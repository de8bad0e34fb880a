// The read-ahead ring against a walk of its own: however the reads are
// shared out (the consumer, the readers, no thread at all), every event
// comes out once, in the order it was made, each file with its own bytes,
// and no descriptor is left open.
#include "search/readahead.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <array>
#include <map>
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

// Sets name to value ("" standing for unset) in the environment.  POSIX's
// putenv keeps the very buffer it is given: each name has one for good.
void set_env(const std::string &name, const std::string &value) {
  static auto *kept = new std::map<std::string, std::array<char, 64>>;
  std::array<char, 64> &buf = (*kept)[name];
  snprintf(buf.data(), buf.size(), "%s=%s", name.c_str(), value.c_str());
  putenv(buf.data());
}

std::string env_value(const char *name) {
  const char *v = getenv(name);
  return v != nullptr ? v : "";
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
  const std::string slow_before = env_value("KIVOR_READS_SLOW");
  const std::string readers_before = env_value("KIVOR_READERS");
  set_env("KIVOR_READS_SLOW", "");  // the cache's quick reads, unless marked
  struct {
    const char *what;
    const char *readers;
    ra_test_settings settings;
    int own_reads;  // -1: some, not all
  } cases[] = {
      // A slow read of the consumer's own ends its run and hands the rest
      // back; the readers, woken, read ahead.
      {"the consumer's reads slow", "16", {1, -1, 0}, -1},
      {"no thread can start", "16", {0, 0, 1}, kFiles},
      {"readers start, the walk's thread not", "16", {1, 3, 1}, kFiles},
      {"the walk's thread starts, no reader", "16", {1, 0, 0}, kFiles},
      {"one reader: no thread at all", "1", {0, -1, 0}, kFiles},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(c.what);
    set_env("KIVOR_READERS", c.readers);
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
  set_env("KIVOR_READERS", readers_before);
  set_env("KIVOR_READS_SLOW", slow_before);
}

TEST(ReadAhead, ReaderCountFromTheEnvironment) {
  struct {
    const char *setting;
    int readers;
  } cases[] = {
      {"", 16}, {"1", 1}, {"64", 64}, {"0", 16}, {"65", 16}, {"-4", 16}, {"8x", 16}, {"x8", 16},
  };
  const std::string before = env_value("KIVOR_READERS");
  for (auto &c : cases) {
    set_env("KIVOR_READERS", c.setting);
    EXPECT_EQ(ra_reader_count(), c.readers) << c.setting;
  }
  set_env("KIVOR_READERS", before);
}

}  // namespace
