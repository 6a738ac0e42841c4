// A saved scene renders in the real POV-Ray 3.7: the camera shows what lies
// to its right on the right of the picture and its up at the top (also when
// rolled about its view axis), every kind of light lights, and hidden objects
// with hostile names stay hidden.
#include "tests/support/module_scene.h"
#include "tests/support/run.h"
#include "vy/mesh.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace {

class RenderTest : public ::testing::Test {
protected:
  void SetUp() override {
    scene_reset();
    char pattern[] = "/tmp/pov_scene_render_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  TestSession module;

  _object *sphere(const char *name, ZAL_COLOR colour, ZAL_VECT3 at, float radius) {
    _object *node = add_node(nullptr, OBJECT_TYPE_GEOMETRY, name);
    VYobject *bounds = VYobject_create();
    const float low[3] = {-1, -1, -1}, high[3] = {1, 1, 1};
    VYobject_set_bounds(bounds, low, high);
    scene_add_geometry(node)->set_mesh(bounds);
    GeomParams params{};
    params.kind = 3;
    params.radius = radius;
    scene_set_params(node, params);
    node->color = colour;
    node->position = at;
    return node;
  }

  // Saves and renders at 64 x 48; answers the picture, null when POV-Ray failed.
  std::unique_ptr<VYbitmap> save_and_render(std::string &messages) {
    std::string scene = dir + "/scene.pov";
    if (pov_save(module.state, scene.c_str(), nullptr, 1) != 1)
      return nullptr;
    if (bftest::run_logged(BF_POVRAY,
                           {"+Iscene.pov", "+Oscene.tga", "+FT", "+W64", "+H48", "-D", "+MV3.0", "-GA"}, dir,
                           dir + "/povray.log") != 0) {
      messages = read_file(dir + "/povray.log");
      return nullptr;
    }
    return std::unique_ptr<VYbitmap>(image_reader_invoke((dir + "/scene.tga").c_str()));
  }

  std::string dir;
};

// Mean of one channel over a block of the picture.
double mean(const VYbitmap &picture, int channel, int x0, int y0, int x1, int y1) {
  double sum = 0;
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x, ++n)
      sum += picture.data()[(y * picture.width() + x) * picture.bytes_per_pixel() + channel];
  return sum / n;
}

TEST_F(RenderTest, CameraLightsAndHiddenObjects) {
  if (std::string(BF_POVRAY).empty())
    GTEST_SKIP() << "POV-Ray is not installed";
  _object *camera = add_node(nullptr, OBJECT_TYPE_CAMERA, "Camera");
  camera->position = {0, 0, -10};
  camera->has_look_at = true;
  camera->look_at = {0, 0, 0};
  camera->view_angle = 45;

  // The camera's own +x (the picture's right) is f x up = -x here.
  ZAL_VECT3 right{-1, 0, 0};
  sphere("Red right", {1, 0, 0}, {3 * right.x, 0, 0}, 1);
  sphere("Blue up", {0, 0, 1}, {0, 2.5f, 0}, 1);
  sphere("Glass", {0, 1, 0}, {0, -2.5f, 0}, 1)->opacity = 0; // hidden by opacity

  _object *key = add_node(nullptr, OBJECT_TYPE_LIGHT, "Key");
  key->ltype = 2;
  key->position = {0, 0, -10};
  key->has_look_at = true;
  key->look_at = {0, 0, 0};
  key->cone_angle = 60;
  key->exponent = 1;
  key->color = {1, 1, 1};
  _object *sun = add_node(nullptr, OBJECT_TYPE_LIGHT, "Sun");
  sun->ltype = 1;
  sun->has_look_at = true;
  sun->position = {0, 0, -1};
  sun->look_at = {0, 0, 0};
  sun->color = {1, 1, 1};
  sun->intensity = 0.3f;
  _object *off = add_node(nullptr, OBJECT_TYPE_LIGHT, "Off");
  off->active = 0;

  _object *evil = sphere("x */ #error \"escaped\"\n#error \"escaped\" /*", {1, 1, 1}, {0, 0, 0}, 4);
  evil->visible = 0;
  // An object with no shape at all: POV-Ray would refuse the whole scene
  // over its statement.
  add_node(nullptr, OBJECT_TYPE_GEOMETRY, "No shape")->color = {0, 1, 0};

  std::string messages;
  std::unique_ptr<VYbitmap> picture = save_and_render(messages);
  ASSERT_NE(picture, nullptr) << messages;
  ASSERT_EQ(picture->width(), 64);
  // Red on the right half, none on the left; blue at the top, not at the bottom.
  EXPECT_GT(mean(*picture, 0, 40, 16, 64, 32), 40);
  EXPECT_LT(mean(*picture, 0, 0, 16, 24, 32), 2);
  EXPECT_GT(mean(*picture, 2, 24, 0, 40, 14), 40);
  EXPECT_LT(mean(*picture, 2, 24, 34, 40, 48), 2);
  // The hidden spheres are not there: the centre and the bottom are background.
  EXPECT_LT(mean(*picture, 1, 24, 18, 40, 30), 2);
  EXPECT_LT(mean(*picture, 1, 24, 34, 40, 48), 2);
}

TEST_F(RenderTest, RolledCameraTiltsThePicture) {
  if (std::string(BF_POVRAY).empty())
    GTEST_SKIP() << "POV-Ray is not installed";
  // Looking along +z with -y up and +x right; rolled 30 degrees about z, its
  // right turns towards +y and its up towards +x. The scene's +x axis then
  // lies 30 degrees below the picture's right, so the picture shows it rising:
  // a sphere on it appears above the middle, about 1.5 units up, 2.6 right.
  _object *camera = add_node(nullptr, OBJECT_TYPE_CAMERA, "Camera");
  camera->position = {0, 0, -10};
  camera->rotation = {0, 0, 30};
  camera->view_angle = 45;
  sphere("Red on +x", {1, 0, 0}, {3, 0, 0}, 1);
  _object *lamp = add_node(nullptr, OBJECT_TYPE_LIGHT, "Lamp");
  lamp->position = {0, 0, -10};
  lamp->color = {1, 1, 1};

  std::string messages;
  std::unique_ptr<VYbitmap> picture = save_and_render(messages);
  ASSERT_NE(picture, nullptr) << messages;
  // About 5.8 pixels a unit: the sphere is centred near (47, 15), and nothing
  // is at its mirror image below the middle (where a roll the other way, or a
  // right vector off its row, would put it).
  EXPECT_GT(mean(*picture, 0, 43, 11, 51, 19), 40);
  EXPECT_LT(mean(*picture, 0, 43, 29, 51, 37), 2);
  EXPECT_LT(mean(*picture, 0, 0, 0, 32, 48), 2);
}

} // namespace
