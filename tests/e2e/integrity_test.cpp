// Every file of the tree is examined exactly once, whatever the threads do:
// lookups of wildcard names (as a vfat mount shows names it cannot map)
// made beside the walk's listing of the same directory, and runs whose
// open-file limit cannot be raised.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expect.h"
#include "runner.h"

namespace {

const std::string kKey = std::string("\x99\x00\x8d", 3) + std::string(40, 'k');

// A .gz file: one gzip member (one stored deflate block) holding kKey.
std::string gzipped_key() {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : kKey) {
    crc ^= c;
    for (int k = 0; k < 8; k++)
      crc = crc >> 1 ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  crc = ~crc;
  auto le32 = [](uint32_t v) {
    return std::string{(char)v, (char)(v >> 8), (char)(v >> 16), (char)(v >> 24)};
  };
  const uint16_t n = (uint16_t)kKey.size();
  return std::string("\x1f\x8b\x08\0\0\0\0\0\0\x03\x01", 11) +
         std::string{(char)n, (char)(n >> 8), (char)~n, (char)(~n >> 8)} + kKey + le32(crc) +
         le32(n);
}

// The end of a long stream, where the summary is.
std::string tail(const std::string &s) {
  return s.substr(s.size() > 300 ? s.size() - 300 : 0);
}

// A chain of depth directories d/d/d/..., each holding k.PGP.
void make_chain(const temp_tree &t, int depth) {
  int fd = open(t.root().c_str(), O_RDONLY | O_DIRECTORY);
  for (int i = 0; i < depth && fd >= 0; i++) {
    int key = openat(fd, "k.PGP", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(write(key, kKey.data(), kKey.size()), (ssize_t)kKey.size());
    close(key);
    mkdirat(fd, "d", 0755);
    int sub = openat(fd, "d", O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = sub;
  }
  ASSERT_GE(fd, 0);
  close(fd);
}

struct row {
  const char *what;
  std::function<void(const temp_tree &)> make;
  std::vector<std::string> args;  // after the tree
  int open_files;                 // 0: as inherited
  int searched, hits;
};

// Scans the tree of each row once with KIVOR_READERS=1, then twice in each
// of the other settings: every run must give the first run's bytes, and
// that the expected counts, with no directory left unlisted.
void expect_alike_in_every_setting(const std::vector<row> &rows) {
  const std::vector<std::string> settings[] = {
      {"KIVOR_READERS=1", "KIVOR_READS_SLOW="},  // first: the reference
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
        if (&env == &settings[0]) {
          one = got;
          std::string summary = "\nSearched " + std::to_string(r.searched) + " files, Found " +
                                std::to_string(r.hits) + " possible hits\n";
          EXPECT_NE(one.err.find(summary), std::string::npos) << tail(one.err);
          EXPECT_EQ(one.err.find("couldn't list"), std::string::npos) << tail(one.err);
          continue;
        }
        SCOPED_TRACE(env[0] + " " + env[1] + ", run " + std::to_string(run + 1));
        // Thousands of lines: a difference is shown by its summary.
        EXPECT_EQ(got.status, one.status);
        EXPECT_TRUE(got.out == one.out) << got.out.size() << " bytes of hits, not "
                                        << one.out.size();
        EXPECT_TRUE(got.err == one.err) << tail(got.err);
      }
    }
  }
}

// The tests set the thread settings themselves: the one-reader pass of the
// suite would only repeat them.
#define OWN_THREAD_SETTINGS()            \
  if (getenv("KIVOR_READERS") != nullptr) \
  GTEST_SKIP() << "runs its own three thread settings"

// A file that will not open (a FIFO), and under -x every .COM file, whose
// name holds '?' is looked up by a listing of its directory, on a reader
// thread, while the walk lists that directory for its next pattern or for
// -a's archives beyond the patterns.
TEST(ListingIntegrity, LookupsBesideTheWalksListing) {
  POSIX_TARGET_ONLY("FIFOs and '?' in names are POSIX's");
  OWN_THREAD_SETTINGS();
  // Many keys, with long names so that their listing takes several reads of
  // the directory, beside fewer entries that are looked up as it is read.
  const int keys = 2000, looked_up = 100;
  auto key = [](int i) { return "key-" + std::string(40, 'k') + "-" + std::to_string(i); };
  auto wild = [](const char *lead, int i, const char *ext) {
    return lead + std::string("?") + std::to_string(i) + ext;
  };
  expect_alike_in_every_setting({
      {"FIFOs p?N.TXT looked up while *.PGP is listed",
       [&](const temp_tree &t) {
         for (int i = 0; i < keys; i++)
           t.write(key(i) + ".PGP", kKey);
         for (int i = 0; i < looked_up; i++)
           t.mkfifo(wild("p", i, ".TXT"));
       },
       {"*.TXT", "*.PGP", "-d"}, 0, keys + looked_up, keys},
      {"-x: c?N.COM looked up while *.PGP is listed",
       [&](const temp_tree &t) {
         for (int i = 0; i < keys; i++)
           t.write(key(i) + ".PGP", kKey);
         for (int i = 0; i < looked_up; i++)
           t.write(wild("c", i, ".COM"), kKey);
       },
       {"*.COM", "*.PGP", "-d", "-x"}, 0, keys + looked_up, keys},
      {"-a: FIFOs looked up while the archives beyond the patterns are listed",
       [&](const temp_tree &t) {
         for (int i = 0; i < keys; i++)
           t.write(key(i) + ".TXT.gz", gzipped_key());
         for (int i = 0; i < looked_up; i++)
           t.mkfifo(wild("p", i, ".TXT"));
       },
       {"*.TXT", "-d", "-a"}, 0, keys + looked_up, keys},
  });
}

// An open-file limit that cannot be raised: the files read ahead must leave
// the walk and the consumer the descriptors they need.
TEST(ListingIntegrity, OpenFileLimitThatCannotBeRaised) {
  POSIX_TARGET_ONLY("open-file limits are POSIX's");
  OWN_THREAD_SETTINGS();
  expect_alike_in_every_setting({
      {"2,000 keys under a limit of 64 descriptors",
       [](const temp_tree &t) {
         for (int i = 0; i < 2000; i++)
           t.write("k" + std::to_string(i) + ".PGP", kKey);
       },
       {"-d"}, 64, 2000, 2000},
      {"a 1,000-deep chain under a limit of 1,100 descriptors",
       [](const temp_tree &t) { make_chain(t, 1000); }, {"-r", "-d"}, 1100, 1000, 1000},
  });
}

}  // namespace
