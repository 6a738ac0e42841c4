// pov_printf formats its lines itself; whatever the format, the text must be
// what fprintf writes.
#include "base/pov_print.h"
#include "tests/support/module_scene.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <limits>
#include <random>
#include <string>

namespace {

std::string printf_text(int depth, const char *format, ...) __attribute__((format(printf, 2, 3)));
std::string printf_text(int depth, const char *format, ...) {
  va_list args;
  va_start(args, format);
  char *text = nullptr;
  int n = vasprintf(&text, format, args);
  va_end(args);
  std::string line(depth > 0 ? static_cast<size_t>(depth) * 2 : 0, ' ');
  if (n >= 0)
    line.append(text, static_cast<size_t>(n));
  free(text);
  return line;
}

#define EXPECT_SAME_AS_PRINTF(depth, ...)                                                                    \
  EXPECT_EQ(capture_text([&](FILE *f) { pov_printf(f, depth, __VA_ARGS__); }),                               \
            printf_text(depth, __VA_ARGS__))

TEST(PovPrintFormat, SceneConversionsMatchFprintf) {
  const float r = 0.1f, g = 1.0f / 3, b = -0.0f;
  EXPECT_SAME_AS_PRINTF(2, "pigment {color rgbt <%g, %g, %g, %g>}\n", r, g, b, 1e-5f);
  EXPECT_SAME_AS_PRINTF(1, "color rgb <%g, %g, %g> * (5/3) * %g\n", 1e10, 123456.5, 999999.5, 2.5e-7);
  EXPECT_SAME_AS_PRINTF(0, "#declare IMAGE_WIDTH = %d\n", 640);
  EXPECT_SAME_AS_PRINTF(3, "%s_%d\n", "oku_Bracket_3", 12);
  EXPECT_SAME_AS_PRINTF(1, "#declare %s_%d = OKU_MESH_%d\n", "oku_Part_1", -2147483647 - 1, 2147483647);
  EXPECT_SAME_AS_PRINTF(0, "%ld %lu %u %i %c%c 100%% done\n", -9000000000L, 18000000000UL, 4000000000U, -5,
                        'o', 'k');
  EXPECT_SAME_AS_PRINTF(1, "<%.6g, %.6g, %.6g>\n", 0.1234565, 1e-300,
                        std::numeric_limits<double>::infinity());
  EXPECT_SAME_AS_PRINTF(0, "%g %g\n", std::nan(""), -std::numeric_limits<double>::denorm_min());
  EXPECT_SAME_AS_PRINTF(2, "object { // %s%s\n", "part of ", "Bracket / 50%");
  EXPECT_SAME_AS_PRINTF(0, "%s", "");
  EXPECT_SAME_AS_PRINTF(0, "no conversions at all");
}

TEST(PovPrintFormat, OtherConversionsFallBackToFprintf) {
  EXPECT_SAME_AS_PRINTF(1, "%5.2f|%-6d|%x|%e|%+g|%08.3g\n", 3.14159, 42, 255u, 1e-7, 2.5, 0.5);
  EXPECT_SAME_AS_PRINTF(0, "%.3g %s\n", 1234.5678, "after");
  EXPECT_SAME_AS_PRINTF(2, "%s %10s|\n", "name", "right");
  EXPECT_SAME_AS_PRINTF(0, "%lld %hhd\n", 1LL << 40, 300);
}

TEST(PovPrintFormat, LongTextsAndDeepIndentationAreWhole) {
  std::string long_name(5000, 'x');
  long_name[4999] = 'y';
  EXPECT_SAME_AS_PRINTF(7, "#include \"%s\"\n", long_name.c_str());
  EXPECT_SAME_AS_PRINTF(300, "x %g %s %d\n", 1.5, long_name.c_str(), 3);
  // A long text and twenty numbers overflow the line buffer mid-line.
  EXPECT_EQ(capture_text([&](FILE *f) {
              pov_printf(f, 1, "%s %g %g %g %g %g %g %g %g %g %g %g %g %g %g %g %g %g %g %g %g\n",
                         long_name.c_str(), 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0, 10.0, 11.0, 12.0,
                         13.0, 14.0, 15.0, 16.0, 17.0, 18.0, 19.0, 20.0);
            }),
            "  " + long_name + " 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20\n");
}

TEST(PovPrintFormat, NullTextPrintsAsGlibcDoes) {
  const char *volatile none = nullptr; // unknown to the compiler's format check
  EXPECT_EQ(capture_text([&](FILE *f) { pov_printf(f, 0, "[%s]\n", none); }), "[(null)]\n");
}

TEST(PovPrintFormat, RandomVectorsMatchFprintf) {
  std::mt19937 random(99);
  for (int i = 0; i < 20000; ++i) {
    float v[3];
    for (float &x : v) {
      uint32_t bits = static_cast<uint32_t>(random());
      memcpy(&x, &bits, sizeof x);
    }
    std::string expected = printf_text(2, "translate <%g, %g, %g>\n", v[0], v[1], v[2]);
    ASSERT_EQ(capture_text([&](FILE *f) { pov_print_vec3(f, 2, "translate", v[0], v[1], v[2]); }), expected);
    ASSERT_EQ(capture_text([&](FILE *f) { pov_printf(f, 2, "translate <%g, %g, %g>\n", v[0], v[1], v[2]); }),
              expected);
  }
}

} // namespace
