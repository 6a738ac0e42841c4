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
