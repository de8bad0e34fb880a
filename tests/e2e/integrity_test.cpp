// Every file is examined exactly once, in every thread setting: lookups of
// names holding '?' (as a vfat mount shows names it cannot map) made beside
// the walk's listing of their directory, and runs under an open-file limit
// that cannot be raised.  Every run must give the one-thread run's bytes.
#include <stdio.h>
#include <stdlib.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expect.h"
#include "runner.h"

namespace {

const std::string kKey = std::string("\x99\x00\x8d", 3) + std::string(40, 'k');

// A gzip file of kKey: one stored deflate block, then its CRC-32 and size.
std::string gzipped_key() {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : kKey) {
    crc ^= c;
    for (int k = 0; k < 8; k++)
      crc = crc >> 1 ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  const uint32_t words[2] = {~crc, (uint32_t)kKey.size()};
  const char n = (char)kKey.size();
  return std::string("\x1f\x8b\x08\0\0\0\0\0\0\x03\x01", 11) + std::string{n, 0, (char)~n, '\xff'} +
         kKey + std::string((const char *)words, sizeof words);  // little-endian
}

struct row {
  const char *what;
  std::function<void(const temp_tree &)> make;
  std::vector<std::string> args;  // after the tree
  int open_files;                 // 0: as inherited
  int searched, hits;
};

// Each row's tree once with KIVOR_READERS=1, which must give the expected
// counts and list every directory, then twice in each other setting.
void expect_alike_in_every_setting(const std::vector<row> &rows) {
  const std::vector<std::string> settings[] = {
      {"KIVOR_READERS=1", "KIVOR_READS_SLOW="},
      {"KIVOR_READERS=", "KIVOR_READS_SLOW=1"},
      {"KIVOR_READERS=", "KIVOR_READS_SLOW="},
  };
  for (const row &r : rows) {
    SCOPED_TRACE(r.what);
    temp_tree t;
    r.make(t);
    std::vector<std::string> args{arg_path(t, "")};
    args.insert(args.end(), r.args.begin(), r.args.end());
    run_result one;
    for (const auto &env : settings) {
      for (int run = 0; run < (&env == &settings[0] ? 1 : 2); run++) {
        run_options opt;
        opt.cwd = t.root();  // "*.TXT" names the current directory too
        opt.env = env;
        opt.open_files = r.open_files;
        run_result got = run_kivor(args, opt);
        got.out = normalise(got.out), got.err = normalise(got.err);
        std::string tail = got.err.substr(got.err.size() > 300 ? got.err.size() - 300 : 0);
        if (&env == &settings[0]) {
          one = got;
          EXPECT_NE(one.err.find("\nSearched " + std::to_string(r.searched) + " files, Found " +
                                 std::to_string(r.hits) + " possible hits\n"),
                    std::string::npos) << tail;
          EXPECT_EQ(one.err.find("couldn't list"), std::string::npos) << one.err;
          continue;
        }
        SCOPED_TRACE(env[0] + " " + env[1]);
        EXPECT_EQ(got.status, one.status);  // thousands of lines: shown by their summary
        EXPECT_TRUE(got.out == one.out) << got.out.size() << " bytes of hits, not "
                                        << one.out.size();
        EXPECT_TRUE(got.err == one.err) << tail;
      }
    }
  }
}

// The tests choose the settings: the suite's one-reader pass would repeat them.
#define OWN_THREAD_SETTINGS()             \
  if (getenv("KIVOR_READERS") != nullptr) \
  GTEST_SKIP() << "runs its own three thread settings"

// A FIFO that will not open, and under -x every .COM file, is looked up on
// another thread while the walk lists the directory for its next pattern,
// or for -a's archives beyond the patterns.
TEST(ListingIntegrity, LookupsBesideTheWalksListing) {
  POSIX_TARGET_ONLY("FIFOs and '?' in names are POSIX's");
  OWN_THREAD_SETTINGS();
  // Many keys, with long names so that their listing takes several reads,
  // beside fewer entries looked up meanwhile.
  const int keys = 2000, looked_up = 100;
  auto tree = [&](const std::string &key_ext, const std::string &key, const char *other) {
    return [=](const temp_tree &t) {
      for (int i = 0; i < keys; i++)
        t.write("key-" + std::string(40, 'k') + std::to_string(i) + key_ext, key);
      for (int i = 0; i < looked_up; i++) {
        std::string name = other[0] + ("?" + std::to_string(i)) + (other + 1);
        other[0] == 'p' ? t.mkfifo(name) : t.write(name, kKey);
      }
    };
  };
  const int all = keys + looked_up;
  expect_alike_in_every_setting({
      {"FIFOs", tree(".PGP", kKey, "p.TXT"), {"*.TXT", "*.PGP", "-d"}, 0, all, keys},
      {"-x", tree(".PGP", kKey, "c.COM"), {"*.COM", "*.PGP", "-d", "-x"}, 0, all, keys},
      {"-a", tree(".TXT.gz", gzipped_key(), "p.TXT"), {"*.TXT", "-d", "-a"}, 0, all, keys},
  });
}

TEST(ListingIntegrity, OpenFileLimitThatCannotBeRaised) {
  POSIX_TARGET_ONLY("open-file limits are POSIX's");
  OWN_THREAD_SETTINGS();
  auto wide = [](const temp_tree &t) {
    for (int i = 0; i < 2000; i++)
      t.write("k" + std::to_string(i) + ".PGP", kKey);
  };
  auto deep = [](const temp_tree &t) {
    std::string dir;
    for (int i = 0; i < 1000; i++)
      dir += "d/";
    t.mkdir(dir.substr(0, dir.size() - 1));
    for (; !dir.empty(); dir.resize(dir.size() - 2)) {
      FILE *f = fopen(t.path(dir + "k.PGP").c_str(), "wb");
      ASSERT_NE(f, nullptr);
      fwrite(kKey.data(), 1, kKey.size(), f), fclose(f);
    }
  };
  expect_alike_in_every_setting({
      {"2,000 keys, 64 descriptors", wide, {"-d"}, 64, 2000, 2000},
      {"a chain 1,000 deep, 1,100 descriptors", deep, {"-r", "-d"}, 1100, 1000, 1000},
  });
}

}  // namespace
