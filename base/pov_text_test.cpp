#include "base/pov_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

std::string printf_g(double v) {
  char text[64];
  snprintf(text, sizeof text, "%g", v);
  return text;
}

std::string ours(double v) {
  char text[32];
  int n = pov_format_g(text, v);
  EXPECT_EQ(n, static_cast<int>(strlen(text)));
  return text;
}

std::string comment(const char *name) {
  char out[256];
  return pov_comment_name(out, name);
}

TEST(FormatG, EdgeValuesMatchPrintf) {
  const double values[] = {0.0,
                           -0.0,
                           1.0,
                           -2.5,
                           0.5,
                           123456.5,
                           999999.5,
                           999999.4,
                           1234565,
                           1e-5,
                           1e-4,
                           9.999995e-5,
                           1e10,
                           1e15,
                           1e100,
                           -1e-300,
                           1.7976931348623157e308,
                           std::numeric_limits<double>::denorm_min(),
                           std::numeric_limits<float>::denorm_min(),
                           std::numeric_limits<double>::min(),
                           0.1f,
                           0.866025403784,
                           std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(),
                           std::nan(""),
                           -std::nan("")};
  for (double v : values)
    EXPECT_EQ(ours(v), printf_g(v)) << "value " << v;
  EXPECT_EQ(ours(-0.0), "-0");
  EXPECT_EQ(ours(1e10), "1e+10");
  EXPECT_EQ(ours(123456.5), "123456");
  EXPECT_EQ(ours(999999.5), "1e+06");
}

TEST(FormatG, RandomBitPatternsAndScaledIntegersMatchPrintf) {
  std::mt19937_64 random(20240611);
  for (int i = 0; i < 200000; ++i) {
    uint64_t bits = random();
    double d;
    memcpy(&d, &bits, sizeof d);
    uint32_t fbits = static_cast<uint32_t>(random());
    float f;
    memcpy(&f, &fbits, sizeof f);
    double scaled =
        std::ldexp(static_cast<double>(random() % 2000001) - 1000000, static_cast<int>(random() % 80) - 40);
    for (double v : {d, static_cast<double>(f), scaled})
      ASSERT_EQ(ours(v), printf_g(v)) << "bits " << std::hexfloat << v;
  }
}

// Every float that lies exactly halfway between two six-digit numbers:
// halves of six-digit integers, seven-digit integers ending in 5 and
// eight-digit ones ending in 50 (larger ties cannot be floats). printf
// rounds them to even; so must the fast path, which hands them on.
TEST(FormatG, EveryFloatTieRoundsAsPrintf) {
  for (uint32_t n = 100000; n < 1000000; ++n) {
    const double ties[] = {n + 0.5, n * 10.0 + 5, n * 100.0 + 50};
    for (double tie : ties) {
      float f = static_cast<float>(tie);
      if (static_cast<double>(f) != tie)
        continue;
      ASSERT_EQ(ours(f), printf_g(f)) << std::fixed << tie;
      ASSERT_EQ(ours(-f), printf_g(-f)) << std::fixed << tie;
    }
  }
  EXPECT_EQ(ours(100000.5), "100000");
  EXPECT_EQ(ours(100001.5), "100002");
  EXPECT_EQ(ours(1234565), "1.23456e+06");
  EXPECT_EQ(ours(1234575), "1.23458e+06");
  EXPECT_EQ(ours(12345650), "1.23456e+07");
}

// The neighbours of ties, of powers of ten and of the places where the
// format switches between fixed and exponent form, a few units in the last
// place either side: where a scaled value lies next to a rounding boundary.
TEST(FormatG, NeighboursOfBoundariesMatchPrintf) {
  std::vector<float> centres = {123456.5f, 999999.5f, 1234565.f, 9999995.f, 99999.95f, 0.5f, 1.5f, 9.999995f};
  for (int e = -45; e <= 38; ++e) {
    centres.push_back(std::pow(10.0f, static_cast<float>(e)));
    centres.push_back(9.999995f * std::pow(10.0f, static_cast<float>(e)));
    centres.push_back(1.000005f * std::pow(10.0f, static_cast<float>(e)));
  }
  centres.push_back(std::numeric_limits<float>::max());
  centres.push_back(std::numeric_limits<float>::min());
  centres.push_back(std::numeric_limits<float>::denorm_min());
  for (float centre : centres) {
    float down = centre, up = centre;
    for (int step = 0; step < 40; ++step) {
      for (float v : {down, up, -down, -up})
        ASSERT_EQ(ours(v), printf_g(v)) << std::hexfloat << v;
      down = std::nextafter(down, 0.0f);
      up = std::nextafter(up, std::numeric_limits<float>::infinity());
    }
  }
}

// Many random floats of the sizes meshes hold, and "%.6g", which is the same
// format: the include files use that spelling.
TEST(FormatG, RandomMeshNumbersMatchPrintfSixDigits) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> unit(-1, 1);
  std::uniform_int_distribution<int> exponent(-12, 12);
  char expected[64];
  for (int i = 0; i < 2000000; ++i) {
    float v = std::ldexp(unit(random), exponent(random));
    snprintf(expected, sizeof expected, "%.6g", static_cast<double>(v));
    ASSERT_EQ(ours(v), expected) << std::hexfloat << v;
  }
}

// Doubles beyond the range of floats (the scene text prints a few doubles)
// take the exact path and still agree.
TEST(FormatG, DoublesOutsideTheFloatRangeMatchPrintf) {
  const double values[] = {1e46, 9.999995e45, 1e-56, 1e200, -3.5e-250, 1.2345650000000001e300, 5e-324};
  for (double v : values)
    EXPECT_EQ(ours(v), printf_g(v)) << v;
}

// Three numbers at once: the same text as printf's "%g, %g, %g", whichever
// of them take the quick path and whichever do not (zeros, ties, NaNs).
TEST(FormatG3, VectorsMatchPrintf) {
  const float edges[] = {0.0f,
                         -0.0f,
                         123456.5f,
                         999999.5f,
                         1e-5f,
                         1e-45f,
                         3.4028235e38f,
                         0.1f,
                         -2.5f,
                         std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::quiet_NaN()};
  std::mt19937 random(23);
  for (int i = 0; i < 300000; ++i) {
    float v[3];
    for (float &x : v) {
      if (random() % 4 == 0) {
        x = edges[random() % (sizeof edges / sizeof edges[0])];
      } else {
        uint32_t bits = static_cast<uint32_t>(random());
        memcpy(&x, &bits, sizeof x);
      }
    }
    char expected[128], text[96];
    snprintf(expected, sizeof expected, "%g, %g, %g", v[0], v[1], v[2]);
    int n = pov_format_g3(text, v);
    ASSERT_EQ(std::string(text), expected) << std::hexfloat << v[0] << " " << v[1] << " " << v[2];
    ASSERT_EQ(n, static_cast<int>(strlen(expected)));
  }
}

TEST(FormatIndex, EveryLengthMatchesPrintf) {
  std::vector<uint32_t> values = {0, 4294967295u};
  for (uint32_t power = 1; power <= 1000000000u; power *= 10)
    values.insert(values.end(), {power - 1, power, power + 1, power * 3 + 7});
  std::mt19937 random(5);
  for (int i = 0; i < 10000; ++i)
    values.push_back(static_cast<uint32_t>(random()) >> (random() % 32));
  for (uint32_t n : values) {
    char text[24];
    memset(text, '#', sizeof text);
    const char *end = pov_format_index(text, n);
    ASSERT_EQ(std::string(text, size_t(end - text)), std::to_string(n));
    ASSERT_EQ(text[10], '#') << n << ": wrote past its 10 bytes";
  }
}

TEST(CommentName, PlainNamesAreUnchanged) {
  EXPECT_EQ(comment("Bracket"), "Bracket");
  EXPECT_EQ(comment("Lid / top * side, 50% (v2)"), "Lid / top * side, 50% (v2)");
  EXPECT_EQ(comment("Gehäuse ünten"), "Gehäuse ünten");
  EXPECT_EQ(comment(""), "");
  EXPECT_EQ(comment(nullptr), "");
}

TEST(CommentName, CannotLeaveItsComment) {
  EXPECT_EQ(comment("a\nb"), "a?b");
  EXPECT_EQ(comment("a\r\n#include \"/etc/passwd\""), "a??#include \"/etc/passwd\"");
  EXPECT_EQ(comment("tab\there\x7f"), "tab?here?");
  EXPECT_EQ(comment("x */ #fopen F \"/tmp/x\" write"), "x * / #fopen F \"/tmp/x\" write");
  EXPECT_EQ(comment("open /* here"), "open / * here");
  EXPECT_EQ(comment("/*/"), "/ * /");
  EXPECT_EQ(comment("*/*"), "* / *");
  EXPECT_EQ(comment("**//"), "** //");
  // No marker survives in any mix of the two characters.
  const char *mixes[] = {"/**/", "*//*", "/*/*/", "//**//", "*/*/*"};
  for (const char *mix : mixes) {
    std::string out = comment(mix);
    EXPECT_EQ(out.find("/*"), std::string::npos) << mix;
    EXPECT_EQ(out.find("*/"), std::string::npos) << mix;
  }
}

TEST(CommentName, LongNamesAreCutAt255Bytes) {
  std::string long_name(1000, 'n');
  char out[256 + 16];
  memset(out, 'X', sizeof out);
  pov_comment_name(out, long_name.c_str());
  EXPECT_EQ(strlen(out), 255u);
  EXPECT_EQ(out[256], 'X'); // nothing written past the buffer

  // A blank inserted near the end never pushes the text past 255 bytes.
  std::string markers = std::string(254, 'a') + "*/";
  EXPECT_EQ(comment(markers.c_str()), std::string(254, 'a') + "*");

  // A multi-byte character is never cut in half.
  std::string umlauts = std::string(254, 'a') + "ää";
  EXPECT_EQ(comment(umlauts.c_str()), std::string(254, 'a'));
  std::string fits = std::string(253, 'a') + "ää";
  EXPECT_EQ(comment(fits.c_str()), std::string(253, 'a') + "ä");
}

TEST(SafeFileName, MapsQuotesBackslashesAndControls) {
  char name[] = "my \"wood\"\\grain\n.png";
  EXPECT_EQ(std::string(pov_safe_file_name(name)), "my _wood__grain_.png");
  char plain[] = "oku_wood_png_0.25.tga";
  EXPECT_EQ(std::string(pov_safe_file_name(plain)), "oku_wood_png_0.25.tga");
  EXPECT_EQ(pov_safe_file_name(nullptr), nullptr);
}

// Cutting "ab" + U+20AC (3 bytes) + "c" at each length: never inside the
// character, and never below the floor.
TEST(PovText, Utf8CutKeepsCharactersWholeAndTheFloor) {
  const char *text = "ab\xe2\x82\xac"
                     "c";
  const size_t expected[] = {0, 1, 2, 2, 2, 5};
  for (size_t n = 0; n < sizeof expected / sizeof expected[0]; ++n)
    EXPECT_EQ(pov_utf8_cut(text, n, 0), expected[n]) << n;
  EXPECT_EQ(pov_utf8_cut(text, 4, 3), 3u);
  EXPECT_EQ(pov_utf8_cut("oku_\x80\x80\x80\x80\x80", 8, 4), 5u); // no character: cut where it is
}

} // namespace
