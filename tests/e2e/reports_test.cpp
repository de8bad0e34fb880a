// The reports for other programs (--json, --csv) and the key inventory
// (--keys), read back as those programs read them: each line through a
// JSON parser, the table through a CSV reader.
#include <nettle/md5.h>
#include <nettle/sha2.h>

#include <nlohmann/json.hpp>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expect.h"
#include "runner.h"

namespace {

using json = nlohmann::json;

std::vector<json> json_lines(const std::string &out) {
  std::vector<json> lines;
  for (size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1) {
    try {
      lines.push_back(json::parse(out.substr(at, end - at)));
    } catch (const json::exception &e) {
      ADD_FAILURE() << e.what() << " in: " << out.substr(at, end - at);
    }
  }
  return lines;
}

// A strict reader of RFC 4180 text: rows ended by CRLF, fields quoted with
// doubled quotes inside.  A stray quote fails the test.
std::vector<std::vector<std::string>> csv_rows(const std::string &text) {
  std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
  for (size_t i = 0; i < text.size(); i++) {
    std::string &field = rows.back().back();
    char c = text[i];
    if (c == '"' && field.empty()) {
      size_t close = i + 1;
      for (; close < text.size(); close++) {
        if (text[close] == '"' && close + 1 < text.size() && text[close + 1] == '"')
          field += text[close++];
        else if (text[close] == '"')
          break;
        else
          field += text[close];
      }
      i = close;
      EXPECT_TRUE(i + 1 >= text.size() || text[i + 1] == ',' || text[i + 1] == '\r') << field;
    } else if (c == ',') {
      rows.back().emplace_back();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      i++;
      if (i + 1 < text.size())
        rows.emplace_back(1);
    } else {
      EXPECT_NE(c, '"') << "a quote inside an unquoted field";
      EXPECT_NE(c, '\n') << "a bare line feed";
      field += c;
    }
  }
  return rows;
}

std::string file_bytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The table as written: the runner hands the Windows build's text over with
// LF line ends, where the file has CRLF.
std::vector<std::vector<std::string>> csv_table(const std::string &out) {
  if (!windows_target())
    return csv_rows(out);
  std::string crlf;
  for (char c : out)
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return csv_rows(crlf);
}

std::string hex(const uint8_t *b, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; i++)
    s += {digits[b[i] >> 4], digits[b[i] & 15]};
  return s;
}

std::string sha256_of(const std::string &bytes) {
  sha256_ctx c;
  sha256_init(&c);
  sha256_update(&c, bytes.size(), (const uint8_t *)bytes.data());
  uint8_t d[SHA256_DIGEST_SIZE];
  sha256_digest(&c, sizeof d, d);
  return hex(d, sizeof d);
}

std::string upper(std::string s) {
  for (char &c : s)
    c = (char)toupper((unsigned char)c);
  return s;
}

// ------------------------------------------------------------- packets

std::string packet(int tag, const std::string &body) {
  return std::string{(char)(0x81 | tag << 2), (char)(body.size() >> 8), (char)body.size()} + body;
}

std::string be32(uint32_t x) {
  return {(char)(x >> 24), (char)(x >> 16), (char)(x >> 8), (char)x};
}

// A number as it is sent: its exact bit count, then its bytes.
std::string mpi(const std::string &bytes) {
  unsigned bits = (unsigned)bytes.size() * 8;
  for (int top = (unsigned char)bytes[0]; top < 0x80; top <<= 1)
    bits--;
  return std::string{(char)(bits >> 8), (char)bits} + bytes;
}

// A version 3 RSA key of 512 bits whose modulus ends in the eight bytes of
// id (its key ID), created at when.
struct rsa_key {
  std::string n, e = "\x01\x00\x01";
  uint32_t when;
  std::string body(bool secret) const {
    // A secret key's part: IDEA, its IV, four numbers and a checksum.
    std::string hidden = "\x01" + std::string(8, 0);
    for (int i = 0; i < 4; i++)
      hidden += mpi(std::string(32, '\x44'));
    return std::string{3} + be32(when) + std::string(2, 0) + "\x01" + mpi(n) + mpi(e) +
           (secret ? hidden + std::string(2, 0) : "");
  }
  std::string fingerprint() const {
    md5_ctx c;
    md5_init(&c);
    md5_update(&c, n.size(), (const uint8_t *)n.data());
    md5_update(&c, e.size(), (const uint8_t *)e.data());
    uint8_t d[MD5_DIGEST_SIZE];
    md5_digest(&c, sizeof d, d);
    return upper(hex(d, sizeof d));
  }
};

rsa_key make_key(const std::string &id, uint32_t when) {
  return {"\xC1" + std::string(55, '\x5A') + id, "\x01\x00\x01", when};
}

std::string signature(const std::string &signer, int type, uint32_t when) {
  return packet(2, std::string{3, 5, (char)type} + be32(when) + signer + "\x01\x01\xAB\xCD" +
                       mpi(std::string(64, '\x33')));
}

const std::string kId1 = "\x11\x22\x33\x44\x55\x66\x77\x88", kId2 = "\x99\xAA\xBB\xCC\xDD\xEE\x01\x02";

// ---------------------------------------------------------------- tests

// The samples, all of them, as JSON Lines and as CSV: every line parses;
// the console says what the plain -c run says; each file's size and
// SHA-256 are its bytes'; keys as an independent packet dump gives them;
// the CSV rows are the JSON hits.
TEST(Reports, SamplesReadBackByParsers) {
  const std::string corpus = corpus_dir();
  if (corpus.empty())
    GTEST_SKIP() << "the sample files are not here";
  const std::string root = target_path(corpus);
  std::vector<std::string> args = {root, "-r", "-a", "-c"};
  run_result plain = run_kivor(args);
  args.push_back("--json");
  run_result j = run_kivor(args);
  ASSERT_EQ(j.status, 0) << j.err;
  EXPECT_EQ(normalise(j.err), normalise(plain.err));  // the console is unchanged

  std::vector<json> lines = json_lines(j.out);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.front()["type"], "run");
  EXPECT_EQ(lines.front()["command"].back(), "--json");
  const json &summary = lines.back();
  EXPECT_EQ(summary["type"], "summary");
  EXPECT_EQ(summary["status"], 0);
  EXPECT_EQ(summary["termination"], "Normal termination");
  std::vector<json> hits(lines.begin() + 1, lines.end() - 1);
  EXPECT_EQ(summary["hits"], hits.size());

  struct {
    const char *file, *key_id, *fingerprint;
    int bits;
    const char *created;
    bool subkey;
  } keys[] = {
      {"sbcl-pubring.pgp", "777C87C03578B001", "85CE1CBA798D518CB925FBEEE0C3E57C", 1024,
       "1999-11-18T19:30:59Z", false},  // version 3: MD5 of n and e
      {"pgpsign-pubring.pkr", "F985E3400AFC7476", "18CFB0C8368A36A886F566A2F985E3400AFC7476",
       1024, "1999-02-10T03:12:53Z", false},  // version 4: SHA-1
      {"pgpsign-pubring.pkr", "54A89016A4001A65", "ACAB6B45ED9F9A9A397B4CD554A89016A4001A65",
       1024, "1999-02-10T03:13:45Z", true},
  };
  int files = 0, keys_seen = 0;
  for (const json &h : hits) {
    ASSERT_EQ(h["type"], "hit");
    EXPECT_TRUE(h["confirmed"].is_boolean());
    if (!h["member"].is_null())
      continue;
    std::string rel = h["path"].get<std::string>().substr(root.size());
    for (char &c : rel)
      c = c == '\\' ? '/' : c;
    std::string bytes = file_bytes(corpus + rel);
    EXPECT_EQ(h["size"], bytes.size()) << rel;
    EXPECT_EQ(h["sha256"], sha256_of(bytes)) << rel;
    files++;
    for (const auto &k : keys) {
      if (rel.size() < strlen(k.file) || rel.compare(rel.size() - strlen(k.file), std::string::npos, k.file) != 0)
        continue;
      for (const json &m : h["material"]["keys"]) {
        if (m["key_id"] != k.key_id)
          continue;
        keys_seen++;
        EXPECT_EQ(m["fingerprint"], k.fingerprint);
        EXPECT_EQ(m["bits"], k.bits);
        EXPECT_EQ(m["created"], k.created);
        EXPECT_EQ(m["subkey"], k.subkey);
      }
    }
  }
  EXPECT_GT(files, 50);
  EXPECT_EQ(keys_seen, 3);

  args.back() = "--csv";
  run_result c = run_kivor(args);
  ASSERT_EQ(c.status, 0);
  std::vector<std::vector<std::string>> rows = csv_table(c.out);
  ASSERT_EQ(rows.size(), hits.size() + 1);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"path", "container", "member", "kind", "confirmed",
                                               "size", "modified", "sha256", "key_ids",
                                               "user_ids", "signers", "recipients"}));
  for (size_t i = 0; i < hits.size(); i++) {
    ASSERT_EQ(rows[i + 1].size(), 12u) << i;
    EXPECT_EQ(rows[i + 1][0], hits[i]["path"]);
    EXPECT_EQ(rows[i + 1][2], hits[i]["member"].is_null() ? "" : hits[i]["member"]);
    EXPECT_EQ(rows[i + 1][3], hits[i]["kind"]);
    EXPECT_EQ(rows[i + 1][7], hits[i]["sha256"]);
  }
}

// Made-up material that tries every way to break a line or a field: user
// IDs with quotes, commas, tabs, DEL and bytes that are not UTF-8, and
// (POSIX) file names with quotes, commas, line ends and such bytes; a key ring, a message and a
// signature that refer to each other, for the inventory.
TEST(Reports, HostileNamesAndTheInventory) {
  temp_tree t;
  rsa_key k1 = make_key(kId1, 780000000), k2 = make_key(kId2, 790000000);
  // (-c takes no user ID with a line end or other control byte but tab.)
  const std::string uid = "Eve \"the\",\t<eve@example.org>\x7f\xE9";
  t.write("ring.pgp", packet(6, k1.body(false)) + packet(13, uid) + signature(kId1, 0x10, 780000001));
  t.write("sec.pgp", packet(5, k1.body(true)) + packet(13, "Eve"));
  const std::string message = packet(1, std::string{3} + kId1 + "\x01" + mpi(std::string(64, 7))) +
                              packet(1, std::string{3} + kId2 + "\x01" + mpi(std::string(64, 7))) +
                              packet(9, std::string(40, '\x42'));
  const std::string odd = windows_target() ? "msg, 1.pgp" : "msg, \"1\"\n\xE9.pgp";
  t.write(odd, message);
  t.write("doc.sig", signature(kId2, 0x00, 800000000));

  run_result j = run_kivor({arg_path(t, ""), "-c", "--keys", "--json", "-d"});
  ASSERT_EQ(j.status, 0) << j.err;
  std::vector<json> lines = json_lines(j.out);
  std::map<std::string, json> by_name, keys;  // hits by their last component
  for (const json &o : lines) {
    if (o["type"] == "hit") {
      std::string p = o["path"];
      by_name[p.substr(p.find_last_of("/\\") + 1)] = o;
    } else if (o["type"] == "key") {
      keys[o["key_id"]] = o;
    }
  }
  ASSERT_EQ(by_name.size(), 4u) << j.out;
  const json &ring = by_name["ring.pgp"]["material"];
  EXPECT_EQ(ring["keys"][0]["key_id"], "1122334455667788");
  EXPECT_EQ(ring["keys"][0]["fingerprint"], k1.fingerprint());
  EXPECT_EQ(ring["keys"][0]["user_ids"][0], "Eve \"the\",\t<eve@example.org>\x7f\xEF\xBF\xBD");
  EXPECT_EQ(ring["signatures"][0]["signer"], "1122334455667788");
  const json &msg = by_name[windows_target() ? odd : "msg, \"1\"\n\xEF\xBF\xBD.pgp"];
  EXPECT_EQ(msg["material"]["recipients"], (json{"1122334455667788", "99AABBCCDDEE0102"}));
  if (!windows_target()) {
    EXPECT_EQ(msg["path_hex"], hex((const uint8_t *)t.path(odd).data(), t.path(odd).size()));
  }

  // Key 1: found twice, a secret key among them, its first user ID, one
  // signature and one message; key 2: only referred to.
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys["1122334455667788"]["places"], 2);
  EXPECT_EQ(keys["1122334455667788"]["secret"], true);
  EXPECT_EQ(keys["1122334455667788"]["signatures"], 1);
  EXPECT_EQ(keys["1122334455667788"]["messages"], 1);
  EXPECT_EQ(keys["1122334455667788"]["created"], "1994-09-19T18:40:00Z");
  EXPECT_EQ(keys["99AABBCCDDEE0102"]["found"], false);
  EXPECT_EQ(keys["99AABBCCDDEE0102"]["signatures"], 1);
  EXPECT_EQ(keys["99AABBCCDDEE0102"]["messages"], 1);

  // The CSV table keeps one row a hit whatever the names hold.
  run_result c = run_kivor({arg_path(t, ""), "-c", "--csv", "-d"});
  std::vector<std::vector<std::string>> rows = csv_table(c.out);
  ASSERT_EQ(rows.size(), 5u);
  for (const auto &row : rows)
    EXPECT_EQ(row.size(), 12u);

  // As text, after the hit lines, names and user IDs shown as every name is.
  run_result k = run_kivor({arg_path(t, "ring.pgp"), arg_path(t, "doc.sig"), "-d", "--keys"});
  std::string inventory = normalise(k.out).substr(normalise(k.out).find("\nKeys:"));
  EXPECT_EQ(inventory,
            "\nKeys: 1 found, 1 referred to but not found\n"
            "1122334455667788  RSA 512 bits, created 1994-09-19\n"
            "    Eve \"the\",?<eve@example.org>?\xE9\n"
            "    in 1 place, the first: " + shown(t, "ring.pgp") + "\n"
            "    1 signature and 0 encrypted messages refer to it\n"
            "99AABBCCDDEE0102  not found\n"
            "    1 signature and 0 encrypted messages refer to it\n");
}

}  // namespace
