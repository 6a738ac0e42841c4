// Number formatting and the sanitising of names that end up in scene text.
#include "base/pov_text.h"
#include "zalbase.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "digits are moved as little-endian words");

// Include files of millions of triangles hold tens of millions of numbers,
// so "%g" is computed here directly: the value is scaled to six digits in
// double precision and rounded. The scaling costs at most two roundings, an
// error far below 1e-9 of a unit of the sixth digit; only when the scaled
// value lies that close to a half (a possible tie, as in 123456.5) is the
// exact and slower to_chars asked, which rounds a tie to even as printf does.
namespace {

// 10^k for k from kLowPower to kHighPower, each the nearest double.
const int kLowPower = -40;
const int kHighPower = 60;

// The compiler rounds each literal to the nearest double.
const double kPowersOfTen[kHighPower - kLowPower + 1] = {
    1e-40, 1e-39, 1e-38, 1e-37, 1e-36, 1e-35, 1e-34, 1e-33, 1e-32, 1e-31, 1e-30, 1e-29, 1e-28, 1e-27, 1e-26,
    1e-25, 1e-24, 1e-23, 1e-22, 1e-21, 1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11,
    1e-10, 1e-9,  1e-8,  1e-7,  1e-6,  1e-5,  1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,   1e4,
    1e5,   1e6,   1e7,   1e8,   1e9,   1e10,  1e11,  1e12,  1e13,  1e14,  1e15,  1e16,  1e17,  1e18,  1e19,
    1e20,  1e21,  1e22,  1e23,  1e24,  1e25,  1e26,  1e27,  1e28,  1e29,  1e30,  1e31,  1e32,  1e33,  1e34,
    1e35,  1e36,  1e37,  1e38,  1e39,  1e40,  1e41,  1e42,  1e43,  1e44,  1e45,  1e46,  1e47,  1e48,  1e49,
    1e50,  1e51,  1e52,  1e53,  1e54,  1e55,  1e56,  1e57,  1e58,  1e59,  1e60};

double power_of_ten(int k) { return kPowersOfTen[k - kLowPower]; }

const char kDigitPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                           "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                           "8081828384858687888990919293949596979899";

int exact_format(char *out, double v) {
  std::to_chars_result r = std::to_chars(out, out + 31, v, std::chars_format::general, 6);
  *r.ptr = '\0';
  return static_cast<int>(r.ptr - out);
}

// The six digits of a positive finite v, rounded to nearest, and the decimal
// exponent of the first; false when the rounding cannot be decided quickly.
bool six_digits(double v, uint32_t &digits, int &exponent) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  // v lies in [2^(binary - 1), 2^binary), so this estimate of floor(log10(v))
  // is right or one too low (and far off only for subnormal doubles, which
  // then fall outside the table).
  const int binary = static_cast<int>((bits >> 52) & 0x7ff) - 1022;
  int x = ((binary - 1) * 78913) >> 18; // floor((binary - 1) * log10(2))
  if (5 - x < kLowPower || 5 - x > kHighPower)
    return false;
  double scaled = v * power_of_ten(5 - x);
  if (scaled < 1e5) { // the estimate was one too high
    --x;
    if (5 - x > kHighPower)
      return false;
    scaled = v * power_of_ten(5 - x);
  }
  if (scaled >= 1e6) {
    ++x;
    if (5 - x < kLowPower)
      return false;
    scaled = v * power_of_ten(5 - x);
  }
  double whole = static_cast<double>(static_cast<uint32_t>(scaled));
  double fraction = scaled - whole;
  if (std::fabs(fraction - 0.5) < 1e-9)
    return false;
  uint32_t n = static_cast<uint32_t>(whole) + (fraction > 0.5 ? 1 : 0);
  if (n >= 1000000) { // 999999.5 and above: one more place
    n /= 10;
    ++x;
  }
  if (n < 100000) // not six digits: leave it to the exact path
    return false;
  digits = n;
  exponent = x;
  return true;
}

// Two digits as characters, the first in the low byte.
inline uint64_t digit_pair(uint32_t k) {
  uint16_t pair;
  std::memcpy(&pair, kDigitPairs + 2 * k, sizeof pair);
  return pair;
}

// The six digits of n as characters, then two '0's, first digit in the low
// byte. Put together in a register: storing the pieces and loading the
// whole would stall the load until the stores are done.
uint64_t six_digit_chars(uint32_t n) {
  return digit_pair(n / 10000) | digit_pair(n / 100 % 100) << 16 | digit_pair(n % 100) << 32 |
         uint64_t(0x3030) << 48;
}

// Digits without their trailing zeros: the first digit is never '0'.
int significant_digits(uint64_t chars) {
  const uint64_t not_zero = chars ^ 0x3030303030303030ull; // a zero byte for every '0'
  return 8 - __builtin_clzll(not_zero) / 8;
}

// "%g" of the digits d1.d2d3d4d5d6 times 10^exponent, trailing zeros
// dropped. Digits are moved eight at a time (the callers' 32 bytes leave
// room), which is cheaper than moving exactly as many as are needed.
int place_digits(char *out, uint32_t n, int exponent) {
  const uint64_t chars = six_digit_chars(n);
  const int significant = significant_digits(chars);
  char *at = out;
  if (exponent < -4 || exponent >= 6) {
    const uint64_t rest = chars >> 8; // digits 2 to 6
    at[0] = static_cast<char>(chars);
    at[1] = '.';
    std::memcpy(at + 2, &rest, sizeof rest);
    at += significant > 1 ? significant + 1 : 1;
    *at++ = 'e';
    *at++ = exponent < 0 ? '-' : '+';
    int e = exponent < 0 ? -exponent : exponent;
    if (e >= 100) {
      *at++ = static_cast<char>('0' + e / 100);
      e %= 100;
    }
    std::memcpy(at, kDigitPairs + 2 * e, 2);
    at += 2;
  } else if (exponent >= 0) {
    const int whole = exponent + 1;
    std::memcpy(at, &chars, sizeof chars);
    if (significant > whole) {
      const uint64_t fraction = chars >> (8 * whole);
      at[whole] = '.';
      std::memcpy(at + whole + 1, &fraction, sizeof fraction);
      at += significant + 1;
    } else {
      at += whole;
    }
  } else {
    std::memcpy(at, "0.000000", 8);
    at += 1 - exponent; // "0." and -exponent - 1 zeros
    std::memcpy(at, &chars, sizeof chars);
    at += significant;
  }
  *at = '\0';
  return static_cast<int>(at - out);
}

} // namespace

int pov_format_g(char *out, double v) {
  if (!std::isfinite(v))
    return exact_format(out, v);
  // The sign without a branch: in a mesh it is as often - as +.
  const double magnitude = std::fabs(v);
  out[0] = '-';
  char *at = out + (std::signbit(v) ? 1 : 0);
  if (magnitude == 0) {
    at[0] = '0';
    at[1] = '\0';
    return static_cast<int>(at - out) + 1;
  }
  uint32_t digits;
  int exponent;
  if (!six_digits(magnitude, digits, exponent))
    return exact_format(out, v);
  return static_cast<int>(at - out) + place_digits(at, digits, exponent);
}

int pov_format_g3(char *out, const float v[3]) {
  // The digits of all three first: each takes a long chain of dependent
  // steps, and three independent chains keep the processor busy.
  uint32_t digits[3];
  int exponent[3];
  bool quick[3];
  for (int i = 0; i < 3; ++i) {
    const double magnitude = std::fabs(static_cast<double>(v[i]));
    quick[i] = magnitude != 0 && std::isfinite(magnitude) && six_digits(magnitude, digits[i], exponent[i]);
  }
  char *at = out;
  for (int i = 0; i < 3; ++i) {
    if (quick[i]) {
      at[0] = '-';
      at += std::signbit(v[i]) ? 1 : 0;
      at += place_digits(at, digits[i], exponent[i]);
    } else {
      at += pov_format_g(at, v[i]); // zeros, infinities, NaNs, near-ties
    }
    if (i < 2) {
      std::memcpy(at, ", ", 2);
      at += 2;
    }
  }
  *at = '\0';
  return static_cast<int>(at - out);
}

int pov_format_exact(char *out, double v) {
  if (!std::isfinite(v))
    return exact_format(out, v);
  std::to_chars_result r = std::to_chars(out, out + 31, v);
  *r.ptr = '\0';
  return static_cast<int>(r.ptr - out);
}

namespace {

// The eight digits of n (below 10^8) as characters, first digit in the low
// byte, leading zeros included.
uint64_t eight_digit_chars(uint32_t n) {
  return digit_pair(n / 1000000) | digit_pair(n / 10000 % 100) << 16 | digit_pair(n / 100 % 100) << 32 |
         digit_pair(n % 100) << 48;
}

} // namespace

// All eight digits are put together in a register and stored at once; the
// store then starts past the leading zeros: no loop, no branch on the length.
char *pov_format_index(char *out, uint32_t n) {
  if (n >= 100000000) {
    char *at = pov_format_index(out, n / 100000000);
    const uint64_t chars = eight_digit_chars(n % 100000000);
    std::memcpy(at, &chars, sizeof chars);
    return at + 8;
  }
  const uint64_t chars = eight_digit_chars(n);
  const uint64_t not_zero = (chars ^ 0x3030303030303030ull) | 1ull << 56; // the last digit stays
  const int zeros = __builtin_ctzll(not_zero) / 8;
  const uint64_t digits = chars >> (8 * zeros);
  std::memcpy(out, &digits, sizeof digits);
  return out + 8 - zeros;
}

namespace {

const int kNameCapacity = ZAL_NAME_SIZE - 1;

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

size_t pov_utf8_cut(const char *text, size_t n, size_t floor) {
  for (int k = 0; k < 3 && n > floor && (static_cast<unsigned char>(text[n]) & 0xc0) == 0x80; ++k)
    --n;
  return n;
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
