#include "base/pov_print.h"
#include "tests/support/module_scene.h"

#include <gtest/gtest.h>

namespace {

TEST(PovPrint, IndentsTwoSpacesPerLevel) {
  EXPECT_EQ(capture_text([](FILE *f) { pov_printf(f, 3, "x %d\n", 7); }), "      x 7\n");
  EXPECT_EQ(capture_text([](FILE *f) { pov_printf(f, 0, "x\n"); }), "x\n");
  EXPECT_EQ(capture_text([](FILE *f) { pov_printf(f, -4, "x\n"); }), "x\n");
  // Deep trees: the indentation is not limited.
  EXPECT_EQ(capture_text([](FILE *f) { pov_printf(f, 100, "%s", ""); }), std::string(200, ' '));
  // Without a line end the line stays open.
  EXPECT_EQ(capture_text([](FILE *f) {
              pov_printf(f, 1, "finish {");
              fputs("}\n", f);
            }),
            "  finish {}\n");
}

TEST(PovPrint, VectorLines) {
  EXPECT_EQ(capture_text([](FILE *f) { pov_print_vec3(f, 2, "translate", 1, 0.5f, -2); }),
            "    translate <1, 0.5, -2>\n");
  EXPECT_EQ(capture_text([](FILE *f) { pov_print_vec3(f, 2, "", 1, 0.5f, -2); }), "    <1, 0.5, -2>\n");
  EXPECT_EQ(capture_text([](FILE *f) { pov_print_vec3(f, 0, nullptr, 1, 0.5f, -2); }), "<1, 0.5, -2>\n");
  EXPECT_EQ(capture_text([](FILE *f) { pov_print_vec3(f, -1, "up", -0.0f, -1, 0); }), "up <-0, -1, 0>\n");
  EXPECT_EQ(capture_text([](FILE *f) {
              pov_print_vect3(f, 1, "location", ZAL_VECT3{1e10f, 1e-5f, 123456.5f});
            }),
            "  location <1e+10, 1e-05, 123456>\n");
}

TEST(PovPrint, NumberFormatsAgreeWithPrintf) {
  const float values[] = {0.1f, 1.0f / 3, -7.25e-9f, 65504.0f, 3.4028235e38f, -0.0f};
  for (float v : values) {
    char expected[512];
    snprintf(expected, sizeof expected, "<%g, %g, %g>\n", v, v, v);
    EXPECT_EQ(capture_text([&](FILE *f) { pov_print_vector(f, 0, nullptr, "%g", v, v, v); }), expected);
    char g6[512];
    snprintf(g6, sizeof g6, "<%.6g, %.6g, %.6g>\n", v, v, v);
    EXPECT_EQ(capture_text([&](FILE *f) { pov_print_vector(f, 0, "", "%.6g", v, v, v); }), g6);
    char fixed[512];
    snprintf(fixed, sizeof fixed, "<%.3f, %.3f, %.3f>\n", v, v, v);
    EXPECT_EQ(capture_text([&](FILE *f) { pov_print_vector(f, 0, "", "%.3f", v, v, v); }), fixed);
    char wide[512]; // longer than any fixed block for a number
    snprintf(wide, sizeof wide, "<%.60f, %.60f, %.60f>\n", v, v, v);
    EXPECT_EQ(capture_text([&](FILE *f) { pov_print_vector(f, 0, "", "%.60f", v, v, v); }), wide);
  }
}

// A host may set a comma-decimal locale for its own texts: the scene text
// keeps its decimal points, in the one formatter and in printf's fallback.
TEST(PovPrint, NumbersIgnoreTheProcessLocale) {
  CommaDecimalLocale comma;
  if (!comma.available())
    GTEST_SKIP() << CommaDecimalLocale::kMissing;
  char probe[16];
  snprintf(probe, sizeof probe, "%g", 0.5);
  ASSERT_STREQ(probe, "0,5"); // the locale is in force
  EXPECT_EQ(capture_text([](FILE *f) { pov_printf(f, 1, "a %g b %.6g %d\n", 0.5, 1.25, -3); }),
            "  a 0.5 b 1.25 -3\n");
  EXPECT_EQ(capture_text([](FILE *f) { pov_printf(f, 0, "%.2f %e\n", 0.5, 0.25); }), "0.50 2.500000e-01\n");
  EXPECT_EQ(capture_text([](FILE *f) { pov_print_vector(f, 0, "scale", "%.3f", 0.5f, 1, -2.25f); }),
            "scale <0.500, 1.000, -2.250>\n");
  EXPECT_EQ(capture_text([](FILE *f) { pov_print_vec3(f, 0, "scale", 38.806f, 38.806f, 1); }),
            "scale <38.806, 38.806, 1>\n");
  snprintf(probe, sizeof probe, "%g", 0.5);
  EXPECT_STREQ(probe, "0,5"); // and stays in force after the scene text
}

} // namespace
