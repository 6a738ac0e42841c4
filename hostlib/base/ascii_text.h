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

} // namespace zal
