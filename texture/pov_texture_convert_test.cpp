// Conversion of real images into Targa files: copies, mirroring, tiling with
// reduction and cropping, alpha, and the faults that must leave no file.
#include "tests/support/textured_scenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <sys/resource.h>

namespace {

using textest::Image;
using textest::ScratchCwd;

struct Converted {
  int usable = 0;
  std::string file_name;
  int width = 0, height = 0; // the record's
  Image image;               // the file's
};

// Writes a width x height pattern PNG, acquires it for an object set up by
// setup, and reads back the Targa file the conversion made.
template <class Setup>
Converted convert(ScratchCwd &dir, const std::string &name, int width, int height, Setup setup) {
  textest::write_png(dir.file(name), width, height, textest::pattern(width, height));
  _object *o = textest::textured(nullptr, dir.file(name));
  setup(o);
  Converted c;
  TextureRecord *r = texture_acquire(dir.session, o, &c.usable);
  c.file_name = r->file_name ? r->file_name : "";
  c.width = r->width;
  c.height = r->height;
  texture_release(dir.state, r);
  if (c.usable)
    c.image = textest::read_image(dir.file(c.file_name));
  return c;
}

::testing::AssertionResult same_colour(const unsigned char *a, const unsigned char *b) {
  if (a[0] == b[0] && a[1] == b[1] && a[2] == b[2])
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << +a[0] << "," << +a[1] << "," << +a[2] << ") vs (" << +b[0]
                                       << "," << +b[1] << "," << +b[2] << ")";
}

TEST(TextureConvert, PlanarCopiesPixels) {
  ScratchCwd dir;
  Converted c = convert(dir, "img.png", 5, 3, [](_object *) {});
  ASSERT_EQ(c.usable, 1);
  EXPECT_EQ(c.file_name, "oku_img.tga");
  EXPECT_EQ(c.width, 5);
  EXPECT_EQ(c.height, 3);
  ASSERT_EQ(c.image.width, 5);
  ASSERT_EQ(c.image.height, 3);
  EXPECT_EQ(c.image.depth, 24);
  Image original = textest::read_image(dir.file("img.png"));
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 5; x++)
      EXPECT_TRUE(same_colour(c.image.at(x, y), original.at(x, y))) << x << "," << y;
}

TEST(TextureConvert, NegativeScaleMirrors) {
  ScratchCwd dir;
  Converted h = convert(dir, "h.png", 5, 3, [](_object *o) { o->texture.scale = {-1, 2}; });
  Converted v = convert(dir, "v.png", 5, 3, [](_object *o) { o->texture.scale = {1, -1}; });
  Image original = textest::read_image(dir.file("h.png"));
  ASSERT_EQ(h.image.width, 5);
  ASSERT_EQ(v.image.height, 3);
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 5; x++) {
      EXPECT_TRUE(same_colour(h.image.at(x, y), original.at((5 - x) % 5, y))) << x << "," << y;
      EXPECT_TRUE(same_colour(v.image.at(x, y), original.at(x, (3 - y) % 3))) << x << "," << y;
    }
}

TEST(TextureConvert, SceneRootIsCopiedWhateverItsMethod) {
  ScratchCwd dir;
  textest::write_png(dir.file("sky.png"), 6, 4, textest::pattern(6, 4));
  _object *root = db_get_root();
  root->has_texture = true;
  root->texture.image = dir.file("sky.png");
  root->texture.method = 2;
  root->texture.scale = {3, 3};
  int usable = 0;
  TextureRecord *r = texture_acquire(dir.session, root, &usable);
  ASSERT_EQ(usable, 1);
  Image image = textest::read_image(dir.file("oku_sky.tga"));
  EXPECT_EQ(image.width, 6);
  EXPECT_EQ(image.height, 4);
  texture_release(dir.state, r);
}

TEST(TextureConvert, CylindricalScaleOneWrapsHalves) {
  ScratchCwd dir;
  Converted c = convert(dir, "c.png", 256, 4, [](_object *o) { o->texture.method = 1; });
  ASSERT_EQ(c.usable, 1);
  ASSERT_EQ(c.image.width, 512);
  ASSERT_EQ(c.image.height, 4);
  EXPECT_EQ(c.width, 256); // the record keeps the source size
  Image original = textest::read_image(dir.file("c.png"));
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 512; x++) {
      int source_x = x < 128 ? x + 128 : x < 384 ? x - 128 : x - 384;
      ASSERT_TRUE(same_colour(c.image.at(x, y), original.at(source_x, y))) << x << "," << y;
    }
}

TEST(TextureConvert, CylindricalScaleThreeReduces) {
  ScratchCwd dir;
  TextureRecord layout_record = {};
  layout_record.method = 1;
  layout_record.opacity = 1;
  layout_record.scale = {3, 1};
  TextureLayout l;
  ASSERT_EQ(texture_layout(&layout_record, 256, 4, &l), 1);
  EXPECT_EQ(l.reduce_x, 3);
  EXPECT_EQ(l.out_width, 512);
  EXPECT_EQ(l.cell_width, 86);
  EXPECT_EQ(l.cell_x, 213);
  EXPECT_EQ(l.crop_x, 0);

  Converted c = convert(dir, "c.png", 256, 4, [](_object *o) {
    o->texture.method = 1;
    o->texture.scale = {3, 1};
  });
  ASSERT_EQ(c.image.width, 512);
  Image original = textest::read_image(dir.file("c.png"));
  for (int y = 0; y < 4; y++)
    for (int cell = 0; cell < 86; cell++) {
      const unsigned char *out = c.image.at(213 + cell, y);
      for (int k = 0; k < 3; k++) {
        int sum = 0;
        for (int i = 0; i < 3; i++)
          sum += original.at((cell * 3 + i) % 256, y)[k];
        ASSERT_EQ(out[k], static_cast<int>(sum / 3.0 + 0.5)) << cell << "," << y << "," << k;
      }
    }
  // Everything else repeats the middle copy.
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 512; x++) {
      int m = ((x - 213) % 86 + 86) % 86;
      ASSERT_TRUE(same_colour(c.image.at(x, y), c.image.at(213 + m, y))) << x << "," << y;
    }
}

TEST(TextureConvert, CylindricalQuarterScaleCrops) {
  ScratchCwd dir;
  Converted c = convert(dir, "c.png", 256, 2, [](_object *o) {
    o->texture.method = 1;
    o->texture.scale = {0.25f, 1};
  });
  EXPECT_EQ(c.file_name, "oku_c.png_ck0.25   1.tga");
  ASSERT_EQ(c.image.width, 128);
  Image original = textest::read_image(dir.file("c.png"));
  for (int y = 0; y < 2; y++)
    for (int x = 0; x < 128; x++)
      ASSERT_TRUE(same_colour(c.image.at(x, y), original.at(x + 64, y))) << x;
}

TEST(TextureConvert, CylindricalNegativeScaleMirrorsTheMiddleCopy) {
  ScratchCwd dir;
  Converted c = convert(dir, "c.png", 256, 2, [](_object *o) {
    o->texture.method = 1;
    o->texture.scale = {-1, 1};
  });
  ASSERT_EQ(c.image.width, 512);
  Image original = textest::read_image(dir.file("c.png"));
  for (int k = 0; k < 256; k++)
    ASSERT_TRUE(same_colour(c.image.at(128 + (256 - k) % 256, 1), original.at(k, 1))) << k;
}

TEST(TextureConvert, SphericalTilesBothWays) {
  ScratchCwd dir;
  Converted one = convert(dir, "s.png", 8, 4, [](_object *o) { o->texture.method = 2; });
  ASSERT_EQ(one.image.width, 16);
  ASSERT_EQ(one.image.height, 4);
  Image original = textest::read_image(dir.file("s.png"));
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 16; x++)
      ASSERT_TRUE(same_colour(one.image.at(x, y), original.at((x + 4) % 8, y)));

  // (1, 3): three images from pole to pole, reduced by 2 vertically.
  Converted three = convert(dir, "s.png", 8, 4, [](_object *o) {
    o->texture.method = 2;
    o->texture.scale = {1, 3};
  });
  EXPECT_EQ(three.file_name, "oku_s.png_sk   1   3.tga");
  ASSERT_EQ(three.image.width, 16);
  ASSERT_EQ(three.image.height, 6); // ceil(1.5 * 4)
  // Cell: 2 rows at cell_y 2; cell row r averages source rows 2r and 2r + 1.
  for (int y = 0; y < 6; y++) {
    int r = ((y - 2) % 2 + 2) % 2;
    for (int x = 0; x < 16; x++)
      for (int k = 0; k < 3; k++) {
        int sum = original.at((x + 4) % 8, 2 * r)[k] + original.at((x + 4) % 8, 2 * r + 1)[k];
        ASSERT_EQ(three.image.at(x, y)[k], static_cast<int>(sum / 2.0 + 0.5)) << x << "," << y;
      }
  }
}

TEST(TextureConvert, AlphaFromOpacity) {
  ScratchCwd dir;
  Converted half = convert(dir, "a.png", 3, 2, [](_object *o) { o->opacity = 0.5f; });
  EXPECT_EQ(half.file_name, "oku_a.png_50.tga");
  EXPECT_EQ(half.image.depth, 32);
  Converted clear = convert(dir, "a.png", 3, 2, [](_object *o) { o->opacity = 0; });
  EXPECT_EQ(clear.file_name, "oku_a.png_00.tga");
  Converted group = convert(dir, "g.png", 3, 2, [&](_object *) { dir.session.inherited_opacity = 0.5f; });
  dir.session.inherited_opacity = 1;
  EXPECT_EQ(group.file_name, "oku_g.png_50.tga");
  for (int y = 0; y < 2; y++)
    for (int x = 0; x < 3; x++) {
      EXPECT_EQ(half.image.at(x, y)[3], 64);
      EXPECT_EQ(clear.image.at(x, y)[3], 1);
      EXPECT_EQ(group.image.at(x, y)[3], 64);
    }
  Converted opaque = convert(dir, "o.png", 3, 2, [](_object *) {});
  EXPECT_EQ(opaque.image.depth, 24);
}

// A zero scale on a resampled axis, or a non-finite one, gives no image: the
// conversion fails and leaves nothing on disk.
TEST(TextureConvert, EmptyOutputFails) {
  ScratchCwd dir;
  Converted zero_x = convert(dir, "z.png", 4, 4, [](_object *o) {
    o->texture.method = 1;
    o->texture.scale = {0, 1};
  });
  EXPECT_EQ(zero_x.usable, 0);
  EXPECT_EQ(zero_x.width, 4); // the source was read
  Converted zero_y = convert(dir, "z.png", 4, 4, [](_object *o) {
    o->texture.method = 2;
    o->texture.scale = {1, 0};
  });
  EXPECT_EQ(zero_y.usable, 0);
  Converted nan = convert(dir, "z.png", 4, 4, [](_object *o) {
    o->texture.method = 2;
    o->texture.scale = {NAN, 1};
  });
  EXPECT_EQ(nan.usable, 0);
  // A huge scale is no reason to refuse: the image averages to its mean.
  Converted huge = convert(dir, "z.png", 4, 4, [](_object *o) {
    o->texture.method = 1;
    o->texture.scale = {1e30f, 1};
  });
  EXPECT_EQ(huge.usable, 1);
  EXPECT_EQ(huge.image.width, 8);
  // A zero vertical scale does not matter to the cylindrical method.
  Converted cylinder = convert(dir, "z.png", 4, 4, [](_object *o) {
    o->texture.method = 1;
    o->texture.scale = {1, 0};
  });
  EXPECT_EQ(cylinder.usable, 1);
  EXPECT_EQ(dir.entries().size(), 3u); // z.png, the huge scale's and the cylinder's file
}

TEST(TextureConvert, UnreadableImageLeavesNothing) {
  ScratchCwd dir;
  std::ofstream(dir.file("bad.png")) << "not an image";
  int usable = 1;
  TextureRecord *r = texture_acquire(dir.session, textest::textured(nullptr, dir.file("bad.png")), &usable);
  EXPECT_EQ(usable, 0);
  EXPECT_EQ(r->width, 1);
  EXPECT_EQ(r->height, 1);
  texture_release(dir.state, r);
  EXPECT_EQ(dir.entries().size(), 1u);
}

// A write that fails part-way (here: the file size limit) must not leave a
// file under the target name that a later save would take for a whole one.
TEST(TextureConvert, FailedWriteLeavesNoPartialFile) {
  ScratchCwd dir;
  textest::write_png(dir.file("big.png"), 64, 64, textest::pattern(64, 64));
  struct rlimit old_limit;
  getrlimit(RLIMIT_FSIZE, &old_limit);
  auto old_handler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = old_limit;
  limit.rlim_cur = 4000; // the 64 x 64 x 3 bytes do not fit
  setrlimit(RLIMIT_FSIZE, &limit);
  int usable = 1;
  TextureRecord *r = texture_acquire(dir.session, textest::textured(nullptr, dir.file("big.png")), &usable);
  setrlimit(RLIMIT_FSIZE, &old_limit);
  signal(SIGXFSZ, old_handler);
  EXPECT_EQ(usable, 0);
  texture_release(dir.state, r);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"big.png"});
  // With room again the next attempt converts.
  r = texture_acquire(dir.session, textest::textured(nullptr, dir.file("big.png")), &usable);
  EXPECT_EQ(usable, 1);
  EXPECT_EQ(textest::read_image(dir.file("oku_big.tga")).width, 64);
}

} // namespace
