// Real PGP-era files and files made with a current OpenPGP tool, read where
// they lie (beside the project, read-only).  Skipped when the samples are
// not there, as on a fresh clone.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "expect.h"
#include "runner.h"

namespace {

using kinds = std::vector<std::pair<const char *, const char *>>;

// Scans one folder of the samples and compares every hit line.
void expect_hits(const std::string &folder, const kinds &want) {
  std::string root = corpus_dir();
  if (root.empty())
    GTEST_SKIP() << "no sample files beside the project";
  std::string dir = root + "/" + folder;
  run_options opt;
  opt.cwd = dir;
  run_result r = run_kivor({"-d", "-w", "200"}, opt);
  std::string hits;
  for (auto &w : want)
    hits += hit(target_path(dir + "/" + w.first), w.second, 200);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(hits));
}

TEST(Corpus, RealBinaryPackets) {
  expect_hits("real-binary", {
                                 {"ca-DOSWU.SIG", "packet signed, RSA secret key"},
                                 {"ca-ollivier civiol.key", "public key certificate"},
                                 {"ca-pgp001-secring.pgp", "secret key certificate"},
                                 {"ca-PGP23LT1.SIG", "packet signed, RSA secret key"},
                                 {"ca-pgp55-BUSpubring.pkr", "public key certificate"},
                                 {"ca-PGP651-FR.exe.sig", "packet signed, RSA secret key"},
                                 {"ca-secring.tage", "secret key certificate"},
                                 {"ca-WHEINDL.PGP", "public key certificate"},
                                 {"file-pgp-binary-key-v3-lutz.testfile", "public key certificate"},
                                 {"pgpdump-enc3", "encrypted"},
                                 {"pgpdump-sig2", "packet signed, RSA secret key"},
                                 {"pgpsign-pubring.pkr", "public key certificate"},
                                 {"pgpsign-secring.skr", "secret key certificate"},
                             });
}

// Armour of a signature alone ("BEGIN PGP SIGNATURE") is none of the two
// texts looked for, so ca-SIGNATUR.ASC is not reported.
TEST(Corpus, RealArmour) {
  expect_hits("real-armour", {
                                 {"ca-magicmoney-key.asc", "ascii armored key"},
                                 {"ca-pgp001-keys.asc", "ascii armored key"},
                                 {"ca-x.asc", "possible ascii armor"},
                                 {"gnupg-pgp263-test.sec.asc", "ascii armored key"},
                                 {"pgpsign-message.sig", "possible ascii armor"},
                             });
}

// A text about PGP is no hit; a random first byte can look like a packet.
TEST(Corpus, LookAlikes) {
  expect_hits("negative", {{"ca-rsaref-512a2.sig", "secret key certificate"}});
}

TEST(Corpus, CurrentToolOutput) {
  expect_hits("gpg", {
                         {"enc-pk-pgp6-idea.gpg", "encrypted"},
                         {"enc-pk-rfc2440.gpg", "encrypted"},
                         {"enc-pk-z0.asc", "possible ascii armor"},
                         {"enc-pk-z0.gpg", "encrypted"},
                         {"enc-pk-zip.asc", "possible ascii armor"},
                         {"enc-pk-zip.gpg", "encrypted"},
                         {"enc-sym-pgp6-cast5.gpg", "encrypted, possibly signed"},
                         {"enc-sym-pgp6-idea.gpg", "encrypted, possibly signed"},
                         {"enc-sym-rfc2440-idea.gpg", "encrypted, possibly signed"},
                         {"enc-sym-z0.gpg", "encrypted, possibly signed"},
                         {"enc-sym-zip.asc", "possible ascii armor"},
                         {"enc-sym-zip.gpg", "encrypted, possibly signed"},
                         {"plain.txt.sig", "packet signed, RSA secret key"},
                         {"plain.txt.signed.gpg", "compressed data signature only"},
                         {"pub.asc", "ascii armored key"},
                         {"pub.gpg", "public key certificate"},
                         {"sec.asc", "ascii armored key"},
                         {"sec.gpg", "secret key certificate"},
                     });
}

}  // namespace
