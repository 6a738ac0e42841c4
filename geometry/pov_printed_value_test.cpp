// The value that POV-Ray reads back from a printed number decides whether a
// triangle is kept; the quick reading must agree with a correctly rounding
// reader for every float.
#include "base/pov_text.h"
#include "geometry/pov_mesh_internal.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

namespace {

double read_back(float v) {
  char text[32];
  int length = pov_format_g(text, v);
  double value = v;
  std::from_chars(text, text + length, value);
  return value;
}

void expect_same(float v) {
  const double ours = pov_printed_value(v);
  const double theirs = read_back(v);
  if (std::isnan(theirs)) {
    EXPECT_TRUE(std::isnan(ours)) << std::hexfloat << v;
    return;
  }
  uint64_t a, b;
  std::memcpy(&a, &ours, sizeof a);
  std::memcpy(&b, &theirs, sizeof b);
  ASSERT_EQ(a, b) << std::hexfloat << v << " read as " << ours << ", not " << theirs;
}

TEST(PrintedValue, AgreesWithACorrectlyRoundingReader) {
  const float edges[] = {0.0f,
                         -0.0f,
                         1e-45f,
                         -1e-45f,
                         1.17549435e-38f,
                         3.4028235e38f,
                         -3.4028235e38f,
                         1e-5f,
                         9.99999e-5f,
                         123456.5f,
                         999999.5f,
                         1234565.f,
                         0.1f,
                         1.0f / 3,
                         1e22f,
                         1e23f,
                         1e-22f,
                         1e-23f,
                         std::numeric_limits<float>::infinity(),
                         std::numeric_limits<float>::quiet_NaN()};
  for (float v : edges)
    expect_same(v);
  EXPECT_EQ(pov_printed_value(0.1f), 0.1);
  EXPECT_EQ(pov_printed_value(123456.5f), 123456.0);
  EXPECT_TRUE(std::signbit(pov_printed_value(-0.0f)));
  std::mt19937 random(17);
  for (int i = 0; i < 300000; ++i) {
    uint32_t bits = static_cast<uint32_t>(random());
    float v;
    std::memcpy(&v, &bits, sizeof v);
    expect_same(v);
    expect_same(std::ldexp(static_cast<float>(random() % 2000001) - 1000000.0f, int(random() % 60) - 30));
  }
}

} // namespace
