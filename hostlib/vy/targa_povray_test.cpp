// POV-Ray 3.7 and the host agree on Targa row order: a texture written by the
// host's Targa writer appears upright and unmirrored in a render, and a
// render that POV-Ray writes as Targa reads back upright.
#include "targa.h"
#include "tests/support/byte_files.h"
#include "tests/support/run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>

namespace {

// Quadrant colours of the texture: top-left red, top-right green,
// bottom-left blue, bottom-right white.
const unsigned char kQuadrant[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};

std::unique_ptr<VYbitmap> quadrants(int size, int depth) {
  auto bitmap = std::make_unique<VYbitmap>(size, size, depth, nullptr);
  const int bpp = bitmap->bytes_per_pixel();
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      unsigned char *p = bitmap->data() + (y * size + x) * bpp;
      const unsigned char *q = kQuadrant[(y * 2 / size) * 2 + x * 2 / size];
      std::copy(q, q + 3, p);
      if (bpp == 4)
        p[3] = 255;
    }
  return bitmap;
}

// The unit square of the x-y plane carries the image (its bottom-left corner
// at the origin); an orthographic camera looks at it along +z with +y up, so
// the picture shows the image exactly as stored.
const char kScene[] = "camera { orthographic location <0.5, 0.5, -1> look_at <0.5, 0.5, 0> right x up y }\n"
                      "plane { z, 0 texture { pigment { image_map { tga \"texture.tga\" once } }\n"
                      "  finish { ambient 1 diffuse 0 } } }\n";

bool render(const vytest::ScratchDir &dir, const std::string &output, const char *format) {
  std::ofstream(dir.file("scene.pov")) << kScene;
  return bftest::run_logged(
             BF_POVRAY, {"+Iscene.pov", "+O" + output, format, "+W40", "+H40", "-D", "-V", "-GA", "+MV3.0"},
             dir.path().string(), dir.file("povray.log")) == 0;
}

std::string log_text(const vytest::ScratchDir &dir) {
  const vytest::Bytes log = vytest::read_bytes(dir.file("povray.log"));
  return std::string(log.begin(), log.end());
}

void expect_quadrants(const VYbitmap *picture, const std::string &what) {
  ASSERT_NE(picture, nullptr) << what;
  ASSERT_EQ(picture->width(), 40) << what;
  ASSERT_EQ(picture->height(), 40) << what;
  const int bpp = picture->bytes_per_pixel();
  const int probes[4][2] = {{10, 10}, {30, 10}, {10, 30}, {30, 30}};
  for (int q = 0; q < 4; ++q) {
    const unsigned char *p = picture->data() + (probes[q][1] * 40 + probes[q][0]) * bpp;
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(p[k], kQuadrant[q][k], 2) << what << ": quadrant " << q << " channel " << k;
  }
}

class TargaInPovray : public ::testing::TestWithParam<int> {};

TEST_P(TargaInPovray, TextureIsUprightAndUnmirrored) {
  if (std::string(BF_POVRAY).empty())
    GTEST_SKIP() << "POV-Ray is not installed";
  const int depth = GetParam();
  vytest::ScratchDir dir;
  const std::string texture = dir.file("texture.tga");
  const VYimageWriterInfo info{texture.c_str(), 8, 8, depth, 300, 0, 0, 15, VY_TARGA_FLAG_FOOTER};
  std::unique_ptr<VYimageWriter> writer(still_writer_get_factory(VY_TARGA_FORMAT_NAME)->create_writer(info));
  ASSERT_NE(writer, nullptr);
  ASSERT_EQ(writer->write(quadrants(8, depth).get()), 0);
  ASSERT_EQ(writer->close(), 0);

  // PNG rows are top first by definition: this picture is the reference.
  ASSERT_TRUE(render(dir, "picture.png", "+FN")) << log_text(dir);
  std::unique_ptr<VYbitmap> png(image_reader_invoke(dir.file("picture.png").c_str()));
  expect_quadrants(png.get(), "PNG render");

  // The same render written by POV-Ray as Targa reads back identically.
  ASSERT_TRUE(render(dir, "picture.tga", "+FT")) << log_text(dir);
  std::unique_ptr<VYbitmap> tga(image_reader_invoke(dir.file("picture.tga").c_str()));
  expect_quadrants(tga.get(), "Targa render");
}

INSTANTIATE_TEST_SUITE_P(Depths, TargaInPovray, ::testing::Values(24, 32));

} // namespace
