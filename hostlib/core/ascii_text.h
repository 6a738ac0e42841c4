// Text helpers that the host's libraries and program share. Lower-casing is
// ASCII only, never the locale's: file types, extensions and registry
// keywords are ASCII, and a process that sets a locale must not change them.
#pragma once

#include <cstddef>
#include <string>

namespace zal {

constexpr char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string ascii_lower(std::string s) {
  for (char &c : s)
    c = ascii_lower(c);
  return s;
}

// Where text, longer than n bytes, can be cut at n bytes or a little less
// without splitting a UTF-8 sequence: backs over the continuation bytes at
// text[n], at most three (a longer run is no character and is cut where it
// is).
inline size_t utf8_cut(const char *text, size_t n) {
  for (int k = 0; k < 3 && n > 0 && (static_cast<unsigned char>(text[n]) & 0xc0) == 0x80; ++k)
    --n;
  return n;
}

// The length of the well-formed UTF-8 sequence that starts text[at] (of
// `size` bytes in all): 1 to 4, or 0 where none starts (a stray or
// missing continuation byte, an overlong form, a surrogate, a code point
// past U+10FFFF).
inline size_t utf8_sequence(const char *text, size_t size, size_t at) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[at + k]); };
  const unsigned char c = byte(0);
  if (c < 0x80)
    return 1;
  const size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
  if (n == 0 || at + n > size)
    return 0;
  // The second byte's range narrows after E0, ED, F0 and F4.
  const unsigned char low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
  const unsigned char high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
  if (byte(1) < low || byte(1) > high)
    return 0;
  for (size_t k = 2; k < n; ++k)
    if ((byte(k) & 0xC0) != 0x80)
      return 0;
  return n;
}

// Appends the UTF-8 bytes of one code point (up to U+10FFFF).
inline void append_utf8(std::string &out, unsigned long code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

} // namespace zal
