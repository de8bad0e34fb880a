// Archive search (-a) on archives made here with libarchive's writer: the
// hit lines for members, the messages for bad input, and the sample files
// found the same inside a zip and a tar.gz as on disk.
#include <archive.h>
#include <archive_entry.h>

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <random>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expect.h"
#include "mac_writer.h"
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
// writer's options), "tar.gz", "tar", "ar" or "7z" (stored).
std::string make_archive(const std::string &format, const std::vector<member> &members,
                         const char *options = "zip:compression=deflate") {
  std::string out;
  struct archive *a = archive_write_new();
  if (format == "zip") {
    archive_write_set_format_zip(a);
    archive_write_set_passphrase(a, "secret");
    EXPECT_EQ(archive_write_set_options(a, options), ARCHIVE_OK) << options;
  } else if (format == "ar") {
    archive_write_set_format_ar_svr4(a);
  } else if (format == "7z") {
    archive_write_set_format_7zip(a);
    EXPECT_EQ(archive_write_set_options(a, "7zip:compression=store"), ARCHIVE_OK);
  } else {
    archive_write_set_format_pax_restricted(a);
    if (format == "tar.gz")
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

// data compressed as a file of its own by the writer's filter.
std::string compressed(const std::string &data, int (*filter)(struct archive *)) {
  std::string out;
  struct archive *a = archive_write_new();
  archive_write_set_format_raw(a);
  EXPECT_EQ(filter(a), ARCHIVE_OK);
  archive_write_set_bytes_in_last_block(a, 1);
  archive_write_open(a, &out, nullptr, append, nullptr);
  struct archive_entry *e = archive_entry_new();
  archive_entry_set_filetype(e, AE_IFREG);
  archive_write_header(a, e);
  archive_write_data(a, data.data(), data.size());
  archive_entry_free(e);
  archive_write_close(a);
  archive_write_free(a);
  return out;
}

// A tar field: value in octal, zero-padded to width - 1 digits and a NUL.
void octal(std::string &block, size_t at, unsigned long value, int width) {
  snprintf(&block[at], (size_t)width, "%0*lo", width - 1, value);
}

// A GNU sparse member header whose map goes on over extensions blocks of
// 512 bytes: the header, then each block, the last one's flag cleared.
std::pair<std::string, std::string> gnu_sparse_header() {
  std::string h(512, '\0'), block(512, '\0');
  memcpy(&h[0], "MAP.DAT", 7);
  for (auto f : {std::make_pair(100, 8), {108, 8}, {116, 8}, {124, 12}, {136, 12}})
    octal(h, (size_t)f.first, f.first == 100 ? 0644 : 0, f.second);
  h[156] = 'S';
  for (int i = 0; i < 4; i++) {  // the map's first four entries
    octal(h, 386 + (size_t)i * 24, (unsigned long)i * 1024, 12);
    octal(h, 386 + (size_t)i * 24 + 12, 0, 12);
  }
  memcpy(&h[257], "ustar  ", 8);
  h[482] = 1;  // a map extension block follows
  octal(h, 483, 1ul << 30, 12);
  memset(&h[148], ' ', 8);
  unsigned long sum = 0;
  for (unsigned char c : h)
    sum += c;
  octal(h, 148, sum, 7);
  for (int i = 0; i < 21; i++) {
    octal(block, (size_t)i * 24, 4096ul + (unsigned long)i * 1024, 12);
    octal(block, (size_t)i * 24 + 12, 0, 12);
  }
  block[504] = 1;
  return {h, block};
}

// The member's full name as the hit line shows it.
std::string in(const temp_tree &t, const std::string &archive, const std::string &path) {
  std::string name = shown(t, archive) + sep() + path;
  std::replace(name.begin() + (long)shown(t, archive).size(), name.end(), '/', sep()[0]);
  return name;
}

// A run in the tree's root and what it must show: the hit lines, the
// messages after the directory lines dirs, and the files searched.
struct archive_run {
  std::vector<std::string> args;
  std::string hits, messages;
  int searched;
};

void expect_run(const temp_tree &t, const archive_run &c, const std::string &dirs) {
  run_options opt;
  opt.cwd = t.root();
  run_result r = run_kivor(c.args, opt);
  std::string what;
  for (const std::string &a : c.args)
    what += a.substr(0, 40) + " ";
  EXPECT_EQ(r.status, 0) << what;
  EXPECT_EQ(normalise(r.out), run_out(c.hits)) << what;
  EXPECT_EQ(normalise(r.err), run_err(dirs + c.messages, c.searched,
                                      (int)std::count(c.hits.begin(), c.hits.end(), '\n')))
      << what;
}

TEST(Archives, MembersAreExaminedLikeFiles) {
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
  // A control byte in the archive's own name, where names can hold one.
  const std::string bad_name = windows_target() ? "bad.zip" : "b\x1b" "ad.zip";
  t.write(bad_name, bad.substr(0, 40));
  const std::string armour = "ascii armored key", key = "public key certificate";
  const std::string enc = "encrypted, skipped unread: " + in(t, "enc.zip", "PUB.PGP") + "\n";
  const std::string truncated =
      "couldn't read archive " + shown(t, windows_target() ? "bad.zip" : "b?ad.zip") +
      ": Truncated ZIP file header\n";
  const std::string newline = "unsafe member name (shown, never used as a path): " +
                              in(t, "mix.zip", "new?line.asc") + "\n";
  const std::string w = "200";
  const archive_run cases[] = {
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
  for (auto &c : cases)
    expect_run(t, c, dir_line(t, ""));
  // Both shortening styles keep the member's own name.
  std::string name = in(t, "nest.zip", "in.zip/PUB.PGP");
  std::string prefix_style = name.substr(0, 2) + sep() + "..." + name.substr(name.size() - 24);
  std::string middle_style = name.substr(0, 30 - 3 - 8) + "..." + sep() + "PUB.PGP";
  for (auto &style : {std::make_pair("-w", prefix_style), std::make_pair("-W", middle_style)}) {
    run_result r = run_kivor({arg_path(t, "nest.zip"), "-a", style.first, "30"});
    EXPECT_NE(r.out.find(hit(style.second, key, 30)), std::string::npos) << r.out;
  }
}

// Archives made to exhaust the run: every decompressed byte counts, headers
// too, and one header cannot grow the process.
TEST(Archives, BombsStopEarlyInLittleMemory) {
  // 1.1 GiB of empty members' headers in 120 joined zstd frames (about
  // 300 KB), then a key that must stay unread.
  std::string empty = make_archive("tar", {{"E.DAT", ""}}).substr(0, 512);
  std::string headers;
  for (int i = 0; i < 9 * 2048; i++)
    headers += empty;
  std::string frame = compressed(headers, archive_write_add_filter_zstd), flood;
  for (int i = 0; i < 120; i++)
    flood += frame;
  flood += compressed(make_archive("tar", {{"KEYS.PGP", kKey}}), archive_write_add_filter_zstd);
  // A sparse map 64 MiB long, in 16 gzip members (about 300 KB).
  auto sparse = gnu_sparse_header();
  std::string blocks;
  for (int i = 0; i < 8192; i++)
    blocks += sparse.second;
  std::string map = compressed(sparse.first + blocks.substr(512), archive_write_add_filter_gzip);
  for (int i = 0; i < 15; i++)
    map += compressed(blocks, archive_write_add_filter_gzip);
  sparse.second[504] = 0;
  map += compressed(sparse.second + std::string(1024, '\0'), archive_write_add_filter_gzip);

  temp_tree t;
  t.write("a/flood.tar.zst", flood);
  t.write("b/map.tar.gz", map);
  t.write("c/small.tar.gz", make_archive("tar.gz", {{"KEYS.TXT", "text"}}));
  // Memory is measured against a run on a small archive, so that what a
  // sanitizer adds is left out (and its quarantine of freed blocks off).
  const char *asan = getenv("ASAN_OPTIONS");
  run_options opt;
  opt.timeout_seconds = 120;  // a gibibyte decompressed under a sanitizer on a busy machine
  opt.env = {std::string("ASAN_OPTIONS=") + (asan != nullptr ? asan : "") +
             ":quarantine_size_mb=0:thread_local_quarantine_size_kb=0"};
  long base_kb = run_kivor({arg_path(t, "c/small.tar.gz"), "-a", "-d", "-f", "*.PGP"}, opt).peak_kb;
  struct {
    const char *file;
    std::string message;
  } cases[] = {
      {"a/flood.tar.zst", "archive search stopped after 1 GiB of decompressed data, the rest unread: "},
      {"b/map.tar.gz", "couldn't read archive "},
  };
  for (auto &c : cases) {
    run_result r = run_kivor({arg_path(t, c.file), "-a", "-d", "-f", "*.PGP"}, opt);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("KEYS.PGP"), std::string::npos) << c.file;
    std::string tail = std::string(c.file).find("map") != std::string::npos ? ": a header over 4 MiB" : "";
    EXPECT_NE(r.err.find(c.message + shown(t, c.file) + tail + "\n"), std::string::npos) << r.err;
    EXPECT_LT(r.peak_kb - base_kb, 40 * 1024) << c.file;
  }
}

// Members at the edges: a damaged one before intact ones, a long name, C1
// controls in a name, a member named as an archive that is none (judged
// from its own bytes with -c), a compressed image that begins with a zero
// block, and .lzma.
TEST(Archives, MemberEdgeCases) {
  temp_tree t;
  const std::string signature = std::string(15000, 'x') +
                                "\n-----BEGIN PGP SIGNATURE-----\n\n"
                                "iBYDBQAstNRuAQIDBAUGBwgBAaq7AAif\n=Twx9\n-----END PGP SIGNATURE-----\n";
  std::string spoilt = make_archive("zip", {{"A.TXT", std::string(4000, 'a')}, {"KEYS.ASC", kArmour}});
  size_t data = 30 + 5 + (unsigned char)spoilt[28] + 256u * (unsigned char)spoilt[29];
  spoilt.replace(data, 8, std::string(8, '\xff'));  // A.TXT's deflate stream
  t.write("old.zip", spoilt);
  std::string long_name = std::string(300, 'n') + ".asc";
  t.write("long.zip", make_archive("zip", {{"d/" + long_name, kArmour}, {"c\xc2\x9b" "1.asc", kArmour}}));
  t.write("outer.zip", make_archive("zip", {{"NOTE.ZIP", signature}}));
  t.write("KEYS.IMG.gz", compressed(std::string(512, '\0') + kKey, archive_write_add_filter_gzip));
  t.write("KEYS.ASC.lzma", compressed(kArmour, archive_write_add_filter_lzma));
  t.write("empty.tar.gz", make_archive("tar.gz", {}));  // counted once: no member
  t.write("n/KEYS.TXT", kArmour);
  t.write("n/slow.zip", spoilt.substr(0, 40));
  const std::string armour = "ascii armored key";
  std::string broken = "couldn't read " + in(t, "old.zip", "A.TXT") + ": ZIP decompression failed (-3)\n";
  std::string c1 = "unsafe member name (shown, never used as a path): " + in(t, "long.zip", "c?1.asc") + "\n";
  std::vector<archive_run> cases = {
      {{"-a", "-w", "500"},
       hit(in(t, "KEYS.ASC.lzma", "KEYS.ASC"), armour, 500) +
           hit(in(t, "long.zip", "d/" + long_name), armour, 500) +
           hit(in(t, "long.zip", "c?1.asc"), armour, 500) + hit(in(t, "old.zip", "KEYS.ASC"), armour, 500),
       c1 + broken, 13},
      {{"-a", "-c", "-w", "500"}, hit(in(t, "outer.zip", "NOTE.ZIP"), "ascii armored signature", 500),
       c1 + broken, 13},
      // A named file is searched alone: the archive beside it stays shut.
      {{arg_path(t, "n/KEYS.TXT"), "-a", "-w", "500"}, hit(shown(t, "n/KEYS.TXT"), armour, 500), "", 1},
  };
  if (!windows_target()) {  // a member named after its file takes a control byte from it
    t.write("n/k\x01.asc.gz", compressed(kArmour, archive_write_add_filter_gzip));
    cases.push_back({{arg_path(t, "n/k\x01.asc.gz"), "-a", "-w", "500"},
                     hit(in(t, "n/k?.asc.gz", "k?.asc"), armour, 500),
                     "unsafe member name (shown, never used as a path): " + in(t, "n/k?.asc.gz", "k?.asc") + "\n",
                     2});
  }
  for (auto &c : cases)  // a named file's directory line is its own
    expect_run(t, c, c.args[0] != "-a" ? dir_line(t, "n") : dir_line(t, ""));
}

// What decides whether and how a file is opened as an archive, and the
// limits inside one: a single compressed file's member named after it, an
// archive known by its bytes alone, archives nested deeper than 4 levels,
// a 7z that would have to be held whole past 8 MiB, a member whose path
// does not fit; "*.zip" picking the archives to open, and +a turning the
// search inside archives off again.
TEST(Archives, WhichFilesAreOpenedAndTheLimitsInside) {
  temp_tree t;
  std::string nest = make_archive("zip", {{"d.zip", make_archive("zip", {{"D.PGP", kKey}})},
                                          {"C.PGP", kKey}});
  for (const char *level : {"c.zip", "b.zip", "a.zip"})
    nest = make_archive("zip", {{level, nest}});
  t.write("deep.zip", nest);
  std::mt19937 rng(23);
  std::string noise(8u << 20 | 4096, '\0');
  for (char &c : noise)
    c = (char)rng();
  t.write("big.zip", make_archive("zip", {{"BIG.7Z", make_archive("7z", {{"N.DAT", noise}})},
                                          {"NEXT.PGP", kKey}},
                                  "zip:compression=store"));
  // Longer with the archive's name than a member's full name may be (on
  // Linux; no ZIP name is that long beside Windows' longer paths).
  const bool posix = !windows_target();
  const std::string far(posix ? 16384 - 20 : 200, 'f');
  t.write("long.zip", make_archive("zip", {{far, kKey}, {"KEYS.ASC", kArmour}}));
  t.write("KEYS.ASC.gz", compressed(kArmour, archive_write_add_filter_gzip));
  t.write("PUB.TGZ", compressed(kKey, archive_write_add_filter_gzip));
  t.write("NOEXT", compressed(kKey, archive_write_add_filter_gzip));
  t.write("KEYRING", make_archive("zip", {{"PUB.PGP", kKey}}));
  const std::string armour = "ascii armored key", key = "public key certificate";
  const std::string deeper = "archive nested deeper than 4 levels, not opened: " +
                             in(t, "deep.zip", "a.zip/b.zip/c.zip/d.zip") + "\n";
  const std::string whole = "nested archive over 8 MiB needs to be held whole, skipped: " +
                            in(t, "big.zip", "BIG.7Z") + "\n";
  const std::string too_long = posix ? "path too long, skipped: " + in(t, "long.zip", far) + "\n" : "";
  const std::string far_hit = posix ? "" : hit(in(t, "long.zip", far), key, 300);
  const archive_run cases[] = {
      {{"-a", "-w", "300"},
       hit(in(t, "big.zip", "NEXT.PGP"), key, 300) +
           hit(in(t, "deep.zip", "a.zip/b.zip/c.zip/C.PGP"), key, 300) +
           hit(in(t, "KEYRING", "PUB.PGP"), key, 300) + hit(in(t, "KEYS.ASC.gz", "KEYS.ASC"), armour, 300) +
           far_hit + hit(in(t, "long.zip", "KEYS.ASC"), armour, 300) +
           hit(in(t, "NOEXT", "NOEXT"), key, 300) + hit(in(t, "PUB.TGZ", "PUB.tar"), key, 300),
       whole + deeper + too_long, posix ? 19 : 20},
      {{"*.zip", "-f", "*.PGP", "-a", "-w", "300"},
       hit(in(t, "big.zip", "NEXT.PGP"), key, 300) +
           hit(in(t, "deep.zip", "a.zip/b.zip/c.zip/C.PGP"), key, 300),
       whole + deeper + too_long, 5},
      {{"-a", "+a"}, "", "", 7},
  };
  for (auto &c : cases)
    expect_run(t, c, dir_line(t, ""));
}

// data as an SZDD file of literals only, the name's last character given.
std::string szdd(const std::string &data, char missing) {
  std::string out("SZDD\x88\xF0\x27\x33\x41", 9);
  out += missing;
  for (int i = 0; i < 4; i++)
    out += (char)((data.size() >> (8 * i)) & 0xFF);
  for (size_t i = 0; i < data.size(); i += 8)
    out += '\xFF' + data.substr(i, 8);
  return out;
}

// data stored in a KWAJ file that names it name.ext.
std::string kwaj(const std::string &data, const std::string &name, const std::string &ext) {
  size_t offset = 14 + name.size() + 1 + ext.size() + 1;
  std::string out("KWAJ\x88\xF0\x27\xD1\0\0", 10);
  out += {(char)offset, 0, 0x18, 0};
  return out + name + '\0' + ext + '\0' + data;
}

// The containers of DOS, Windows and Mac disks that libarchive does not
// read, made here and, where the samples are there, as found.
TEST(Archives, DosAndWindowsContainers) {
  temp_tree t;
  t.write("SIG.AS_", szdd(kArmour, 'C'));
  t.write("keys.pg_", szdd(kKey, 'p'));
  t.write("SOME.KWJ", kwaj(kArmour, "KEYS", "ASC"));
  // A ZIP behind a DOS program of two pages, and a program with nothing
  // after it that holds the same bytes.
  std::string stub(1024, '\0');
  stub.replace(0, 6, std::string("MZ\0\0\2\0", 6));
  std::string zip = make_archive("zip", {{"KEYS.ASC", kArmour}});
  t.write("KIT.EXE", stub + zip);
  stub[4] = 3;  // three pages: the ZIP is part of the program
  t.write("PROG.EXE", stub + zip + std::string(22, '\0'));
  // A library's symbol table is no member; a ZOO archive is said, not read.
  t.write("lib.ar", make_archive("ar", {{"/", std::string(8, '\0')}, {"KEYS.ASC", kArmour}}));
  std::string zoo = "ZOO 2.10 Archive.\x1a" + std::string(60, '\0');
  zoo.replace(20, 4, "\xDC\xA7\xC4\xFD");
  t.write("OLD.ZOO", zoo);
  std::string volume = zip;  // the last of three volumes
  volume.replace(volume.rfind("PK\5\6") + 4, 4, std::string("\2\0\2\0", 4));
  t.write("PART3.ZIP", volume);
  // KEYS.ASC deflated with the 64 KiB window (method 9) by an independent
  // archiver.
  static const char deflate64_zip[] =
      "\x50\x4b\x03\x04\x15\x00\x00\x00\x09\x00\xa0\x30\x89\x5d\xe8\x13\x0e\x86\x26"
      "\x00\x00\x00\x2a\x00\x00\x00\x08\x00\x00\x00\x4b\x45\x59\x53\x2e\x41\x53\x43"
      "\xd3\x05\x01\x27\x57\x77\x4f\x3f\x85\x00\xf7\x00\x85\x80\x50\x27\x1f\x4f\x67"
      "\x05\x6f\xd7\x48\x05\x27\x1f\x7f\x67\x6f\xb0\x34\x57\x6e\xa0\xb3\x1f\x17\x00"
      "\x50\x4b\x01\x02\x3f\x03\x15\x00\x00\x00\x09\x00\xa0\x30\x89\x5d\xe8\x13\x0e"
      "\x86\x26\x00\x00\x00\x2a\x00\x00\x00\x08\x00\x24\x00\x00\x00\x00\x00\x00\x00"
      "\x20\x80\xa4\x81\x00\x00\x00\x00\x4b\x45\x59\x53\x2e\x41\x53\x43\x0a\x00\x20"
      "\x00\x00\x00\x00\x00\x01\x00\x18\x00\xc6\x73\xc1\x38\xa3\x87\xdd\x01\x00\x00"
      "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x50\x4b\x05\x06\x00"
      "\x00\x00\x00\x01\x00\x01\x00\x5a\x00\x00\x00\x4c\x00\x00\x00\x00\x00";
  t.write("D64.ZIP", std::string(deflate64_zip, sizeof deflate64_zip - 1));
  // The Mac wrappers: the data fork named by the stored name (Mac Roman,
  // a '/' in it), and searched again as the archive it is.
  t.write("KEY.HQX", binhex("PUB.PGP", kKey));
  t.write("KIT.HQX", binhex("KIT.ZIP", zip));
  t.write("mac.bin", macbinary("Cl\x8E" "s/PGP", kArmour));
  // Names in a DOS code page and in UTF-8 (flagged so): shown as their
  // bytes and as UTF-8 on Linux, in the OEM code page on Windows.
  std::string names = make_archive("zip", {{"SCHLxSSEL.ASC", kArmour}, {"kkkkkkkk.asc", kArmour}},
                                   "zip:compression=store");
  for (size_t at = 0; (at = names.find("SCHLxSSEL", at)) != std::string::npos; at++)
    names[at + 4] = '\x81';
  for (size_t at = 0; (at = names.find("kkkkkkkk", at)) != std::string::npos; at++) {
    names.replace(at, 8, "\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87");  // ключ
    bool central = names.compare(at - 46, 4, "PK\1\2") == 0;
    names[at - (central ? 46 : 30) + (central ? 9 : 7)] |= 0x08;  // flag bit 11: UTF-8
  }
  t.write("NAMES.ZIP", names);
  // A mail that carries a BinHex attachment is judged as a file too.
  t.write("MAIL.TXT", "From: a@b\n\n" + kArmour + "\n" + binhex("PUB.PGP", kKey));
  std::string hits = hit(in(t, "D64.ZIP", "KEYS.ASC"), "ascii armored key", 200) +
                     hit(in(t, "KEY.HQX", "PUB.PGP"), "public key certificate", 200) +
                     hit(in(t, "keys.pg_", "keys.pgp"), "public key certificate", 200) +
                     hit(in(t, "KIT.EXE", "KEYS.ASC"), "ascii armored key", 200) +
                     hit(in(t, "KIT.HQX", "KIT.ZIP/KEYS.ASC"), "ascii armored key", 200) +
                     hit(in(t, "lib.ar", "KEYS.ASC"), "ascii armored key", 200) +
                     (windows_target() ? hit(in(t, "mac.bin", "Cl\x82s:PGP"), "ascii armored key", 200)  // OEM 437
                                       : hit(in(t, "mac.bin", "Cl\xC3\xA9s:PGP"), "ascii armored key", 201)) +  // é: 2 bytes, 1 column
                     hit(shown(t, "MAIL.TXT"), "ascii armored key", 200) +
                     hit(in(t, "MAIL.TXT", "PUB.PGP"), "public key certificate", 200) +
                     hit(in(t, "NAMES.ZIP", "SCHL\x81SSEL.ASC"), "ascii armored key", 200) +
                     (windows_target() ? hit(in(t, "NAMES.ZIP", "????.asc"), "ascii armored key", 200)
                                       : hit(in(t, "NAMES.ZIP", "\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87.asc"),
                                             "ascii armored key", 204)) +
                     hit(in(t, "SIG.AS_", "SIG.ASC"), "ascii armored key", 200) +
                     hit(in(t, "SOME.KWJ", "KEYS.ASC"), "ascii armored key", 200);
  run_options opt;
  opt.cwd = t.root();
  run_result r = run_kivor({"-a", "-w", "200"}, opt);
  EXPECT_EQ(normalise(r.out), run_out(hits));
  EXPECT_EQ(normalise(r.err),
            run_err(dir_line(t, "") + shown(t, "OLD.ZOO") + ": ZOO archive, not searched\n" +
                        "couldn't read archive " + shown(t, "PART3.ZIP") +
                        ": one volume of a multi-volume set, not searched\n" +
                        (windows_target() ? lost_names_note(437) : ""),  // the Cyrillic member
                    27, 13));

  std::string samples = corpus_dir().empty() ? "" : corpus_dir() + "/archives";
  SKIP_WITHOUT_CORPUS(!samples.empty());
  auto sample = [&](const std::string &rel) {  // a sample, or a member's path below one
    std::string name = target_path(samples) + sep() + rel;
    std::replace(name.end() - (long)rel.size(), name.end(), '/', sep()[0]);
    return name;
  };
  // What an independent extractor finds in them, and nothing said about
  // the others (cryptbas.zip, anonmail.arj: imploded, shrunk, ARJ; MacDES
  // and the rustine kit: method 2 in a resource fork, Arsenic, no PGP).
  std::string found;
  for (auto &f : {std::make_pair("KEYS.PG_/KEYS.PGP", "public key certificate"),
                  {"PGP23LT1.ZIP/PGP23LTK.PGP", "public key certificate"},
                  {"pi27b.exe/RMKEYS.TXT", "ascii armored key"},
                  {"pi27b.exe/NYMKEYS.TXT", "ascii armored key"},
                  {"PGP Public Keys.bin/PGP Public Keys", "public key certificate"},
                  {"macpgp2.3.cpt.hqx/MacPGP2.3.cpt/documentation/keyserv.doc", "ascii armored key"},
                  {"macpgp2.3.cpt.hqx/MacPGP2.3.cpt/keys.asc", "ascii armored key"},
                  {"macpgp263i.sit.hqx/macpgp263i.sit/macpgp263i/MacPGP263ii.sit/MacPGP263ii/"
                   "Documentation/keyserv.doc", "ascii armored key"},
                  {"macpgp263i.sit.hqx/macpgp263i.sit/macpgp263i/MacPGP263ii.sit/MacPGP263ii/keys.asc",
                   "ascii armored key"},
                  {"macpgp263i.sit.hqx/macpgp263i.sit/macpgp263i/MacPGP263ii.sit.asc",
                   "possible ascii armor"}})
    found += hit(sample(f.first), f.second, 200);
  std::vector<std::string> args;
  for (const char *f : {"KEYS.PG_", "PGP23LT1.ZIP", "pi27b.exe", "cryptbas.zip", "anonmail.arj",
                        "PGP Public Keys.bin", "macpgp2.3.cpt.hqx", "macpgp263i.sit.hqx",
                        "powers-MacDES.sit.hqx", "rustinePGP.F6.5.1int.sea.hqx"})
    args.push_back(sample(f));
  for (const char *o : {"-a", "-w", "200"})
    args.push_back(o);
  run_result s = run_kivor(args);
  EXPECT_EQ(normalise(s.out), run_out(found));
  EXPECT_EQ(s.err.find("couldn't"), std::string::npos) << s.err;
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
  std::string root = corpus_dir();
  SKIP_WITHOUT_CORPUS(!root.empty());
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
    run_result disk = run_kivor({target_path(root), "-r", "-a", mode, "-w", "-1"});  // containers among them too
    std::vector<std::string> want = hit_lines(normalise(disk.out), target_path(root) + sep(), "");
    ASSERT_GT(want.size(), 30u);
    for (const char *archive : {"c.zip", "c.tar.gz"}) {
      run_result r = run_kivor({arg_path(t, archive), "-a", mode, "-w", "-1"});
      EXPECT_EQ(r.status, 0);
      EXPECT_EQ(hit_lines(normalise(r.out), shown(t, archive) + sep(), ""), want) << archive << mode;
    }
  }
}

}  // namespace
