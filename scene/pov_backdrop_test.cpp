// The backdrop plane: golden texts for the fitted and tiled layouts, and the
// cases that comment it out or leave it away.
#include "scene/pov_backdrop.h"
#include "tests/support/textured_scenes.h"

#include <gtest/gtest.h>

namespace {

using textest::ScratchCwd;

// A camera at (0, 0, -10) looking along +z with no
// rotation and a view angle of 90; the contents centred on the origin with a
// radius of 2; a 640 x 480 root texture already on disk.
_object *example_scene(ScratchCwd &dir, int width = 640, int height = 480) {
  _object *root = db_get_root();
  root->has_texture = true;
  root->texture.image = "/images/studio.png";
  root->has_midpoint = true;
  root->midpoint = {0, 0, 0};
  root->has_radius = true;
  root->radius = 2;
  _object *camera = scene_add_object(root, OBJECT_TYPE_CAMERA);
  camera->position = {0, 0, -10};
  camera->view_angle = 90;
  textest::write_targa_header(dir.file("oku_studio.tga"), width, height);
  return camera;
}

std::string backdrop(ScratchCwd &dir, _object *root, int depth = 0) {
  return textest::capture([&](FILE *f) { pov_write_backdrop(dir.session, f, depth, root); });
}

const char *kExample = "object {\n"
                       "  plane { <0, 0, 1>, 0 }\n"
                       "  texture { pigment { image_map { tga \"oku_studio.tga\" } translate <-0.5, -0.5>\n"
                       "#if ((IMAGE_WIDTH / IMAGE_HEIGHT) < 1.33333)\n"
                       "     scale <96, 96, 1>\n"
                       "#else\n"
                       "     scale <72, 72, 1> * (IMAGE_WIDTH / IMAGE_HEIGHT)\n"
                       "#end\n"
                       " scale <1.33333, 1, 1>\n"
                       "  } finish { ambient 4/3 }}\n"
                       "  rotate <180, 0, 0> translate <0, 0, 38>\n"
                       "  no_shadow\n"
                       "}\n";

TEST(Backdrop, FittedImageFillsThePictureFourReachesAheadOfTheCamera) {
  ScratchCwd dir;
  example_scene(dir);
  EXPECT_EQ(backdrop(dir, db_get_root()), kExample);
  // The record stays listed for the objects that may share it.
  EXPECT_EQ(dir.state->texture_list.count(), 1);
}

TEST(Backdrop, TiledLayout) {
  ScratchCwd dir;
  example_scene(dir, 256, 128);
  db_get_root()->texture.type = 1;
  EXPECT_EQ(backdrop(dir, db_get_root(), 1),
            "  object {\n"
            "    plane { <0, 0, 1>, 0 }\n"
            "    texture { pigment { image_map { tga \"oku_studio.tga\" }"
            " translate <-IMAGE_WIDTH / 512, -IMAGE_HEIGHT / 256, 0> scale <12288, 12288, 1> / IMAGE_HEIGHT\n"
            " scale <2, 1, 1>\n"
            "    } finish { ambient 4/3 }}\n"
            "    rotate <180, 0, 0> translate <0, 0, 38>\n"
            "    no_shadow\n"
            "  }\n");
}

TEST(Backdrop, ASceneNearTheFloatRangeStaysFinite) {
  // Contents that reach 3e38 from a camera with a view angle near 180
  // degrees: the plane's distance and size are kept at 1e30 rather than
  // written as "inf" (and its place never as "nan").
  ScratchCwd dir;
  _object *camera = example_scene(dir);
  db_get_root()->radius = 3e38f;
  camera->view_angle = 179.99f;
  const std::string text = backdrop(dir, db_get_root());
  EXPECT_EQ(text.find("inf"), std::string::npos) << text;
  EXPECT_EQ(text.find("nan"), std::string::npos) << text;
  EXPECT_NE(text.find("scale <1e+30, 1e+30, 1>\n"), std::string::npos) << text;
  EXPECT_NE(text.find("translate <0, 0, 4e+30>\n"), std::string::npos) << text;
}

// A square image: the shifts that push it to one side or the other.
TEST(Backdrop, FittedShifts) {
  ScratchCwd dir;
  example_scene(dir, 100, 100);
  _object *root = db_get_root();
  root->texture.method = -1;
  root->texture.quality = 1;
  std::string text = backdrop(dir, root);
  EXPECT_NE(text.find("#if ((IMAGE_WIDTH / IMAGE_HEIGHT) < 1)\n"
                      "    translate <(1 - IMAGE_WIDTH / IMAGE_HEIGHT / 1) / 2, 0, 0> scale <96, 96, 1>\n"
                      "#else\n"
                      "    translate <0, (IMAGE_HEIGHT / IMAGE_WIDTH / 1 - 1) / 2, 0>"
                      " scale <96, 96, 1> * (IMAGE_WIDTH / IMAGE_HEIGHT)\n"),
            std::string::npos)
      << text;
  root->texture.method = 1;
  root->texture.quality = -1;
  text = backdrop(dir, root);
  EXPECT_NE(text.find("    translate <(IMAGE_WIDTH / IMAGE_HEIGHT / 1 - 1) / 2, 0, 0> scale <96, 96, 1>\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("    translate <0, (1 - IMAGE_HEIGHT / IMAGE_WIDTH / 1) / 2, 0> scale"),
            std::string::npos)
      << text;
}

TEST(Backdrop, CameraRotationsInOrderZYX) {
  ScratchCwd dir;
  _object *camera = example_scene(dir);
  camera->rotation = {0, 0, 30};
  EXPECT_NE(
      backdrop(dir, db_get_root()).find("  rotate <180, 0, 0> rotate <0, 0, 30> translate <0, 0, 38>\n"),
      std::string::npos);
  camera->rotation = {10, 20, 0};
  std::string text = backdrop(dir, db_get_root());
  EXPECT_NE(text.find("  rotate <180, 0, 0> rotate <0, 20, 0> rotate <10, 0, 0> translate <"),
            std::string::npos)
      << text;
}

TEST(Backdrop, InactiveTextureIsCommentedOut) {
  ScratchCwd dir;
  example_scene(dir);
  db_get_root()->texture.active = 0;
  EXPECT_EQ(backdrop(dir, db_get_root()), std::string("/*\n") + kExample + "*/\n");
}

// A failed conversion leaves the record at 1 x 1: the commented-out numbers
// stay finite.
TEST(Backdrop, FailedConversionIsCommentedOut) {
  ScratchCwd dir;
  example_scene(dir);
  std::filesystem::remove(dir.file("oku_studio.tga"));
  std::string text = backdrop(dir, db_get_root());
  EXPECT_EQ(text.substr(0, 3), "/*\n");
  EXPECT_EQ(text.substr(text.size() - 3), "*/\n");
  EXPECT_NE(text.find("#if ((IMAGE_WIDTH / IMAGE_HEIGHT) < 1)\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("inf"), std::string::npos);
  EXPECT_EQ(text.find("nan"), std::string::npos);
  EXPECT_EQ(dir.state->texture_list.count(), 0);
}

TEST(Backdrop, NothingWithoutTextureOrCamera) {
  ScratchCwd dir;
  _object *root = db_get_root();
  EXPECT_EQ(backdrop(dir, root), "");
  root->has_texture = true;
  EXPECT_EQ(backdrop(dir, root), ""); // empty name
  // A textured root in a scene without a camera: nowhere to put the plane.
  root->texture.image = "/images/studio.png";
  textest::write_targa_header(dir.file("oku_studio.tga"), 640, 480);
  EXPECT_EQ(backdrop(dir, root), "");
  EXPECT_EQ(dir.state->texture_list.count(), 0);
}

// Through the save: the plane follows the background line of the frame.
TEST(Backdrop, SavedRightAfterTheBackground) {
  ScratchCwd dir;
  example_scene(dir);
  ASSERT_EQ(pov_save(dir.state, dir.file("scene.pov").c_str(), nullptr, 0), 1);
  const std::string text = read_file(dir.file("scene.pov"));
  EXPECT_NE(text.find(std::string("background { color BACKGROUND_COLOR }\n") + kExample), std::string::npos)
      << text;
  EXPECT_EQ(dir.state->texture_list.count(), 0);
}

} // namespace
