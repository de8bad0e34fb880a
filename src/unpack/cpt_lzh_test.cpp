// Compact Pro's fork decoding: the RLE escapes, and LZH blocks made here
// with codes of one length each, so that a symbol's code is its value.
#include "unpack/cpt_lzh.h"

#include <gtest/gtest.h>

#include <string>

#include "unpack/unpack_test_util.h"

namespace {

// Bits packed first bit highest, as the LZH layer reads them.
struct msb_writer {
  std::string out;
  unsigned hold = 0;
  int held = 0;
  msb_writer &put(unsigned v, int n) {
    for (int i = n - 1; i >= 0; i--) {
      hold = hold << 1 | ((v >> i) & 1u);
      if (++held == 8) {
        out += (char)hold;
        hold = held = 0;
      }
    }
    return *this;
  }
  msb_writer &bytes(const std::string &s) {
    for (unsigned char c : s)
      put(c, 8);
    return *this;
  }
  // A block's codes: every literal 8 bits, every length 6, every distance 7.
  msb_writer &flat_block() {
    return bytes('\x80' + std::string(128, '\x88') + ' ' + std::string(32, '\x66') + '@' +
                 std::string(64, '\x77'));
  }
  msb_writer &literal(char c) { return put(1, 1).put((unsigned char)c, 8); }
  msb_writer &copy(unsigned length, unsigned distance) {
    return put(0, 1).put(length, 6).put(distance >> 6, 7).put(distance & 63, 6);
  }
  std::string done() { return held > 0 ? out + (char)(hold << (8 - held)) : out; }
};

// Two blocks: 0x1FFF0 units of literals (an odd number of bytes, so three
// bytes of padding), then one more literal.
std::string two_blocks() {
  msb_writer w;
  w.flat_block();
  for (int i = 0; i < CPT_BLOCK / 2; i++)
    w.literal('x');
  w.bytes("PAD").flat_block().literal('y');
  return w.done();
}

TEST(CptFork, RleEscapesLzhBlocksAndFaults) {
  struct Case {
    std::string coded;
    bool lzh;
    std::string plain;
    const char *error;  // NULL: decodes to plain; else plain, then the error (a byte more asked)
  } cases[] = {
      {"ab\x81\x82\x04" "c", false, "abbbbc", NULL},
      {"a\x81\x82\x01", false, "a", NULL},  // a run of one adds nothing
      {std::string("\x81\x82\x00\x81\x82\x03", 6), false, "\x81\x82\x82\x82", NULL},
      {"\x81x\x81\x81\x82\x03", false, "\x81x\x81\x81\x81", NULL},  // a plain 0x81, then a run of it
      {"ab\x81", false, "ab\x81", NULL},                               // a plain 0x81 at the end
      {"abcdef", false, "abc", NULL},                                  // the size stops it
      {"ab\x81\x82", false, "ab", "truncated data"},                   // the escape cut off
      {"abc", false, "abc", "truncated data"},
      {"\x81\x82\x05", false, "", "a run with nothing to repeat"},
      {"", false, "", NULL},
      {msb_writer().flat_block().literal('a').literal('b').copy(4, 2).done(), true, "ababab", NULL},
      {msb_writer().flat_block().copy(3, 5).literal('a').done(), true, std::string(3, '\0') + "a",
       NULL},  // before the start: the window's zeros
      {msb_writer().flat_block().literal('a').copy(2, 0).done(), true, std::string("a\0\0", 3),
       NULL},  // distance 0: the whole window back
      {two_blocks(), true, std::string(CPT_BLOCK / 2, 'x') + "y", NULL},
      {msb_writer().bytes("\x02\x11\x10").done(), true, "", "bad code table"},  // over-subscribed
      {msb_writer().bytes("\x81").done(), true, "", "bad code table"},          // 258 lengths
      {msb_writer().bytes(std::string("\x01\x10\x00\x00", 4)).put(0xFFFF, 16).done(), true, "", "bad code"},
      {msb_writer().flat_block().done().substr(0, 100), true, "", "truncated data"},
      {msb_writer().flat_block().literal('a').literal('b').done(), true, "ab", "truncated data"},
  };
  for (const Case &c : cases) {
    for (size_t chunk : {(size_t)1, (size_t)512}) {
      mem_source m = {(const uint8_t *)c.coded.data(), c.coded.size(), 0, chunk, false};
      static cpt_fork_state s;
      cpt_fork_init(&s, mem_pull, &m, c.plain.size() + (c.error ? 1 : 0), c.lzh);
      const char *error;
      std::string out = read_all(&s, cpt_fork_read, 7, &error);
      EXPECT_EQ(out, c.plain) << c.coded.substr(0, 40);
      EXPECT_STREQ(error, c.error) << c.coded.substr(0, 40);
    }
  }
}

}  // namespace
