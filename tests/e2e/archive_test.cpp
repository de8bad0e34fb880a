// Archive search (-a) on archives made here with libarchive's writer: the
// hit lines for members, the messages for bad input, and the sample files
// found the same inside a zip and a tar.gz as on disk.
#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expect.h"
#include "runner.h"

namespace {

const std::string kKey = std::string("\x99\x00\x8d", 3) + std::string(40, 'k');
const std::string kArmour = "-----BEGIN PGP PUBLIC KEY BLOCK-----\nmQCN\n";

struct member {
  std::string name;
  std::string data;
};

la_ssize_t append(struct archive *, void *out, const void *buffer, size_t size) {
  static_cast<std::string *>(out)->append(static_cast<const char *>(buffer), size);
  return (la_ssize_t)size;
}

// An archive of the members, in their order: format "zip" (with the
// writer's options) or "tar.gz".
std::string make_archive(const std::string &format, const std::vector<member> &members,
                         const char *options = "zip:compression=deflate") {
  std::string out;
  struct archive *a = archive_write_new();
  if (format == "zip") {
    archive_write_set_format_zip(a);
    archive_write_set_passphrase(a, "secret");
    EXPECT_EQ(archive_write_set_options(a, options), ARCHIVE_OK) << options;
  } else {
    archive_write_set_format_pax_restricted(a);
    archive_write_add_filter_gzip(a);
  }
  archive_write_set_bytes_in_last_block(a, 1);
  archive_write_open(a, &out, nullptr, append, nullptr);
  for (const member &m : members) {
    struct archive_entry *e = archive_entry_new();
    archive_entry_set_pathname(e, m.name.c_str());
    archive_entry_set_filetype(e, AE_IFREG);
    archive_entry_set_perm(e, 0644);
    archive_entry_set_size(e, (la_int64_t)m.data.size());
    archive_write_header(a, e);
    archive_write_data(a, m.data.data(), m.data.size());
    archive_entry_free(e);
  }
  archive_write_close(a);
  archive_write_free(a);
  return out;
}

// The member's full name as the hit line shows it.
std::string in(const temp_tree &t, const std::string &archive, const std::string &path) {
  std::string name = shown(t, archive) + sep() + path;
  std::replace(name.begin() + (long)shown(t, archive).size(), name.end(), '/', sep()[0]);
  return name;
}

TEST(Archives, MembersAreExaminedLikeFiles) {
  POSIX_TARGET_ONLY("the Windows build has no archive reader");
  temp_tree t;
  std::string inner = make_archive("zip", {{"KEYS.ASC", kArmour}, {"PUB.PGP", kKey}});
  t.write("mix.zip", make_archive("zip", {{"KEYS.ASC", kArmour},
                                          {"sub/PUB.PGP", kKey},
                                          {"README.TXT", "nothing here, plain text\n"},
                                          {"new\nline.asc", kArmour}}));
  t.write("nest.zip", make_archive("zip", {{"in.zip", inner}, {"SIG.PGP", kKey}},
                                   "zip:compression=store"));
  t.write("t.tar.gz", make_archive("tar.gz", {{"KEYS.ASC", kArmour}, {"d/PUB.PGP", kKey}}));
  t.write("enc.zip", make_archive("zip", {{"PUB.PGP", kKey}}, "zip:encryption=zipcrypt"));
  std::string bad = make_archive("zip", {{"PUB.PGP", kKey}}, "zip:compression=store");
  t.write("b\x1b" "ad.zip", bad.substr(0, 40));  // a control byte in the archive's own name
  const std::string armour = "ascii armored key", key = "public key certificate";
  const std::string enc = "encrypted, skipped unread: " + in(t, "enc.zip", "PUB.PGP") + "\n";
  const std::string truncated =
      "couldn't read archive " + shown(t, "b?ad.zip") + ": Truncated ZIP file header\n";
  const std::string newline = "unsafe member name (shown, never used as a path): " +
                              in(t, "mix.zip", "new?line.asc") + "\n";
  const std::string w = "200";
  struct {
    std::vector<std::string> args;
    std::string hits, messages;
    int searched;
  } cases[] = {
      {{"-a", "-w", w},
       hit(in(t, "mix.zip", "KEYS.ASC"), armour, 200) +
           hit(in(t, "mix.zip", "sub/PUB.PGP"), key, 200) +
           hit(in(t, "mix.zip", "new?line.asc"), armour, 200) +
           hit(in(t, "nest.zip", "in.zip/KEYS.ASC"), armour, 200) +
           hit(in(t, "nest.zip", "in.zip/PUB.PGP"), key, 200) +
           hit(in(t, "nest.zip", "SIG.PGP"), key, 200) + hit(in(t, "t.tar.gz", "KEYS.ASC"), armour, 200) +
           hit(in(t, "t.tar.gz", "d/PUB.PGP"), key, 200),
       truncated + enc + newline, 16},
      // Archives are opened for their extension; only matching members count.
      {{"*.ASC", "-a", "-w", w},
       hit(in(t, "mix.zip", "KEYS.ASC"), armour, 200) +
           hit(in(t, "mix.zip", "new?line.asc"), armour, 200) +
           hit(in(t, "nest.zip", "in.zip/KEYS.ASC"), armour, 200) +
           hit(in(t, "t.tar.gz", "KEYS.ASC"), armour, 200),
       truncated + newline, 4},
  };
  for (auto &c : cases) {
    run_options opt;
    opt.cwd = t.root();
    run_result r = run_kivor(c.args, opt);
    const std::string &hits = c.hits;
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(normalise(r.out), run_out(hits)) << c.args[0];
    EXPECT_EQ(normalise(r.err), run_err(dir_line(t, "") + c.messages, c.searched,
                                        (int)std::count(hits.begin(), hits.end(), '\n')))
        << c.args[0];
  }
  // Both shortening styles keep the member's own name.
  std::string name = in(t, "nest.zip", "in.zip/PUB.PGP");
  std::string prefix_style = name.substr(0, 2) + sep() + "..." + name.substr(name.size() - 24);
  std::string middle_style = name.substr(0, 30 - 3 - 8) + "..." + sep() + "PUB.PGP";
  for (auto &style : {std::make_pair("-w", prefix_style), std::make_pair("-W", middle_style)}) {
    run_result r = run_kivor({t.path("nest.zip"), "-a", style.first, "30"});
    EXPECT_NE(r.out.find(hit(style.second, key, 30)), std::string::npos) << r.out;
  }
}

TEST(Archives, RefusedWhereTheBuildCannotReadThem) {
  WINDOWS_TARGET_ONLY("the POSIX build reads archives");
  run_result r = run_kivor({"-a"});
  EXPECT_EQ(r.status, 5);
  EXPECT_EQ(r.err, "archive search is not available in this build\n"
                   "Program termination: reason ILLEGAL or INCOMPLETE OPTION\n");
}

// Hit lines of a run with names in full and one blank before the kind,
// sorted, with prefix replaced by to.
std::vector<std::string> hit_lines(const std::string &out, const std::string &prefix,
                                   const std::string &to) {
  std::vector<std::string> lines;
  std::istringstream s(out);
  for (std::string line; std::getline(s, line);)
    if (line.compare(0, prefix.size(), prefix) == 0)
      lines.push_back(to + line.substr(prefix.size()));
  std::sort(lines.begin(), lines.end());
  return lines;
}

TEST(Archives, SampleFilesAreFoundTheSameInsideArchives) {
  POSIX_TARGET_ONLY("the Windows build has no archive reader");
  std::string root = corpus_dir();
  if (root.empty())
    GTEST_SKIP() << "no sample files beside the project";
  std::vector<member> members;  // every sample file, in name order
  for (auto &e : std::filesystem::recursive_directory_iterator(root))
    if (e.is_regular_file())
      members.push_back({e.path().string().substr(root.size() + 1), read_file(e.path().string())});
  std::sort(members.begin(), members.end(),
            [](const member &a, const member &b) { return a.name < b.name; });
  ASSERT_GT(members.size(), 50u);

  temp_tree t;
  t.write("c.zip", make_archive("zip", members));
  t.write("c.tar.gz", make_archive("tar.gz", members));
  for (std::string mode : {"-d", "-dc"}) {  // the first-byte test, and -c
    run_result disk = run_kivor({root, "-r", mode, "-w", "-1"});
    std::vector<std::string> want = hit_lines(normalise(disk.out), root + "/", "");
    ASSERT_GT(want.size(), 30u);
    for (const char *archive : {"c.zip", "c.tar.gz"}) {
      run_result r = run_kivor({t.path(archive), "-a", mode, "-w", "-1"});
      EXPECT_EQ(r.status, 0);
      EXPECT_EQ(hit_lines(normalise(r.out), t.path(archive) + "/", ""), want) << archive << mode;
    }
  }
}

}  // namespace
