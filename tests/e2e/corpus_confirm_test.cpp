// The sample files in the confirming mode (-c): every real PGP file is
// reported with the kind it holds, no look-alike at all.  Skipped when the
// samples are not there.
#include <gtest/gtest.h>

#include "expect.h"
#include "runner.h"

namespace {

TEST(CorpusConfirm, RealBinaryPackets) {
  expect_corpus_hits("-dc", "real-binary", {
      {"ca-apgp200-INSTALL.SIG", "signature"},
      {"ca-chain-ring.pgp", "public key certificate"},
      {"ca-CWGKEY.PGP", "public key certificate"},
      {"ca-DOSWU.SIG", "signature"},
      {"ca-Gui4PGP.sig", "signature"},
      {"ca-mpi.sig", "signature"},
      {"ca-ollivier civiol.key", "public key certificate"},
      {"ca-pgp001-secring.pgp", "secret key certificate"},
      {"ca-pgp009-pubring.pgp", "public key certificate"},
      {"ca-PGP23LT1.SIG", "signature"},
      {"ca-pgp55-BUSpubring.pkr", "public key certificate"},
      {"ca-pgp55-OTHERpubring.pkr", "public key certificate"},  // 34 KB: read on
      {"ca-PGP651-FR.exe.sig", "signature"},
      {"ca-PGPoe.exe.sig", "signature"},
      {"ca-secring.tage", "secret key certificate"},
      {"ca-SFS.SIG", "signature"},
      {"ca-WHEINDL.PGP", "public key certificate"},
      {"ca-WINPGP5I.SIG", "signature"},
      {"file-pgp-binary-key-v3-lutz.testfile", "public key certificate"},
      {"gnupg-g10-1998-pubring.g10", "public key certificate"},  // comment packet first
      {"pgpdump-enc", "encrypted"},                                // marker packet first
      {"pgpdump-enc3", "encrypted"},
      {"pgpdump-gpg2", "one-pass signed message"},
      {"pgpdump-pub", "public key certificate"},
      {"pgpdump-sig2", "signed message"},
      {"pgpsign-pubring.gpg", "public key certificate"},
      {"pgpsign-pubring.pkr", "public key certificate"},
      {"pgpsign-secring.skr", "secret key certificate"},
      {"sbcl-pubring.pgp", "public key certificate"},
  });
}

TEST(CorpusConfirm, RealArmour) {
  expect_corpus_hits("-dc", "real-armour", {
      {"ca-ATBASH2.ASC", "clear-signed message"},
      {"ca-Cracking_DES.zip.sig", "ascii armored signature"},
      {"ca-KEPLER.ASC", "ascii armored key"},
      {"ca-magicmoney-key.asc", "ascii armored key"},
      {"ca-noise035-keys.asc", "clear-signed message"},
      {"ca-pdlwkey.asc", "ascii armored key"},
      {"ca-pgp-el.betsi", "clear-signed message"},
      {"ca-pgp001-keys.asc", "ascii armored key"},
      {"ca-pgp009-keys.asc", "ascii armored key"},
      {"ca-pgp21-pgpsig.asc", "ascii armored message"},
      {"ca-pgp22.md5", "clear-signed message"},
      {"ca-PGP263II.ASC", "ascii armored signature"},  // a MESSAGE holding a signature
      {"ca-pgp26i-README.1ST", "clear-signed message"},
      {"ca-pgp55pi-src.zip.asc", "ascii armored signature"},
      {"ca-privtool-0.81-md5.sum", "clear-signed message"},
      {"ca-samit.asc", "ascii armored key"},
      {"ca-SIGNATUR.ASC", "clear-signed message"},
      {"ca-tsvenson.asc", "ascii armored key"},
      {"ca-WHERE_IS.PGP", "clear-signed message"},  // signature past byte 10140
      {"ca-x.asc", "ascii armored message"},
      {"gnupg-pgp263-test.sec.asc", "ascii armored key"},
      {"pgpsign-message.asc", "ascii armored signature"},
      {"pgpsign-message.sig", "ascii armored signature"},
  });
}

// Sources that quote the armour lines, DOS programs, images: none reported.
TEST(CorpusConfirm, LookAlikes) { expect_corpus_hits("-dc", "negative", {}); }

TEST(CorpusConfirm, CurrentToolOutput) {
  expect_corpus_hits("-dc", "gpg", {
      {"enc-pk-pgp6-idea.gpg", "encrypted"},
      {"enc-pk-rfc2440.gpg", "encrypted"},
      {"enc-pk-z0.asc", "ascii armored message"},
      {"enc-pk-z0.gpg", "encrypted"},
      {"enc-pk-zip.asc", "ascii armored message"},
      {"enc-pk-zip.gpg", "encrypted"},
      {"enc-sym-pgp6-cast5.gpg", "conventional key encryption"},
      {"enc-sym-pgp6-idea.gpg", "conventional key encryption"},
      {"enc-sym-rfc2440-idea.gpg", "conventional key encryption"},
      {"enc-sym-z0.gpg", "conventional key encryption"},
      {"enc-sym-zip.asc", "ascii armored message"},
      {"enc-sym-zip.gpg", "conventional key encryption"},
      {"plain.txt.clearsig.asc", "clear-signed message"},
      {"plain.txt.sig", "signature"},
      {"plain.txt.sig.asc", "ascii armored signature"},
      {"plain.txt.signed.gpg", "compressed data"},
      {"pub.asc", "ascii armored key"},
      {"pub.gpg", "public key certificate"},
      {"sec.asc", "ascii armored key"},
      {"sec.gpg", "secret key certificate"},
  });
}

// Made-up files: what -c drops, what it finds past the first 10140 bytes,
// and the option's forms.
TEST(ConfirmMode, FindsPastTheFirstBytesAndToggles) {
  const std::string uid("\xb4\x04" "ABCD", 6);
  const std::string key = std::string("\x99\x00\x0f\x03\x2c\xb4\xd4\x6e\x00\x00\x01\x00\x09"
                                      "\x01\xff\x00\x05\x11", 18) + uid;
  std::string ring = key;
  while (ring.size() < 12000)
    ring += uid;
  temp_tree t;
  t.write("key.pgp", key);
  t.write("ring.pgp", ring);                          // cut at 10140: read on
  t.write("spoilt.pgp", ring + "not a packet");      // so the rest is parsed
  t.write("prog.com", "\xb4\x09\xba\x10\x01\xcd\x21\xcd\x20\x24\x24");  // DOS: user id?
  t.write("late.txt", std::string(12000, 'x') + "\n-----BEGIN PGP SIGNATURE-----\n\n"
                      "iBYDBQAstNRuAQIDBAUGBwgBAaq7AAif\n=Twx9\n-----END PGP SIGNATURE-----\n");
  run_options opt;
  opt.cwd = t.root();
  std::string confirmed = hit(shown(t, "key.pgp"), "public key certificate") +
                          hit(shown(t, "late.txt"), "ascii armored signature") +
                          hit(shown(t, "ring.pgp"), "public key certificate");
  for (const char *on : {"-c", "-C", "-dc"})
    EXPECT_EQ(normalise(run_kivor({"-d", on}, opt).out), run_out(confirmed)) << on;
  std::string first_byte = hit(shown(t, "key.pgp"), "public key certificate") +
                           hit(shown(t, "prog.com"), "user id packet") +
                           hit(shown(t, "ring.pgp"), "public key certificate") +
                           hit(shown(t, "spoilt.pgp"), "public key certificate");
  EXPECT_EQ(normalise(run_kivor({"-d", "-c", "+c"}, opt).out), run_out(first_byte));
}

// An armoured literal packet of 1.8 MB (2.4 MB of text, CR CR LF lines):
// read on through past the 1 MiB held at once; a stray byte near its end
// spoils it.
TEST(ConfirmMode, ReadsOnThroughLongArmour) {
  std::string body = "y/8AG3dGYgAAAAAA";  // the literal packet's header, then NULs
  body.resize(1800012 / 3 * 4, 'A');
  std::string text = "-----BEGIN PGP MESSAGE-----\r\r\n\r\r\n";
  for (size_t i = 0; i < body.size(); i += 64)
    text += body.substr(i, 64) + "\r\r\n";
  text += "=ernL\r\r\n-----END PGP MESSAGE-----\r\r\n";
  std::string spoilt = text;
  spoilt[spoilt.size() - 200] = '*';
  temp_tree t;
  t.write("long.asc", text);
  t.write("spoilt.asc", spoilt);
  run_options opt;
  opt.cwd = t.root();
  EXPECT_EQ(normalise(run_kivor({"-dc"}, opt).out),
            run_out(hit(shown(t, "long.asc"), "ascii armored message")));
}

}  // namespace
