// Which names and first bytes make an archive candidate: every supported
// kind is one, and ordinary files (text, PGP packets) never cost an open.
#include "search/archive.h"

#include <string>

#include <gtest/gtest.h>

#include "run/globals.h"

TEST(Archive, CandidatesByExtensionAndSignature) {
  for (const char *name : {"A.ZIP", "b.lzh", "c.Tgz", "d.tar.gz", "e.Z", "f.7z", "g.iso", "h.xar",
                           "KEYS.PG_", "SETUP.EX_", "A._", "k.asc.lzma", "a.arj", "b.HQX", "c.sea"})
    EXPECT_TRUE(has_archive_extension(name)) << name;
  for (const char *name : {"zip", "a.zipx", "a.gz.txt", "x.pgp", ".", "a.", "a.pgp_", "a_", "KEYS.BIN"})
    EXPECT_FALSE(has_archive_extension(name)) << name;

  std::string tar(512, '\0');
  tar.replace(0, 5, "a.asc");
  tar.replace(148, 8, "0012345\0", 8);
  std::string iso(READ_SIZE, '\0');
  const std::string yes[] = {
      "PK\3\4", "\x1F\x8B\x08", "\x1F\x9D\x90", "BZh9", std::string("\xFD" "7zXZ\0", 6),
      "\x28\xB5\x2F\xFD", std::string("\x5D\0\0\x80", 4), "7z\xBC\xAF\x27\x1C", "Rar!\x1A\x07\x00",
      "MSCF", "xar!", "!<arch>\n", "070701", "\xC7\x71", "\x71\xC7", "!!-lh5-", tar, iso,
      "SZDD\x88\xF0\x27\x33", "KWAJ\x88\xF0\x27\xD1", "\x60\xEA\x2C\x00",
      std::string("\0\5\x16\0\0\2\0\0", 8) + std::string(18, '\0'),   // AppleSingle
      std::string("\0\5\x16\7\0\1\0\0", 8) + std::string(18, 'x')};    // AppleDouble
  for (const std::string &b : yes)
    EXPECT_TRUE(archive_signature((const unsigned char *)b.data(), (long)b.size())) << b;
  std::string text_tar = tar;
  text_tar[150] = 'x';
  const std::string no[] = {"small file file000001.txt\n", "\x99\x00\x8dkeykey",
                            "-----BEGIN PGP MESSAGE-----", "P", "", text_tar,
                            std::string(READ_SIZE - 1, '\0'), std::string(100, '\0')};
  for (const std::string &b : no)
    EXPECT_FALSE(archive_signature((const unsigned char *)b.data(), (long)b.size())) << b;
}
