// Real PGP-era files and files made with a current OpenPGP tool, read where
// they lie (beside the project, read-only).  Skipped when the samples are
// not there, as on a fresh clone.
#include <gtest/gtest.h>

#include "expect.h"
#include "runner.h"

namespace {

// Not reported: gnupg-g10-1998-pubring.g10 (first byte 0xD0, bit 6 set:
// tag 20, no "PGP" in the first 12 bytes) and pgpdump-gpg2 (tag 4, no
// marker).  Tag 2 files whose stated length ends exactly at the file's end
// still fit; a tag 6 ring of 34155 bytes is judged by its first byte alone.
TEST(Corpus, RealBinaryPackets) {
  const char *sig = "packet signed, RSA secret key";
  const char *pub = "public key certificate";
  const char *sec = "secret key certificate";
  expect_corpus_hits("-d", "real-binary", {
                                 {"ca-apgp200-INSTALL.SIG", sig},
                                 {"ca-chain-ring.pgp", pub},
                                 {"ca-CWGKEY.PGP", pub},
                                 {"ca-DOSWU.SIG", sig},
                                 {"ca-Gui4PGP.sig", sig},
                                 {"ca-mpi.sig", sig},
                                 {"ca-ollivier civiol.key", pub},
                                 {"ca-pgp001-secring.pgp", sec},
                                 {"ca-pgp009-pubring.pgp", pub},
                                 {"ca-PGP23LT1.SIG", sig},
                                 {"ca-pgp55-BUSpubring.pkr", pub},
                                 {"ca-pgp55-OTHERpubring.pkr", pub},
                                 {"ca-PGP651-FR.exe.sig", sig},
                                 {"ca-PGPoe.exe.sig", sig},
                                 {"ca-secring.tage", sec},
                                 {"ca-SFS.SIG", sig},
                                 {"ca-WHEINDL.PGP", pub},
                                 {"ca-WINPGP5I.SIG", sig},
                                 {"file-pgp-binary-key-v3-lutz.testfile", pub},
                                 {"pgpdump-enc", "DHDSS > PGP5.x encryption"},  // A8 03 "PGP"
                                 {"pgpdump-enc3", "encrypted"},  // b[4], b[5] not 1: no suffix
                                 {"pgpdump-pub", pub},
                                 {"pgpdump-sig2", sig},
                                 {"pgpsign-pubring.gpg", pub},
                                 {"pgpsign-pubring.pkr", pub},
                                 {"pgpsign-secring.skr", sec},
                                 {"sbcl-pubring.pgp", pub},
                             });
}

// Armour of a signature alone ("BEGIN PGP SIGNATURE") or of a clear-signed
// message is none of the two texts looked for, so ten files here are not
// reported.
TEST(Corpus, RealArmour) {
  const char *msg = "possible ascii armor";
  const char *key = "ascii armored key";
  expect_corpus_hits("-d", "real-armour", {
                                 {"ca-KEPLER.ASC", key},
                                 {"ca-magicmoney-key.asc", key},
                                 {"ca-noise035-keys.asc", key},  // a key block inside signed text
                                 {"ca-pdlwkey.asc", key},
                                 {"ca-pgp001-keys.asc", key},
                                 {"ca-pgp009-keys.asc", key},
                                 {"ca-pgp21-pgpsig.asc", msg},
                                 {"ca-PGP263II.ASC", msg},
                                 {"ca-samit.asc", key},
                                 {"ca-tsvenson.asc", key},
                                 {"ca-x.asc", msg},
                                 {"gnupg-pgp263-test.sec.asc", key},
                                 {"pgpsign-message.sig", msg},
                             });
}

// Texts that quote the armour lines are reported; "PGP" near the start of a
// text is not.  Programs and data are reported when their first byte reads as
// a packet: 0x8C starting a DOS program is tag 3 with a length that fits
// (ca-l3-MANIFEST.sig, tag 3 with a stated length beyond its end, is not).
TEST(Corpus, LookAlikes) {
  expect_corpus_hits("-d", "negative", {
                              {"ca-Cryptix-ArmouredData.java", "possible ascii armor"},
                              {"ca-MM.C", "possible ascii armor"},
                              {"ca-noise035-sample.com", "encrypted, possibly signed"},
                              {"ca-pgp009-conv_encrypt", "possible ascii armor"},
                              {"ca-pgp23-keyserv.doc", "ascii armored key"},
                              {"ca-pinepgp-README", "possible ascii armor"},
                              // "KEY BLOCK" comes first in the text, the message wins
                              {"ca-privtool-0.80-pgplib.c", "possible ascii armor"},
                              {"ca-rsaref-1024-1.key", "public key certificate"},
                              {"ca-rsaref-512a2.sig", "secret key certificate"},
                              {"ca-rsaref-512dha.pri", "compressed data"},  // 20 bytes, b[1] 6
                              {"ca-stegodos-DECODE.COM", "user id packet"},
                              {"ca-tinyfish-PI", "packet signed, RSA secret key"},
                              {"ca-ZIPCRACK.COM", "encrypted, possibly signed"},
                          });
}

TEST(Corpus, CurrentToolOutput) {
  expect_corpus_hits("-d", "gpg", {
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
