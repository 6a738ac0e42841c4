// Scenes saved in the POV-Ray 3.7 language, rendered by the real POV-Ray
// without the 3.0 dialect switch: a UV-mapped image lies upright and
// unmirrored, and mirrors, clamps, turns, scales and shifts as its texture
// says (and a projected one lies as in 3.0); colours come out as the host
// gave them (sRGB in, sRGB out), corner colours blend across a face,
// emission glows on a black base, and a point light fades with distance.
#include "tests/support/run.h"
#include "tests/support/textured_scenes.h"
#include "vy/mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

using textest::ScratchCwd;

struct Corner37 {
  float x, y, u, v;
  ZAL_COLOR colour; // red -1: none of its own
};

// A flat polygon in the z = 0 plane facing +z, with texture coordinates and
// corner colours.
VYobject *polygon_mesh(const std::vector<Corner37> &corners, ZAL_COLOR colour) {
  VYobject *mesh = VYobject_create();
  VYobject_begin_polygon(mesh, colour);
  long corner = 0;
  for (const Corner37 &c : corners) {
    VYobject_add_corner(mesh, VYobject_add_position(mesh, c.x, c.y, 0), VYobject_add_normal(mesh, 0, 0, 1));
    VYobject_set_corner_uv(mesh, corner, c.u, c.v);
    if (c.colour.r != -1)
      VYobject_set_corner_colour(mesh, corner, c.colour);
    ++corner;
  }
  return mesh;
}

// The camera on +z looking at the origin, picture up +y and right +x.
void add_camera(_object *root) {
  _object *camera = scene_add_object(root, OBJECT_TYPE_CAMERA);
  camera->position = {0, 0, 10};
  camera->has_look_at = true;
  camera->look_at = {0, 0, 0};
  camera->sky = {0, 1, 0};
  camera->view_angle = 45;
}

_object *add_mesh_object(_object *root, VYobject *mesh, ZAL_COLOR own) {
  _object *o = scene_add_object(root, OBJECT_TYPE_GEOMETRY);
  o->name = "Panel";
  o->color = own;
  scene_add_geometry(o)->set_mesh(mesh);
  return o;
}

const int kSize = 120;

// Saves in 3.7 and renders with nothing but the scene, size and output.
textest::Image save_and_render(ScratchCwd &dir) {
  EXPECT_EQ(pov_save(dir.state, dir.file("scene.pov").c_str(), nullptr, 1, kPovLanguage37), 1);
  const std::string size = std::to_string(kSize);
  const int status =
      bftest::run_logged(BF_POVRAY, {"scene.pov", "+Oout.tga", "+FT", "+W" + size, "+H" + size, "-D"},
                         dir.path().string(), dir.file("povray.log"));
  EXPECT_EQ(status, 0) << read_file(dir.file("povray.log"));
  return textest::read_image(dir.file("out.tga"));
}

struct Probe {
  int x, y;             // in the picture, top left 0, 0
  unsigned char rgb[3]; // expected
  int tolerance;        // per channel
};

struct Case {
  const char *name;
  std::function<void(ScratchCwd &, _object *root)> build;
  std::vector<Probe> probes;
};

const ZAL_COLOR kNone{-1, 0, 0};
const ZAL_COLOR kWhite{1, 1, 1};

// A 4 x 4 panel lit by ambient light alone, u from u0 to u1 and v from 0 to
// 1, wearing a w x h image (rows top first) by its texture coordinates; its
// corners of colour `corners`.
SceneTexture &image_panel(ScratchCwd &dir, _object *root, int w, int h,
                          const std::vector<unsigned char> &rgba, float u0 = 0, float u1 = 1,
                          ZAL_COLOR corners = kNone) {
  EXPECT_TRUE(textest::write_png(dir.file("face.png"), w, h, rgba));
  scene_environment().ambient = 1;
  _object *o = add_mesh_object(root,
                               polygon_mesh({{-2, -2, u0, 0, corners},
                                             {2, -2, u1, 0, corners},
                                             {2, 2, u1, 1, corners},
                                             {-2, 2, u0, 1, corners}},
                                            kWhite),
                               kNone);
  o->has_texture = true;
  o->texture.image = dir.file("face.png");
  o->texture.mapping = 1;
  return o->texture;
}

// A triangle of red, green and blue corners lit by ambient light alone.
_object *rgb_triangle(_object *root, ZAL_COLOR own) {
  scene_environment().ambient = 1;
  return add_mesh_object(
      root,
      polygon_mesh({{-2, -2, 0, 0, {1, 0, 0}}, {2, -2, 0, 0, {0, 1, 0}}, {0, 2, 0, 0, {0, 0, 1}}}, kWhite),
      own);
}

const std::vector<unsigned char> kQuads = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 0, 255};
const std::vector<unsigned char> kRedGreen = {255, 0, 0, 255, 0, 255, 0, 255};

TEST(Render37, PixelsOfUvImagesGammaCornerColoursAndEmission) {
  if (std::string(BF_POVRAY).empty())
    GTEST_SKIP() << "POV-Ray is not installed";
  const int c = kSize / 2, d = 15; // the 4 x 4 panel covers about 58 pixels each way
  const Case cases[] = {
      {"UV-mapped image, rows top first: red green / blue yellow",
       [](ScratchCwd &dir, _object *root) { image_panel(dir, root, 2, 2, kQuads); },
       {{c - d, c - d, {255, 0, 0}, 40},
        {c + d, c - d, {0, 255, 0}, 40},
        {c - d, c + d, {0, 0, 255}, 40},
        {c + d, c + d, {255, 255, 0}, 40}}},
      {"the same image under a faint red glow (a layer over the UV image)",
       [](ScratchCwd &dir, _object *root) {
         image_panel(dir, root, 2, 2, kQuads);
         LIST *children = obj_get_children(root);
         static_cast<_object *>(children->get(children->count()))->emission = ZAL_COLOR{0.2f, 0, 0};
       },
       // Green and blue gain the glow's red (0.2 as shown, 51).
       {{c + d, c - d, {51, 255, 0}, 20}, {c - d, c + d, {51, 0, 255}, 20}}},
      {"the same image over grey corner colours (one surface for every colour)",
       [](ScratchCwd &dir, _object *root) {
         image_panel(dir, root, 2, 2, kQuads, 0, 1, ZAL_COLOR{0.5f, 0.5f, 0.5f});
       },
       {{c - d, c - d, {255, 0, 0}, 40}, {c + d, c + d, {255, 255, 0}, 40}}},
      {"red | green over u 0 to 2, mirrored: red green green red",
       [](ScratchCwd &dir, _object *root) { image_panel(dir, root, 2, 1, kRedGreen, 0, 2).wrap[0] = 1; },
       {{c - 16, c, {255, 0, 0}, 40},
        {c - 5, c, {0, 255, 0}, 40},
        {c + 5, c, {0, 255, 0}, 40},
        {c + 16, c, {255, 0, 0}, 40}}},
      {"red | green over u -0.5 to 1.5, clamped: red red green green",
       [](ScratchCwd &dir, _object *root) {
         image_panel(dir, root, 2, 1, kRedGreen, -0.5f, 1.5f).wrap[0] = 2;
       },
       {{c - 16, c, {255, 0, 0}, 40},
        {c - 5, c, {255, 0, 0}, 40},
        {c + 5, c, {0, 255, 0}, 40},
        {c + 16, c, {0, 255, 0}, 40}}},
      {"the same interpolated: still red and green beyond the edges",
       [](ScratchCwd &dir, _object *root) {
         SceneTexture &t = image_panel(dir, root, 2, 1, kRedGreen, -0.5f, 1.5f);
         t.wrap[0] = 2, t.quality = 1;
       },
       {{c - 16, c, {255, 0, 0}, 40}, {c + 16, c, {0, 255, 0}, 40}}},
      {"turned a quarter counter-clockwise, then shifted by u 1: blue red / yellow green",
       [](ScratchCwd &dir, _object *root) {
         SceneTexture &t = image_panel(dir, root, 2, 2, kQuads);
         t.angle = 90, t.position = {1, 0};
       },
       {{c - d, c - d, {0, 0, 255}, 40},
        {c + d, c - d, {255, 0, 0}, 40},
        {c - d, c + d, {255, 255, 0}, 40},
        {c + d, c + d, {0, 255, 0}, 40}}},
      {"halved, then shifted into the bottom right quarter: yellow all over",
       [](ScratchCwd &dir, _object *root) {
         SceneTexture &t = image_panel(dir, root, 2, 2, kQuads);
         t.scale = {0.5f, 0.5f}, t.position = {0.55f, 0.05f};
       },
       {{c - d, c - d, {255, 255, 0}, 40}, {c + d, c + d, {255, 255, 0}, 40}}},
      {"planar projection of the same image on a flat box",
       [](ScratchCwd &dir, _object *root) {
         std::vector<unsigned char> rgba = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 0, 255};
         ASSERT_TRUE(textest::write_png(dir.file("face.png"), 2, 2, rgba));
         scene_environment().ambient = 1;
         _object *panel = textest::textured(root, dir.file("face.png"), 0);
         scene_set_params(panel, GeomParams{4, 0, 0, 0, 0, 0, 4, 4});
         VYobject *bounds = VYobject_create();
         const float low[3] = {-2, -2, 0}, high[3] = {2, 2, 0};
         VYobject_set_bounds(bounds, low, high);
         scene_add_geometry(panel)->set_mesh(bounds);
       },
       {{c - d, c - d, {255, 0, 0}, 40},
        {c + d, c - d, {0, 255, 0}, 40},
        {c - d, c + d, {0, 0, 255}, 40},
        {c + d, c + d, {255, 255, 0}, 40}}},
      {"sRGB 0.5 lit head-on by a light of 1 stays 0.5",
       [](ScratchCwd &, _object *root) {
         scene_environment().ambient = 0;
         _object *light = scene_add_object(root, OBJECT_TYPE_LIGHT);
         light->ltype = 1; // distant, turned about y to stand far out on +z
         light->color = kWhite;
         light->has_orientation = true;
         light->orientation = ZAL_QUAT{0, 1, 0, 0};
         add_mesh_object(
             root,
             polygon_mesh(
                 {{-2, -2, 0, 0, kNone}, {2, -2, 1, 0, kNone}, {2, 2, 1, 1, kNone}, {-2, 2, 0, 1, kNone}},
                 ZAL_COLOR{0.5f, 0.5f, 0.5f}),
             kNone);
       },
       {{c, c, {128, 128, 128}, 4}}},
      {"corner colours red, green, blue blend across the triangle",
       [](ScratchCwd &, _object *root) { rgb_triangle(root, kNone); },
       // Near each corner its colour; at the centroid a third of each (linear).
       {{c - 18, c + 22, {255, 0, 0}, 100},
        {c + 18, c + 22, {0, 255, 0}, 100},
        {c, c - 18, {0, 0, 255}, 100},
        {c, c + 10, {155, 155, 155}, 30}}},
      {"corner colours under the object's own blue",
       [](ScratchCwd &, _object *root) {
         rgb_triangle(root, ZAL_COLOR{0, 0, 1});
       },
       {{c - 18, c + 22, {0, 0, 255}, 20}, {c + 18, c + 22, {0, 0, 255}, 20}}},
      {"corner colours under a red glow",
       [](ScratchCwd &, _object *root) {
         rgb_triangle(root, kNone)->emission = ZAL_COLOR{0.5f, 0, 0};
       },
       // The blend of the row above with red raised (37 and 83 there without the glow).
       {{c + 18, c + 22, {132, 240, 94}, 25}, {c, c - 18, {149, 93, 231}, 25}}},
      {"yellow emission on a black surface",
       [](ScratchCwd &, _object *root) {
         _object *o = add_mesh_object(
             root,
             polygon_mesh(
                 {{-2, -2, 0, 0, kNone}, {2, -2, 1, 0, kNone}, {2, 2, 1, 1, kNone}, {-2, 2, 0, 1, kNone}},
                 kWhite),
             ZAL_COLOR{0, 0, 0});
         o->emission = ZAL_COLOR{1, 1, 0};
       },
       {{c, c, {255, 255, 0}, 6}}},
  };
  for (const Case &k : cases) {
    ScratchCwd dir;
    _object *root = db_get_root();
    add_camera(root);
    k.build(dir, root);
    const textest::Image picture = save_and_render(dir);
    ASSERT_EQ(picture.width, kSize) << k.name << "\n" << read_file(dir.file("povray.log"));
    for (const Probe &p : k.probes)
      for (int channel = 0; channel < 3; ++channel)
        EXPECT_NEAR(picture.at(p.x, p.y)[channel], p.rgb[channel], p.tolerance)
            << k.name << " at " << p.x << ", " << p.y << " channel " << channel;
  }
}

// A point light 10 units in front of a grey panel, fading from 10 units:
// the panel 10 away looks as without the fade, one 5 away gets four times
// the light and one 20 away a quarter (POV-Ray's fade is 3% short of that
// at 5). The ambient light is reflected by the panel's colour, once.
TEST(Render37, FadingPointLightFallsWithTheSquareOfTheDistance) {
  if (std::string(BF_POVRAY).empty())
    GTEST_SKIP() << "POV-Ray is not installed";
  const auto shown = [](double linear) { // sRGB, 0-255
    return 255 * (linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055);
  };
  const double grey = std::pow((0.5 + 0.055) / 1.055, 2.4);
  const struct {
    float fade, panel_z, intensity, ambient;
    double factor; // of the light
  } cases[] = {{0, 0, 0.5f, 0, 1},
               {10, 0, 0.5f, 0, 1},
               {10, 5, 0.5f, 0, 4},
               {10, -10, 0.5f, 0, 0.25},
               {0, 0, 0, 0.5f, 0}};
  for (const auto &k : cases) {
    ScratchCwd dir;
    _object *root = db_get_root();
    add_camera(root);
    scene_environment().ambient = k.ambient;
    _object *light = scene_add_object(root, OBJECT_TYPE_LIGHT);
    light->color = kWhite;
    light->position = {0, 0, 10};
    light->intensity = k.intensity;
    light->fade_distance = k.fade;
    add_mesh_object(
        root,
        polygon_mesh({{-2, -2, 0, 0, kNone}, {2, -2, 1, 0, kNone}, {2, 2, 1, 1, kNone}, {-2, 2, 0, 1, kNone}},
                     ZAL_COLOR{0.5f, 0.5f, 0.5f}),
        kNone)
        ->position = {0, 0, k.panel_z};
    const textest::Image picture = save_and_render(dir);
    ASSERT_EQ(picture.width, kSize) << read_file(dir.file("povray.log"));
    EXPECT_NEAR(picture.at(kSize / 2, kSize / 2)[0], shown(grey * (k.intensity * k.factor + k.ambient)), 3)
        << "fade " << k.fade << ", panel at z " << k.panel_z << ", ambient " << k.ambient;
  }
}

} // namespace
