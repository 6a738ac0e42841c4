// Number formatting and the sanitising of names that end up in scene text.
#include "scene/pov_text.h"

#include <charconv>
#include <cstring>

int pov_format_g(char *out, double v) {
  // to_chars with the general format and a precision behaves as printf's
  // "%.6g" in the C locale, including "-0", exponent form and the spelling
  // of infinities and NaNs, without the cost of parsing a format string.
  std::to_chars_result r = std::to_chars(out, out + 31, v, std::chars_format::general, 6);
  *r.ptr = '\0';
  return static_cast<int>(r.ptr - out);
}

namespace {

const int kNameCapacity = 255; // bytes of text in a 256-byte buffer

bool is_control(unsigned char c) { return c < 0x20 || c == 0x7f; }

// Length of the UTF-8 sequence that starts with lead byte c (1 for anything
// that is not a lead byte, so malformed text is still copied byte by byte).
int sequence_length(unsigned char c) {
  if (c >= 0xf0 && c <= 0xf7)
    return 4;
  if (c >= 0xe0)
    return c <= 0xef ? 3 : 1;
  if (c >= 0xc0)
    return 2;
  return 1;
}

// After a cut at n bytes, drops a trailing UTF-8 sequence that lost its tail.
int trim_partial_sequence(const char *out, int n) {
  int lead = n;
  while (lead > 0 && (static_cast<unsigned char>(out[lead - 1]) & 0xc0) == 0x80 && n - lead < 3)
    --lead;
  if (lead == 0)
    return n;
  int want = sequence_length(static_cast<unsigned char>(out[lead - 1]));
  if (want > 1 && n - (lead - 1) < want)
    return lead - 1;
  return n;
}

} // namespace

char *pov_comment_name(char *out, const char *name) {
  int n = 0;
  bool cut = false;
  for (const char *p = name ? name : ""; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    char ch = is_control(c) ? '?' : static_cast<char>(c);
    // A '*' right after '/' (or the reverse) would open or close a block
    // comment; a blank between them keeps the name inside its comment.
    bool split = n > 0 && ((ch == '*' && out[n - 1] == '/') || (ch == '/' && out[n - 1] == '*'));
    if (n + (split ? 2 : 1) > kNameCapacity) {
      cut = true;
      break;
    }
    if (split)
      out[n++] = ' ';
    out[n++] = ch;
  }
  if (cut)
    n = trim_partial_sequence(out, n);
  out[n] = '\0';
  return out;
}

char *pov_safe_file_name(char *s) {
  if (!s)
    return s;
  for (char *p = s; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '"' || c == '\\' || is_control(c))
      *p = '_';
  }
  return s;
}
