// The fill of a converted image, checked pixel by pixel against the
// definition written out literally: every output pixel is the rounded mean
// of its reduce_x x reduce_y block of (wrapped, possibly mirrored) source
// pixels, repeated from the middle copy across the whole output.
#include "texture/pov_texture_internal.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

namespace {

int64_t wrap(int64_t v, int64_t n, bool mirror) {
  const int64_t m = v % n;
  return mirror ? (n - m) % n : m;
}

int positive_mod(int v, int n) { return ((v % n) + n) % n; }

// The expected colour byte k of output pixel (x, y).
int expected_byte(const VYbitmap &source, const TextureLayout &l, int x, int y, int k) {
  const int c = positive_mod(x - l.cell_x, l.cell_width);
  const int r = positive_mod(y - l.cell_y, l.cell_height);
  uint64_t sum = 0;
  for (int j = 0; j < l.reduce_y; ++j)
    for (int i = 0; i < l.reduce_x; ++i) {
      const int64_t sy =
          wrap((static_cast<int64_t>(l.crop_y) + r) * l.reduce_y + j, source.height(), l.mirror_y);
      const int64_t sx =
          wrap((static_cast<int64_t>(l.crop_x) + c) * l.reduce_x + i, source.width(), l.mirror_x);
      sum += source.data()[(sy * source.width() + sx) * 4 + k];
    }
  const uint64_t n = static_cast<uint64_t>(l.reduce_x) * l.reduce_y;
  return static_cast<int>((2 * sum + n) / (2 * n));
}

std::unique_ptr<VYbitmap> noise(int width, int height) {
  auto bitmap = std::make_unique<VYbitmap>(width, height, 32, nullptr);
  uint32_t state = 12345;
  for (size_t i = 0; i < bitmap->data_size(); ++i) {
    state = state * 1664525u + 1013904223u;
    bitmap->data()[i] = static_cast<unsigned char>(state >> 24);
  }
  return bitmap;
}

std::string describe(int w, int h, int method, float sx, float sy, float opacity) {
  std::ostringstream out;
  out << w << "x" << h << " method " << method << " scale (" << sx << ", " << sy << ") opacity " << opacity;
  return out.str();
}

TEST(TextureFill, EveryPixelFollowsTheDefinition) {
  const int sizes[][2] = {{1, 1}, {7, 5}, {33, 18}, {64, 3}};
  const float scales[] = {1, -1, 0.25f, -0.3f, 1.5f, 3, -3, 7.3f, 40};
  for (const auto &size : sizes) {
    auto source = noise(size[0], size[1]);
    for (int method : {0, 1, 2})
      for (float sx : scales)
        for (float sy : {1.0f, -2.5f, 4.0f, 20.0f})
          for (float opacity : {1.0f, 0.5f}) {
            TextureRecord record = {};
            record.method = method;
            record.scale = {sx, sy};
            record.opacity = opacity;
            TextureLayout l;
            const std::string what = describe(size[0], size[1], method, sx, sy, opacity);
            ASSERT_TRUE(texture_layout(&record, size[0], size[1], &l)) << what;
            VYbitmap output(l.out_width, l.out_height, l.depth, nullptr);
            texture_fill(source.get(), l, &output);
            const int bpp = output.bytes_per_pixel();
            for (int y = 0; y < l.out_height; ++y)
              for (int x = 0; x < l.out_width; ++x) {
                const unsigned char *p = output.data() + (static_cast<size_t>(y) * l.out_width + x) * bpp;
                for (int k = 0; k < 3; ++k)
                  ASSERT_EQ(p[k], expected_byte(*source, l, x, y, k)) << what << " at " << x << "," << y;
                if (bpp == 4) {
                  ASSERT_EQ(p[3], l.alpha) << what;
                }
              }
          }
  }
}

// Fills the output for the settings and checks every pixel with check(x, y, k, byte).
template <class Check>
void fill_and_check(const VYbitmap &source, int method, float sx, float sy, Check check) {
  TextureRecord record = {};
  record.method = method;
  record.scale = {sx, sy};
  record.opacity = 1;
  TextureLayout l;
  const std::string what = describe(source.width(), source.height(), method, sx, sy, 1);
  ASSERT_TRUE(texture_layout(&record, source.width(), source.height(), &l)) << what;
  ASSERT_LE(l.out_width, 2 * source.width() + 1) << what;
  ASSERT_LE(l.out_height, 2 * source.height() + 1) << what;
  VYbitmap output(l.out_width, l.out_height, l.depth, nullptr);
  texture_fill(&source, l, &output);
  for (int y = 0; y < l.out_height; ++y)
    for (int x = 0; x < l.out_width; ++x)
      for (int k = 0; k < 3; ++k)
        ASSERT_EQ(output.data()[(static_cast<size_t>(y) * l.out_width + x) * 3 + k], check(l, x, y, k))
            << what << " at " << x << "," << y;
}

// Scales past the source size: the same means as the definition, worked
// out per whole wrap round the source; beyond a reduction of 2^30 the mean
// of whole copies, the source's own mean.
TEST(TextureFill, LargeScalesStayBoundedAndFollowTheDefinition) {
  const int sizes[][2] = {{3, 2}, {5, 3}};
  const float near[][3] = {{1, 70000, 1}, {1, -70001.5f, 1}, {2, 1, 70001}, {2, -3, -40000}};
  const float far[] = {3e9f, -1e30f, 3.4028235e38f};
  for (const auto &size : sizes) {
    auto source = noise(size[0], size[1]);
    for (const auto &s : near)
      fill_and_check(*source, int(s[0]), s[1], s[2], [&](const TextureLayout &l, int x, int y, int k) {
        return expected_byte(*source, l, x, y, k);
      });
    uint64_t total[3] = {0, 0, 0};
    const uint64_t pixels = uint64_t(size[0]) * uint64_t(size[1]);
    for (uint64_t i = 0; i < pixels; ++i)
      for (int k = 0; k < 3; ++k)
        total[k] += source->data()[i * 4 + k];
    for (float scale : far)
      fill_and_check(*source, 2, scale, scale, [&](const TextureLayout &, int, int, int k) {
        return int((2 * total[k] + pixels) / (2 * pixels));
      });
  }
}

} // namespace
