// Mac wrappers written for tests: BinHex 4.0 and MacBinary files around a
// data fork, with their own CRC-16 (kept apart from the program's).
#ifndef KIVOR_TESTS_SUPPORT_MAC_WRITER_H_
#define KIVOR_TESTS_SUPPORT_MAC_WRITER_H_

#include <stdint.h>

#include <string>

// v as n bytes, big-endian.
inline std::string mac_be(uint32_t v, int n) {
  std::string out;
  for (int i = n - 1; i >= 0; i--)
    out += (char)(v >> (8 * i));
  return out;
}

// The CRC-16 of BinHex and MacBinary II (0x1021, from 0) of s, big-endian.
inline std::string mac_crc(const std::string &s) {
  unsigned c = 0;
  for (unsigned char b : s) {
    c ^= (unsigned)b << 8;
    for (int k = 0; k < 8; k++)
      c = (c & 0x8000 ? c << 1 ^ 0x1021 : c << 1) & 0xFFFF;
  }
  return mac_be(c, 2);
}

// A BinHex file of name and data, runs of four or more coded: flip spoils
// a CRC (1 the header's, 2 the data fork's), extra overstates the data
// fork's length.
inline std::string binhex(const std::string &name, const std::string &data, int flip = 0,
                          uint32_t extra = 0) {
  std::string h = (char)name.size() + name + '\0' + "TEXTttxt" + mac_be(0, 2) +
                  mac_be((uint32_t)data.size() + extra, 4) + mac_be(0, 4);
  h += mac_crc(h);
  std::string d = mac_crc(data);
  if (flip == 1)
    h.back() ^= 1;
  if (flip == 2)
    d.back() ^= 1;
  std::string plain = h + data + d + mac_crc(""), runs;
  for (size_t i = 0; i < plain.size();) {  // runs of four or more, and 0x90 escaped
    size_t k = 1;
    while (i + k < plain.size() && plain[i + k] == plain[i] && k < 255)
      k++;
    runs += plain[i] == '\x90' ? std::string("\x90\0", 2) : std::string(1, plain[i]);
    if (k >= 4)
      runs += "\x90" + std::string(1, (char)k);
    i += k >= 4 ? k : 1;
  }
  static const char alphabet[] = "!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr";
  std::string text;
  uint32_t bits = 0;
  int held = 0;
  for (size_t i = 0; i <= runs.size(); i++) {  // the last bits padded with zeros
    bits = bits << 8 | (i < runs.size() ? (unsigned char)runs[i] : 0);
    for (held += 8; held >= 6 && (i < runs.size() || held > 8); held -= 6) {
      text += alphabet[(bits >> (held - 6)) & 63];
      if (text.size() % 65 == 64)
        text += '\n';
    }
  }
  return "(This file must be converted with BinHex 4.0)\r\n\r\n:" + text + ":\n";
}

// A MacBinary file of name and data: version 1 (no CRC), 2 or 3; sec, a
// secondary header's length.
inline std::string macbinary(const std::string &name, const std::string &data, int version = 2,
                             unsigned sec = 0) {
  std::string h(128, '\0');
  h[1] = (char)name.size();
  h.replace(2, name.size(), name);
  h.replace(65, 8, "TEXTttxt");
  h.replace(83, 4, mac_be((uint32_t)data.size(), 4));
  if (version > 1) {
    h.replace(120, 2, mac_be(sec, 2));
    h[122] = (char)(127 + version);
    h[123] = (char)129;
    if (version == 3)
      h.replace(102, 4, "mBIN");
    h.replace(124, 2, mac_crc(h.substr(0, 124)));
  }
  return h + std::string((sec + 127) / 128 * 128, 'S') + data + std::string(-data.size() & 127, '\0');
}

#endif  // KIVOR_TESTS_SUPPORT_MAC_WRITER_H_
