// Renders through the real POV-Ray: the registry's Home is the build folder,
// whose bin/pvengine.exe runs Debian's povray.
#include "preview/pov_preview_surface.h"
#include "tests/support/preview_home.h"

#include "geometry/pov_parts.h"
#include "hostlib/oku/scene_db.h"
#include "hostlib/vy/mesh.h"
#include "tests/support/module_state.h"
#include "texture/pov_texture.h"
#include "win32/spawn_control.h"

#include <fcntl.h>
#include <memory>

namespace {

using namespace pvtest;

struct Centre {
  double x = 0, y = 0;
  long count = 0;
};

class RealRenderTest : public PreviewFixture {
protected:
  TestSession module;

  void SetUp() override {
    PreviewFixture::SetUp();
    if (std::string(BF_POVRAY).empty())
      GTEST_SKIP() << "POV-Ray is not installed (apt-get install povray)";
    ASSERT_TRUE(fs::exists(fs::path(BF_BINARY_DIR) / "bin" / "pvengine.exe")) << "build pvengine.exe first";
    set_registry("Software\\POV-Ray\\CurrentVersion\\Windows", home_line(BF_BINARY_DIR));
    scene_reset();
    scene_environment().ambient = 0.3f;
    _object *camera = scene_add_object(nullptr, OBJECT_TYPE_CAMERA);
    camera->name = "Camera";
    camera->position = {0, 0, 10}; // looking down -z, +y up
    camera->has_look_at = true;
    camera->look_at = {0, 0, 0};
    camera->sky = {0, 1, 0};
    _object *light = scene_add_object(nullptr, OBJECT_TYPE_LIGHT);
    light->name = "Light";
    light->position = {0, 0, 10};
    light->color = {1, 1, 1};
  }
  void TearDown() override {
    scene_reset();
    PreviewFixture::TearDown();
  }
  _object *shape(int kind, ZAL_VECT3 position, ZAL_COLOR colour) {
    _object *o = scene_add_object(nullptr, OBJECT_TYPE_GEOMETRY);
    o->name = "Shape";
    o->position = position;
    o->color = colour;
    GeomParams params{};
    params.kind = kind;
    params.radius = 1;
    params.width = 4;
    params.height = 4;
    scene_set_params(o, params);
    // The host gives a shape's geometry the bounds of the shape.
    VYobject *bounds = VYobject_create();
    float low[3] = {-2, -2, 0}, high[3] = {2, 2, 0};
    if (kind == 3) {
      low[0] = low[1] = low[2] = -1;
      high[0] = high[1] = high[2] = 1;
    }
    VYobject_set_bounds(bounds, low, high);
    scene_add_geometry(o)->set_mesh(bounds);
    return o;
  }
  // Renders the scene; the picture's pixels are copied out.
  void render(int width, int height) {
    width_ = width;
    height_ = height;
    auto surface = std::make_unique<PovPreviewSurface>(module.state, nullptr, width, height, 24, nullptr);
    surface->draw();
    // POV-Ray's messages go to a log, shown when the render failed.
    std::string log = (root_ / "povray.log").string();
    int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    win32_spawn_set_output(fd);
    const VYbitmap *picture = surface->bitmap();
    win32_spawn_set_output(-1);
    close(fd);
    Win32SpawnResult run = win32_last_spawn();
    ASSERT_TRUE(run.exited && run.status == 0) << read_file(log);
    ASSERT_NE(picture, nullptr);
    ASSERT_EQ(picture->width(), width);
    pixels_.assign(picture->data(), picture->data() + picture->data_size());
    surface.reset();
    EXPECT_TRUE(work_entries().empty());
  }
  const unsigned char *at(int x, int y) const { return &pixels_[(static_cast<size_t>(y) * width_ + x) * 3]; }
  // The centre of the pixels in which one channel clearly dominates.
  Centre centre_of(int channel) const {
    Centre c;
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) {
        const unsigned char *p = at(x, y);
        if (p[channel] > 100 && p[channel] > 2 * p[(channel + 1) % 3] &&
            p[channel] > 2 * p[(channel + 2) % 3]) {
          c.x += x;
          c.y += y;
          ++c.count;
        }
      }
    if (c.count) {
      c.x /= c.count;
      c.y /= c.count;
    }
    return c;
  }
  int width_ = 0, height_ = 0;
  std::vector<unsigned char> pixels_;
};

TEST_F(RealRenderTest, SceneRightIsPictureRightAndSceneUpIsPictureUp) {
  shape(3, {3, 0, 0}, {1, 0, 0});    // red ball on the right
  shape(3, {0, 2.5f, 0}, {0, 1, 0}); // green ball above
  render(160, 120);
  Centre red = centre_of(0), green = centre_of(1);
  ASSERT_GT(red.count, 50);
  ASSERT_GT(green.count, 50);
  EXPECT_GT(red.x, 110);
  EXPECT_NEAR(red.y, 60, 4);
  EXPECT_NEAR(green.x, 80, 4);
  EXPECT_LT(green.y, 35);
}

TEST_F(RealRenderTest, APlanarTextureIsNotMirrored) {
  // Quadrants: red top left, green top right, blue bottom left, white bottom right.
  fs::path image = root_ / "quadrants.tga";
  write_targa(image, 8, 8, 24, [](int x, int y) -> Rgba {
    if (y < 4)
      return x < 4 ? Rgba{255, 0, 0, 255} : Rgba{0, 255, 0, 255};
    return x < 4 ? Rgba{0, 0, 255, 255} : Rgba{255, 255, 255, 255};
  });
  _object *board = shape(4, {0, 0, 0}, {1, 1, 1});
  board->has_texture = true;
  board->texture.image = image.string();
  board->emission = {1, 1, 1}; // evenly lit, whatever the light does
  render(160, 120);
  auto near = [this](int x, int y, int r, int g, int b) {
    const unsigned char *p = at(x, y);
    return (p[0] > 128) == (r > 0) && (p[1] > 128) == (g > 0) && (p[2] > 128) == (b > 0);
  };
  // The 4-unit board, 10 units away under a 45 degree view, spans about
  // pixels 51 to 109 across and 31 to 89 down: these are its quadrants' middles.
  EXPECT_TRUE(near(65, 45, 1, 0, 0)) << "top left";
  EXPECT_TRUE(near(95, 45, 0, 1, 0)) << "top right";
  EXPECT_TRUE(near(65, 75, 0, 0, 1)) << "bottom left";
  EXPECT_TRUE(near(95, 75, 1, 1, 1)) << "bottom right";
}

} // namespace
