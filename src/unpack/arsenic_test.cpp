#include "unpack/arsenic.h"

#include <algorithm>
#include <memory>

#include <gtest/gtest.h>

#include "unpack/unpack_test_util.h"

namespace {

// What the stream says, symbol by symbol: model 0 is the two-symbol one,
// 1 the selector, 2 + k move-to-front model k (positions 2^(k+1) up).
struct item {
  int model;
  unsigned sym;
};

// An arithmetic coder doing what the decoder undoes, over the same models.
std::string encode(const std::vector<item> &script) {
  static const unsigned inc[9] = {1, 8, 8, 4, 4, 4, 2, 2, 1};
  static const unsigned n[9] = {2, 11, 2, 4, 8, 16, 32, 64, 128};  // and the first of 2 up
  std::vector<unsigned> freq[9];
  for (int k = 0; k < 9; k++)
    freq[k].assign(n[k], inc[k]);
  std::vector<int> bits;
  uint64_t low = 0, range = 1 << 25;
  for (const item &it : script) {
    std::vector<unsigned> &f = freq[it.model];
    unsigned total = 0, below = 0, i = it.sym - (it.model < 2 ? 0 : n[it.model]);
    for (unsigned k = 0; k < f.size(); k++)
      total += f[k], below += k < i ? f[k] : 0;
    uint64_t unit = range / total;
    low += unit * below;
    range = below + f[i] == total ? range - unit * below : unit * f[i];
    if (low >> 26) {  // a carry into the bits given
      size_t k = bits.size();
      while (bits[--k] == 1)
        bits[k] = 0;
      bits[k] = 1;
      low &= (1 << 26) - 1;
    }
    for (; range <= 1 << 24; range <<= 1, low = (low << 1) & ((1 << 26) - 1))
      bits.push_back((int)(low >> 25) & 1);
    f[i] += inc[it.model];
    if (total + inc[it.model] > (it.model == 0 ? 256u : 1024u))
      for (unsigned &v : f)
        v = (v + 1) / 2;
    if (it.model == 1 && it.sym == 10)  // a block's end resets all but model 0
      for (int k = 1; k < 9; k++)
        freq[k].assign(n[k], inc[k]);
  }
  for (int k = 25; k >= 0; k--)
    bits.push_back((int)(low >> k) & 1);
  std::string out((bits.size() + 7) / 8, '\0');
  for (size_t k = 0; k < bits.size(); k++)
    out[k / 8] = (char)(out[k / 8] | bits[k] << (7 - k % 8));
  return out;
}

void number(std::vector<item> &s, uint32_t v, int n) {
  for (int i = 0; i < n; i++)
    s.push_back({0, (v >> i) & 1});
}

void run(std::vector<item> &s, uint32_t n) {  // bijective base 2, digit 1 or 2
  for (; n > 0; n = (n - 1) / 2)
    s.push_back({1, n % 2 == 0 ? 1u : 0u});
}

// text compressed in blocks of 2^bits, each holding chunk bytes of it.
std::vector<item> compress(const std::string &text, int bits = 9, size_t chunk = 200) {
  std::vector<item> s;
  number(s, 'A', 8);
  number(s, 's', 8);
  number(s, (uint32_t)bits - 9, 4);
  for (size_t at = 0; at < text.size(); at += chunk) {
    std::string in = text.substr(at, chunk), b;
    for (size_t i = 0; i < in.size();) {  // runs of four, then a count
      size_t n = 1;
      while (i + n < in.size() && in[i + n] == in[i] && n < 4 + 255)
        n++;
      b += in.substr(i, std::min<size_t>(n, 4));
      if (n >= 4)
        b += (char)(n - 4);
      i += n;
    }
    size_t len = b.size();
    std::vector<size_t> rot(len);
    for (size_t i = 0; i < len; i++)
      rot[i] = i;
    std::sort(rot.begin(), rot.end(), [&](size_t x, size_t y) {
      return (b.substr(x) + b.substr(0, x)) < (b.substr(y) + b.substr(0, y));
    });
    number(s, 0, 1);  // more follows
    number(s, 0, 1);  // not randomised
    number(s, (uint32_t)(std::find(rot.begin(), rot.end(), 0) - rot.begin()), bits);
    std::string order;
    for (int c = 0; c < 256; c++)
      order += (char)c;
    uint32_t zeros = 0;
    for (size_t r : rot) {
      size_t pos = order.find(b[(r + len - 1) % len]);
      if (pos == 0) {
        zeros++;
        continue;
      }
      run(s, zeros);
      zeros = 0;
      int k = 0;
      while ((pos >> (k + 1)) > 1)
        k++;
      s.push_back({1, pos == 1 ? 2u : 3u + k});
      if (pos > 1)
        s.push_back({2 + k, (unsigned)pos});
      order = order[pos] + order.substr(0, pos) + order.substr(pos + 1);
    }
    run(s, zeros);
    s.push_back({1, 10});
  }
  number(s, 1, 1);
  number(s, crc32_of(text), 32);
  return s;
}

std::string decode(const std::string &data, uint64_t size, const char **error, size_t count = 4096,
                   bool fail = false) {
  mem_source m = {(const uint8_t *)data.data(), data.size(), 0, 5, fail};
  std::unique_ptr<arsenic_state> s(new arsenic_state);  // not cleared: 16 MiB
  arsenic_init(s.get(), mem_pull, &m, size);
  return read_all(s.get(), arsenic_read, count, error);
}

TEST(Arsenic, RoundTrips) {
  std::string mixed;  // every move-to-front model, over several blocks
  for (int i = 0; i < 1500; i++)
    mixed += (char)(i % 7 == 0 ? i * 37 / 5 : i % 3 == 0 ? 'e' : "the text"[i % 8]);
  for (const std::string &text :
       {std::string(), std::string("banana"), std::string("aaaa"), std::string(300, 'x') + "yyyyy",
        mixed}) {
    for (size_t count : {1, 4096}) {
      const char *error;
      EXPECT_EQ(decode(encode(compress(text)), text.size(), &error, count), text);
      EXPECT_EQ(error, nullptr) << text.size() << ": " << error;
    }
  }
}

TEST(Arsenic, Rejections) {
  std::vector<item> good = compress("banana"), s;
  auto with = [&](size_t at, uint32_t v, int n) {
    std::vector<item> t = good;
    for (int i = 0; i < n; i++)
      t[at + i].sym = (v >> i) & 1;
    return encode(t);
  };
  std::string overrun;  // a run of 600 in a block of 512
  number(s, 'A', 8), number(s, 's', 8), number(s, 0, 4), number(s, 0, 11), run(s, 600);
  s.push_back({1, 10});
  std::string whole = encode(good);
  struct {
    std::string data;
    uint64_t size;
    bool fail;
    const char *error;
  } rows[] = {
      {"", 6, false, "truncated data"},
      {whole.substr(0, whole.size() - 6), 6, false, "truncated data"},
      {whole, 6, true, "read failed"},
      {whole, 5, false, "data longer than stated"},
      {whole, 7, false, "data shorter than stated"},
      {std::string(16, '\xff'), 6, false, "bad arithmetic code"},
      {with(0, 'B', 8), 6, false, "not Arsenic data"},
      {with(16, 14, 4), 6, false, "block size over 4 MiB"},
      {with(21, 1, 1), 6, false, "randomised block, not decoded"},
      {with(22, 6, 9), 6, false, "block origin past its end"},
      {with(good.size() - 1, good.back().sym ^ 1, 1), 6, false, "CRC mismatch"},
      {encode(s), 600, false, "run past the end of the block"},
  };
  for (auto &r : rows) {
    const char *error;
    decode(r.data, r.size, &error, 4096, r.fail);
    EXPECT_STREQ(error, r.error);
  }
}

}  // namespace
