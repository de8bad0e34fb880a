// The confirming mode's decisions on small hand-made byte strings.
#include "detect/confirm.h"

#include <stdio.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "detect/armour.h"
#include "detect/packets.h"

namespace {

std::vector<uint8_t> hex(const std::string &h) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < h.size();) {
    if (h[i] == ' ') {
      i++;
      continue;
    }
    out.push_back((uint8_t)std::stoi(h.substr(i, 2), nullptr, 16));
    i += 2;
  }
  return out;
}

std::string as_text(const std::string &h) {
  std::vector<uint8_t> b = hex(h);
  return std::string(b.begin(), b.end());
}

// A v3 RSA signature, a v3 public key, a user id.
const std::string S = "8816 0305002cb4d46e 0102030405060708 0101 aabb 00089f";
const std::string SB = "0305002cb4d46e 0102030405060708 0101 aabb 00089f";  // its body
const std::string K = "99000f 032cb4d46e 0000 01 0009 01ff 0005 11";
const std::string U = "b404 41424344";
const std::string PKESK = "840d 03 0102030405060708 01 00089f";
const std::string Z10 = "00000000000000000000";
// The key K with public-key algorithm 100; a v3 ElGamal secret key whose
// secret part is laid out in no known way.
const std::string K100 = "99000f 032cb4d46e 0000 64 0009 01ff 0005 11";
const std::string ELG = "950016 032cb4d46e 0000 10 0009 01ff 0002 02 0005 11 ffff0000";

struct chain_case {
  const char *what;
  std::string bytes;
  bool may_be_cut;
  int want;
  bool want_cut;
};

TEST(PacketChain, AcceptsAndRejects) {
  const chain_case cases[] = {
      {"v3 signature", S, false, CHAIN_SIGNATURE, false},
      {"old two-byte length", "890016" + SB, false, CHAIN_SIGNATURE, false},
      {"new five-byte length", "c2ff00000016" + SB, false, CHAIN_SIGNATURE, false},
      {"v4 signature, subpackets", "c213 04000108 0006 05022cb4d46e 0000 aabb 00089f", false,
       CHAIN_SIGNATURE, false},
      {"key ring: key, trust, user id", K + "b00100" + U, false, CHAIN_PUBLIC_KEY, false},
      {"v4 key", "c60d 042cb4d46e 01 0009 01ff 0005 11", false, CHAIN_PUBLIC_KEY, false},
      {"v3 secret key, IDEA", "950026 032cb4d46e 0000 01 0009 01ff 0005 11 01 0102030405060708"
       " 000800 000800 000800 000800 abcd", false, CHAIN_SECRET_KEY, false},
      {"comment packet first", "d003616263" + K, false, CHAIN_PUBLIC_KEY, false},
      {"signature and literal", S + "ac0a 62 03616263 00000000 78", false, CHAIN_SIGNED, false},
      {"one-pass signed", "900d 03000211 0102030405060708 01 ac0a 62 03616263 00000000 78" + S,
       false, CHAIN_ONE_PASS, false},
      {"marker, session key, data", "a803504750" + PKESK + "a40a" + Z10, false,
       CHAIN_PK_ENCRYPTED, false},
      {"symmetric session key, protected data", "8c04 04010001 d20b01" + Z10, false,
       CHAIN_CONVENTIONAL, false},
      {"PGP 2 conventional", "a60000000a" + Z10, false, CHAIN_CONVENTIONAL, false},
      {"ZIP", "a3 01 0300", false, CHAIN_COMPRESSED, false},
      {"ZLIB", "c805 02 789c 0300", false, CHAIN_COMPRESSED, false},
      {"BZip2", "c806 03 425a6839 31", false, CHAIN_COMPRESSED, false},
      {"uncompressed, a chain inside", "a019 00" + S, false, CHAIN_COMPRESSED, false},
      {"transfer padding", S + "1a1a0000", false, CHAIN_SIGNATURE, false},
      {"private tags, binary", "fe03 000102 fd01 ff" + K + U, false, CHAIN_PUBLIC_KEY, false},
      {"unknown key algorithm, user id", K100 + U, false, CHAIN_PUBLIC_KEY, false},
      {"comment, unknown secret layout, user id", "d003616263" + ELG + U, false,
       CHAIN_SECRET_KEY, false},
      {"cut by the read limit", "8817" + SB, true, CHAIN_SIGNATURE, true},
      {"ends at the read limit", S, true, CHAIN_SIGNATURE, true},

      {"length past the end", "8817" + SB, false, CHAIN_NONE, false},
      {"a length of 4 GiB", "c2ffffffffff" + SB, false, CHAIN_NONE, false},
      {"a length of 4 GiB, cut", "8affffffff" + SB, true, CHAIN_SIGNATURE, true},
      {"trailing bytes", S + "41", false, CHAIN_NONE, false},
      {"signature version 5", "8816 05" + SB.substr(2), false, CHAIN_NONE, false},
      {"unknown signature type", "8816 0503" + SB.substr(4), false, CHAIN_NONE, false},
      {"unknown public-key algorithm", "8816 0305002cb4d46e 0102030405060708 0701 aabb 00089f",
       false, CHAIN_NONE, false},
      {"unknown hash algorithm", "8816 0305002cb4d46e 0102030405060708 0100 aabb 00089f", false,
       CHAIN_NONE, false},
      {"MPI bit count off", "8816 0305002cb4d46e 0102030405060708 0101 aabb 00087f", false,
       CHAIN_NONE, false},
      {"creation time before 1980", "8816 03050000000001 0102030405060708 0101 aabb 00089f",
       false, CHAIN_NONE, false},
      {"subpacket past its area", "c213 04000108 0006 09022cb4d46e 0000 aabb 00089f", false,
       CHAIN_NONE, false},
      {"key version 1", "99000f 012cb4d46e 0000 01 0009 01ff 0005 11", false, CHAIN_NONE, false},
      {"session key version 4", "840d 04 0102030405060708 01 00089f", false, CHAIN_NONE, false},
      {"one-pass nested flag 2", "900d 03000211 0102030405060708 02" + S, false, CHAIN_NONE,
       false},
      {"literal mode x", "ac0a 78 03616263 00000000 78", false, CHAIN_NONE, false},
      {"marker not PGP", "a803504751" + PKESK, false, CHAIN_NONE, false},
      {"user id with a control byte", K + "b404 41420743", false, CHAIN_NONE, false},
      {"trust of three bytes", K + "b003 000000" + U, false, CHAIN_NONE, false},
      {"compression algorithm 4", "a3 04 0300", false, CHAIN_NONE, false},
      {"deflate block type 3", "a3 01 0700", false, CHAIN_NONE, false},
      {"zlib header check", "c805 02 789d 0300", false, CHAIN_NONE, false},
      {"indeterminate length, not data", "8b" + SB, false, CHAIN_NONE, false},
      {"bare conventional data, no length", "a7" + Z10, false, CHAIN_NONE, false},
      {"unknown tag 15", "bc03 000000", false, CHAIN_NONE, false},
      {"private tag, user id, nothing material", "fe03 000102" + U, false, CHAIN_NONE, false},
      {"unknown key algorithm alone", K100 + "b00100", false, CHAIN_NONE, false},
      {"unknown key algorithm, MPI bit count off",
       "99000f 032cb4d46e 0000 64 0008 01ff 0005 11" + U, false, CHAIN_NONE, false},
      {"unknown secret layout alone", ELG, false, CHAIN_NONE, false},
      {"nothing material", U, false, CHAIN_NONE, false},
      {"a lone header byte", "89", true, CHAIN_NONE, false},
  };
  for (const chain_case &c : cases) {
    std::vector<uint8_t> b = hex(c.bytes);
    bool cut = !c.want_cut;
    EXPECT_EQ(parse_packet_chain(b.data(), (long)b.size(), c.may_be_cut, &cut), c.want) << c.what;
    EXPECT_EQ(cut, c.want_cut) << c.what;
  }
}

// New-format partial lengths: a first chunk of at least 512 bytes, for data
// packets only, and a chain of chunks that never ends is not confirmed.
TEST(PacketChain, PartialLengths) {
  std::vector<uint8_t> lit = {0xCB, 0xE9, 'b', 0, 0, 0, 0, 0};
  lit.resize(2 + 512, 'x');
  std::vector<uint8_t> whole = lit;
  whole.insert(whole.end(), {0x02, 'y', 'z'});
  EXPECT_EQ(parse_packet_chain(whole.data(), (long)whole.size(), false, NULL), CHAIN_LITERAL);

  std::vector<uint8_t> small = whole;
  small[1] = 0xE8;  // a first chunk of 256
  EXPECT_EQ(parse_packet_chain(small.data(), (long)small.size(), false, NULL), CHAIN_NONE);
  std::vector<uint8_t> not_data = whole;
  not_data[0] = 0xC2;
  EXPECT_EQ(parse_packet_chain(not_data.data(), (long)not_data.size(), false, NULL), CHAIN_NONE);

  std::vector<uint8_t> endless = lit;
  while (endless.size() < 20000)
    endless.insert(endless.end(), {0xE0, 'q'});  // one-byte chunks
  bool cut = false;
  EXPECT_EQ(parse_packet_chain(endless.data(), (long)endless.size(), false, &cut), CHAIN_NONE);
  EXPECT_EQ(parse_packet_chain(endless.data(), (long)endless.size(), true, &cut), CHAIN_LITERAL);
  EXPECT_TRUE(cut);
}

const std::string SIG_BODY = "iBYDBQAstNRuAQIDBAUGBwgBAaq7AAif\n";
std::string block(const std::string &type, const std::string &body, const std::string &crc) {
  return "-----BEGIN PGP " + type + "-----\nVersion: 2.6.2\n\n" + body + crc +
         "-----END PGP " + type + "-----\n";
}
const std::string SIGA = block("SIGNATURE", SIG_BODY, "=Twx9\n");

// bytes as radix-64 lines and a CRC line, after a BEGIN line of type and
// the header lines head.
std::string armoured(const std::string &type, const std::string &head, const std::string &h) {
  static const char r64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::vector<uint8_t> b = hex(h);
  uint32_t crc = 0xB704CE;
  std::string body;
  for (size_t i = 0; i < b.size(); i++) {
    crc ^= (uint32_t)b[i] << 16;
    for (int k = 0; k < 8; k++)
      crc = crc << 1 & 0x1000000 ? (crc << 1 ^ 0x1864CFB) : crc << 1;
  }
  crc &= 0xFFFFFF;
  for (size_t i = 0; i < b.size(); i += 3) {
    uint32_t x = (uint32_t)b[i] << 16 | (i + 1 < b.size() ? b[i + 1] << 8 : 0) |
                 (i + 2 < b.size() ? b[i + 2] : 0);
    for (size_t k = 0; k < 4; k++)
      body += i + k <= b.size() ? r64[(x >> (18 - 6 * k)) & 63] : '=';
  }
  std::string c;
  for (int k = 0; k < 4; k++)
    c += r64[(crc >> (18 - 6 * k)) & 63];
  return "-----BEGIN PGP " + type + "-----\n" + head + "\n" + body + "\n=" + c +
         "\n-----END PGP " + type + "-----\n";
}

struct armour_case {
  const char *what;
  std::string text;
  bool may_be_cut;
  int want;
  bool want_past;
};

TEST(Armour, FindsAndRejects) {
  std::string crlf, crcrlf;
  for (char c : "mail\n" + SIGA) {
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    crcrlf += c == '\n' ? std::string("\r\r\n") : std::string(1, c);
  }
  std::string one_pass_data = armoured("SIGNATURE", "",
      "a803504750 900d 03000211 0102030405060708 01 ac0a 62 03616263 00000000 78" + S);
  std::string one_pass_bare = one_pass_data;
  one_pass_bare.erase(one_pass_bare.find("\n=") + 1, 6);  // its CRC line
  const std::string old_header = "-----BEGIN PGP SIGNATURE-----\nVersion 2.3a\n\n" + SIG_BODY;
  const std::string signed_text = "-----BEGIN PGP SIGNED MESSAGE-----\nHash: SHA1\n\nhello\n"
                                  "- -----BEGIN PGP MESSAGE-----\n";
  const armour_case cases[] = {
      {"signature block", SIGA, false, ARMOUR_SIGNATURE, false},
      {"after text, CRLF lines", crlf, false, ARMOUR_SIGNATURE, false},
      {"after a NUL byte", std::string("\0bin\n", 5) + SIGA, false, ARMOUR_SIGNATURE, false},
      {"no CRC line", block("SIGNATURE", SIG_BODY, ""), false, ARMOUR_SIGNATURE, false},
      {"no blank line", "-----BEGIN PGP SIGNATURE-----\n" + SIG_BODY + "-----END PGP SIGNATURE-----\n",
       false, ARMOUR_SIGNATURE, false},
      {"a MESSAGE of a signature", block("MESSAGE", SIG_BODY, "=Twx9\n"), false,
       ARMOUR_SIGNATURE, false},
      {"key block", block("PUBLIC KEY BLOCK", "mQAPAyy01G4AAAEACQH/AAURtARBQkNE\n", "=Rei6\n"),
       false, ARMOUR_KEY, false},
      {"clear-signed", signed_text + SIGA, false, ARMOUR_CLEAR_SIGNED, false},
      {"armored file, CRC", block("ARMORED FILE", "aGVsbG8sIHdvcmxkCg==\n", "=FOuc\n"), false,
       ARMOUR_FILE, false},
      {"later part", block("MESSAGE, PART 02/03", "aGVsbG8sIHdvcmxkCg==\n", ""), false,
       ARMOUR_MESSAGE, false},
      {"later part of a file, its CRC",
       block("ARMORED FILE, PART 2/3", "aGVsbG8sIHdvcmxkCg==\n", "=FOuc\n"), false, ARMOUR_FILE,
       false},
      {"later part of a file, no CRC", block("ARMORED FILE, PART 3", "aGVsbG8sIHdvcmxkCg==\n", ""),
       false, ARMOUR_FILE, false},
      {"a bad block, then a good one", block("SIGNATURE", "!!!!\n", "") + SIGA, false,
       ARMOUR_SIGNATURE, false},
      {"CR CR LF lines", crcrlf, false, ARMOUR_SIGNATURE, false},
      {"marker and one-pass before a signature",
       armoured("SIGNATURE", "", "a803504750 900d 03000211 0102030405060708 01" + S), false,
       ARMOUR_SIGNATURE, false},
      {"header line not Key: value, CRC", old_header + "=Twx9\n-----END PGP SIGNATURE-----\n",
       false, ARMOUR_SIGNATURE, false},
      {"type outside the list, CRC", armoured("PUBLIC KEY", "", K + U), false, ARMOUR_KEY, false},
      {"type that does not fit, CRC", armoured("SIGNATURE", "", K + U), false, ARMOUR_KEY, false},
      {"marker and one-pass, then data, CRC", one_pass_data, false, ARMOUR_MESSAGE, false},

      {"armored file, no CRC", block("ARMORED FILE", "aGVsbG8sIHdvcmxkCg==\n", ""), false,
       ARMOUR_NONE, false},
      {"wrong CRC", block("SIGNATURE", SIG_BODY, "=Twx8\n"), false, ARMOUR_NONE, false},
      {"later part, wrong CRC", block("MESSAGE, PART 02/03", "aGVsbG8sIHdvcmxkCg==\n", "=FOud\n"),
       false, ARMOUR_NONE, false},
      {"later part of a file, wrong CRC",
       block("ARMORED FILE, PART 2/3", "aGVsbG8sIHdvcmxkCg==\n", "=FOud\n"), false, ARMOUR_NONE,
       false},
      {"bad radix-64", block("SIGNATURE", "iBYDBQAstNRuAQ*DBAUGBwgBAaq7AAif\n", ""), false,
       ARMOUR_NONE, false},
      {"a key where a signature belongs",
       block("SIGNATURE", "mQAPAyy01G4AAAEACQH/AAURtARBQkNE\n", ""), false, ARMOUR_NONE, false},
      {"unknown type", block("TEXT", SIG_BODY, ""), false, ARMOUR_NONE, false},
      {"header line not Key: value, no CRC", old_header + "-----END PGP SIGNATURE-----\n", false,
       ARMOUR_NONE, false},
      {"type outside the list, CRC, no packets", armoured("PUBLIC KEY", "", "41424344"), false,
       ARMOUR_NONE, false},
      {"marker and one-pass, then data, no CRC", one_pass_bare,
       false, ARMOUR_NONE, false},
      {"quoted in source", "s = \"-----BEGIN PGP SIGNATURE-----\";\n" + SIGA.substr(30), false,
       ARMOUR_NONE, false},
      {"more on the header line", "-----BEGIN PGP SIGNATURE-----\\n\\\n\n" + SIG_BODY, false,
       ARMOUR_NONE, false},
      {"no end line", SIGA.substr(0, SIGA.size() - 28), false, ARMOUR_NONE, false},
      {"no end line, cut", SIGA.substr(0, SIGA.size() - 28), true, ARMOUR_NONE, true},
      {"signed text, no signature", signed_text, false, ARMOUR_NONE, false},
      {"signed text, cut", signed_text, true, ARMOUR_NONE, true},
  };
  std::vector<uint8_t> scratch(4096);
  for (const armour_case &c : cases) {
    bool past = !c.want_past;
    EXPECT_EQ(find_armour((const uint8_t *)c.text.data(), (long)c.text.size(), c.may_be_cut,
                          scratch.data(), (long)scratch.size(), &past),
              c.want)
        << c.what;
    EXPECT_EQ(past, c.want_past) << c.what;
  }
  EXPECT_EQ(find_armour((const uint8_t *)SIGA.data(), (long)SIGA.size(), false, scratch.data(),
                        8, NULL),
            ARMOUR_NONE);  // a scratch buffer too small for the text
}

// A block read on through in pieces: lines (and CR CR LF line ends) split
// across them, the decoded bytes kept in part or in full; a stray byte
// after the bytes kept still spoils it.
TEST(Armour, ReadsOnThroughInPieces) {
  std::string text;
  for (char c : SIGA)
    text += c == '\n' ? std::string("\r\r\n") : std::string(1, c);
  std::string spoilt = text;
  spoilt[spoilt.find("AAif")] = '*';
  uint8_t scratch[64];
  for (size_t piece : {1, 2, 7, 500}) {
    for (long kept : {8L, 64L}) {
      for (const std::string *t : {&text, &spoilt}) {
        armour_stream s;
        armour_stream_begin(&s);
        std::string held;
        for (size_t at = 0; at < t->size() && !armour_stream_done(&s);) {
          held += t->substr(at, piece);
          at += piece;
          long used = armour_stream_feed(&s, (const uint8_t *)held.data(), (long)held.size(),
                                         at >= t->size(), scratch, kept);
          held.erase(0, (size_t)used);
        }
        EXPECT_EQ(armour_stream_result(&s, scratch), t == &text ? ARMOUR_SIGNATURE : ARMOUR_NONE)
            << piece << " " << kept;
      }
    }
  }
}

// What the rules for unknown contents let through, tried on random bytes
// behind each of them: private packets, a key of an unknown algorithm or
// with an unknown secret part (each followed by a user id, so that only the
// packet's own checks stand in the way), armour judged by its CRC alone.
TEST(Confirm, LoosenedRulesKeepRandomDataOut) {
  std::mt19937 rng(1993);
  std::vector<uint8_t> scratch(CONFIRM_SCRATCH);
  int confirmed = 0;
  for (int round = 0; round < 6000; round++) {
    std::string tail;
    for (int k = 8 + rng() % 120; k > 0; k--) {
      char two[3];
      snprintf(two, sizeof two, "%02x", (unsigned)(rng() & 0xFF));
      tail += two;
    }
    std::string h;
    switch (round % 4) {
      case 0: h = "fe" + tail; break;
      case 1: h = "032cb4d46e 0000 64" + tail; break;
      case 2: h = "032cb4d46e 0000 10" + tail; break;
      default: h = tail; break;
    }
    size_t size = hex(h).size();
    char len[3];
    snprintf(len, sizeof len, "%02x", (unsigned)size);
    std::string text;
    if (round % 4 == 1)
      text = as_text("c6" + std::string(len) + h + U);
    else if (round % 4 == 2)
      text = as_text("c5" + std::string(len) + h + U);
    else if (round % 4 == 0)
      text = as_text(h);
    else
      text = armoured("PUBLIC KEY", "Version 2.3a\n", h);
    confirmed += confirm_buffer((const uint8_t *)text.data(), (long)text.size(), round & 1,
                                scratch.data(), (long)scratch.size(), NULL) != CONFIRM_NONE;
  }
  EXPECT_EQ(confirmed, 0);
}

// Mutations of valid inputs, each in a buffer of its exact size: under the
// sanitizers any read past it, and any hang, shows here.  In any build the
// answer is a kind, one that only a cut file may want more bytes for, and
// the same when other bytes follow the range and the scratch holds another
// run's leftovers: nothing outside the range given decides it.
TEST(Confirm, MutatedInputsStayInBounds) {
  const std::string seeds[] = {
      as_text(K + "b00100" + U),
      as_text("a803504750" + PKESK + "a40a" + Z10),
      as_text("a019 00" + S),
      "x\n-----BEGIN PGP SIGNED MESSAGE-----\n\nhi\n" + SIGA,
      block("MESSAGE, PART 1/2", "mQAPAyy01G4AAAEACQH/AAURtARBQkNE\n", "=Rei6\n"),
  };
  std::mt19937 rng(1991);
  std::vector<uint8_t> scratch(CONFIRM_SCRATCH);
  EXPECT_EQ(confirm_buffer((const uint8_t *)seeds[3].data(), (long)seeds[3].size(), false,
                           scratch.data(), (long)scratch.size(), NULL),
            CONFIRM_CLEAR_SIGNED);
  for (int round = 0; round < 20000; round++) {
    std::string s = seeds[round % 5];
    for (int k = rng() % 4; k >= 0; k--) {
      size_t at = rng() % s.size();
      switch (rng() % 3) {
        case 0: s[at] = (char)rng(); break;
        case 1: s.erase(at, 1 + rng() % 8); break;
        default: s.insert(at, 1, "\xff\xe0=-\n\0"[rng() % 6]); break;
      }
      if (s.empty())
        s = "x";
    }
    std::vector<uint8_t> exact(s.begin(), s.end());
    const bool cut = round & 1;
    bool more = false, more_again = false;
    int kind = confirm_buffer(exact.data(), (long)exact.size(), cut, scratch.data(),
                              (long)scratch.size(), &more);
    ASSERT_TRUE(kind >= CONFIRM_NONE && kind < CONFIRM_KINDS) << round;
    ASSERT_TRUE(cut || !more) << round;
    std::vector<uint8_t> padded(exact);
    padded.insert(padded.end(), 64, (uint8_t)"=\n-\xff"[round % 4]);
    std::fill(scratch.begin(), scratch.begin() + (long)exact.size(), (uint8_t)round);  // all it needs
    ASSERT_EQ(confirm_buffer(padded.data(), (long)exact.size(), cut, scratch.data(),
                             (long)scratch.size(), &more_again),
              kind)
        << round;
    ASSERT_EQ(more_again, more) << round;
  }
}

}  // namespace
