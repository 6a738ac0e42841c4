// A saved textured scene rendered by the real POV-Ray: textures and the
// backdrop must come out neither mirrored nor upside down. Both images are
// 2 x 2 with four different colours, so any flip shows at the sampled pixels.
#include "tests/support/run.h"
#include "tests/support/textured_scenes.h"
#include "vy/mesh.h"

#include <gtest/gtest.h>

namespace {

using textest::ScratchCwd;

// The colour of a pixel as three bits: which channels are clearly lit.
std::string colour_name(const unsigned char *p) {
  static const char *names[8] = {"black", "blue", "green", "cyan", "red", "magenta", "yellow", "white"};
  int bits = (p[0] > 128 ? 4 : 0) | (p[1] > 128 ? 2 : 0) | (p[2] > 128 ? 1 : 0);
  return names[bits];
}

std::vector<unsigned char> quad(const unsigned char (&colours)[4][3]) {
  std::vector<unsigned char> rgba(16, 255);
  for (int i = 0; i < 4; i++)
    for (int k = 0; k < 3; k++)
      rgba[4 * i + k] = colours[i][k];
  return rgba;
}

std::string read_log(ScratchCwd &dir) { return read_file(dir.file("povray.log")); }

// Runs POV-Ray on the scene in its own directory and reads the picture back.
textest::Image render(ScratchCwd &dir, const std::string &scene, int width, int height) {
  const int status = bftest::run_logged(BF_POVRAY,
                                        {"+I" + scene, "+Oout.tga", "+FT", "+W" + std::to_string(width),
                                         "+H" + std::to_string(height), "-D", "+MV3.0", "-GA", "+GF"},
                                        dir.path().string(), dir.file("povray.log"));
  EXPECT_EQ(status, 0) << read_log(dir);
  return textest::read_image(dir.file("out.tga"));
}

TEST(TextureRender, TextureAndBackdropKeepTheirOrientation) {
  if (std::string(BF_POVRAY).empty())
    GTEST_SKIP() << "POV-Ray is not installed";
  ScratchCwd dir;
  // Rows top first: the rectangle's image and the backdrop's image.
  const unsigned char face[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};
  const unsigned char sky[4][3] = {{255, 0, 255}, {0, 255, 255}, {255, 255, 255}, {0, 0, 0}};
  ASSERT_TRUE(textest::write_png(dir.file("face.png"), 2, 2, quad(face)));
  ASSERT_TRUE(textest::write_png(dir.file("sky.png"), 2, 2, quad(sky)));

  // Full ambient light and no lamps: every surface shows its own colour.
  scene_environment().ambient = 1;
  _object *root = db_get_root();
  root->has_texture = true;
  root->texture.image = dir.file("sky.png");
  // The camera on +z looking back at the origin, picture up along +y: the
  // side from which the planar image reads left to right, top to bottom.
  _object *camera = scene_add_object(root, OBJECT_TYPE_CAMERA);
  camera->position = {0, 0, 10};
  camera->has_look_at = true;
  camera->look_at = {0, 0, 0};
  camera->sky = {0, 1, 0};
  camera->view_angle = 45;
  // A 4 x 4 flat rectangle in the z = 0 plane with the planar image.
  _object *panel = textest::textured(root, dir.file("face.png"), 0);
  GeomParams params = {4, 0, 0, 0, 0, 0, 4, 4};
  scene_set_params(panel, params);
  VYobject *mesh = VYobject_create();
  float low[3] = {-2, -2, 0}, high[3] = {2, 2, 0};
  VYobject_set_bounds(mesh, low, high);
  scene_add_geometry(panel)->set_mesh(mesh);

  ASSERT_EQ(pov_save(dir.state, dir.file("scene.pov").c_str(), nullptr, 0), 1);
  const int width = 320, height = 240;
  textest::Image picture = render(dir, "scene.pov", width, height);
  ASSERT_EQ(picture.width, width) << read_log(dir);
  ASSERT_EQ(picture.height, height);

  // The rectangle covers about 58 pixels around the centre each way.
  int cx = width / 2, cy = height / 2, d = 29;
  EXPECT_EQ(colour_name(picture.at(cx - d, cy - d)), "red");
  EXPECT_EQ(colour_name(picture.at(cx + d, cy - d)), "green");
  EXPECT_EQ(colour_name(picture.at(cx - d, cy + d)), "blue");
  EXPECT_EQ(colour_name(picture.at(cx + d, cy + d)), "yellow");
  // The backdrop fills the picture behind it.
  EXPECT_EQ(colour_name(picture.at(8, 8)), "magenta");
  EXPECT_EQ(colour_name(picture.at(width - 9, 8)), "cyan");
  EXPECT_EQ(colour_name(picture.at(8, height - 9)), "white");
  EXPECT_EQ(colour_name(picture.at(width - 9, height - 9)), "black");
}

// A fitted backdrop pushed to one side (method or quality -1 or 1): its
// edge meets the picture's edge exactly, so neither a strip of the repeated
// image shows there nor is the image's own edge cut off. The 64 x 48 image
// has four coloured quarters in a white frame of one pixel; the picture is
// narrower than the image for the methods and wider for the qualities.
TEST(TextureRender, ShiftedBackdropMeetsThePictureEdge) {
  if (std::string(BF_POVRAY).empty())
    GTEST_SKIP() << "POV-Ray is not installed";
  const unsigned char quarters[4][3] = {{255, 0, 0}, {0, 0, 255}, {0, 255, 0}, {255, 255, 0}};
  std::vector<unsigned char> rgba;
  for (int y = 0; y < 48; y++)
    for (int x = 0; x < 64; x++) {
      const bool frame = x == 0 || y == 0 || x == 63 || y == 47;
      const unsigned char *c = quarters[(y < 24 ? 0 : 2) + (x < 32 ? 0 : 1)];
      const unsigned char white = 255;
      rgba.insert(rgba.end(), {frame ? white : c[0], frame ? white : c[1], frame ? white : c[2], white});
    }
  // The edge pixel shows the frame, the one 8 pixels further in the quarter.
  struct Case {
    int method, quality, width, height, x, y, dx, dy;
    const char *inside;
  } cases[] = {
      {-1, 0, 240, 240, 0, 60, 8, 0, "red"},     // left edge
      {1, 0, 240, 240, 239, 60, -8, 0, "blue"},  // right edge
      {0, 1, 240, 120, 60, 0, 0, 8, "red"},      // top edge
      {0, -1, 240, 120, 60, 119, 0, -8, "green"} // bottom edge
  };
  for (const Case &c : cases) {
    ScratchCwd dir;
    ASSERT_TRUE(textest::write_png(dir.file("sky.png"), 64, 48, rgba));
    scene_environment().ambient = 1;
    _object *root = db_get_root();
    root->has_texture = true;
    root->texture.image = dir.file("sky.png");
    root->texture.method = c.method;
    root->texture.quality = c.quality;
    _object *camera = scene_add_object(root, OBJECT_TYPE_CAMERA);
    camera->position = {0, 0, 10};
    camera->has_look_at = true;
    camera->look_at = {0, 0, 0};
    camera->sky = {0, 1, 0};
    // The scene is written for the picture's size, as the preview writes it.
    const SceneOptions options = {c.width, c.height, 0, 1};
    ASSERT_EQ(pov_write_preview_scene(dir.session, dir.file("scene.pov").c_str(), nullptr, &options), 1);
    textest::Image picture = render(dir, "scene.pov", c.width, c.height);
    ASSERT_EQ(picture.width, c.width) << read_log(dir);
    const std::string what = "method " + std::to_string(c.method) + ", quality " + std::to_string(c.quality);
    EXPECT_EQ(colour_name(picture.at(c.x, c.y)), "white") << what;
    EXPECT_EQ(colour_name(picture.at(c.x + c.dx, c.y + c.dy)), c.inside) << what;
  }
}

} // namespace
