// Texture statements: golden texts of the texture block and its finish.
#include "tests/support/textured_scenes.h"
#include "vy/mesh.h"

#include <gtest/gtest.h>

namespace {

using textest::ScratchCwd;

// Makes the Targa file that the object's texture settings name, so that
// nothing needs converting.
void ready(ScratchCwd &dir, _object *o) {
  TextureRecord *r = texture_record_new()->fill(o);
  r->derive_file_name();
  textest::write_targa_header(dir.file(r->file_name), 16, 16);
  texture_record_free(r);
}

// A textured object with geometry extents (extent, 1, 1).
_object *object_with(const char *image, int method, float extent = 2) {
  _object *o = textest::textured(nullptr, image, method);
  o->specular = {0.5f, 0, 0};
  o->shininess = 40;
  VYobject *mesh = VYobject_create();
  float low[3] = {0, 0, 0}, high[3] = {extent, 1, 1};
  VYobject_set_bounds(mesh, low, high);
  scene_add_geometry(o)->set_mesh(mesh);
  return o;
}

struct Written {
  int answer = -1;
  std::string text;
};

Written write(ScratchCwd &dir, _object *o, int depth = 1, float opacity = 1,
              ZAL_COLOR colour = {0.2f, 0.4f, 0.6f}) {
  Written w;
  w.text = textest::capture(
      [&](FILE *f) { w.answer = write_texture_statements(dir.session, f, depth, o, colour, opacity); });
  return w;
}

const char *kCylinderTail =
    " interpolate 2 map_type 2} translate <0, -0.5> rotate <0, 90, 0> scale <-1, 1, 1> scale <1, 0.25, 1>"
    " scale <1, 2, 1>}\n";

_object *cylinder_texture(ScratchCwd &dir, int active) {
  _object *o = object_with("/x/wood", 1);
  o->texture.active = active;
  o->texture.scale = {2, 4};
  o->texture.quality = 1;
  ready(dir, o);
  return o;
}

TEST(TextureStatements, BothPassesLiveWritePigmentNormalAndAWhiteFinish) {
  ScratchCwd dir;
  Written w = write(dir, cylinder_texture(dir, 3));
  EXPECT_EQ(w.answer, 1);
  EXPECT_EQ(w.text, std::string("  texture {\n"
                                "    pigment { image_map { tga \"oku_wood_ck   2   4.tga\"") +
                        kCylinderTail +
                        "    normal { bump_map { tga \"oku_wood_ck   2   4.tga\" bump_size 2" +
                        kCylinderTail +
                        "  }\n"
                        "  finish {ambient <1, 1, 1> phong 0.5 phong_size 40}\n");
}

TEST(TextureStatements, ImageMapOnly) {
  ScratchCwd dir;
  Written w = write(dir, cylinder_texture(dir, 1));
  EXPECT_EQ(w.answer, 1);
  EXPECT_EQ(w.text, std::string("  texture {\n"
                                "    pigment { image_map { tga \"oku_wood_ck   2   4.tga\"") +
                        kCylinderTail + "    /*\n" +
                        "      normal { bump_map { tga \"oku_wood_ck   2   4.tga\" bump_size 2" +
                        kCylinderTail +
                        "    */\n"
                        "  }\n"
                        "  finish {ambient <1, 1, 1> phong 0.5 phong_size 40}\n");
}

TEST(TextureStatements, BumpMapOnly) {
  ScratchCwd dir;
  Written w = write(dir, cylinder_texture(dir, 2));
  EXPECT_EQ(w.answer, 1);
  EXPECT_EQ(w.text, std::string("  texture {\n"
                                "    pigment {color rgbt <0.2, 0.4, 0.6, 0>}\n"
                                "    /*\n"
                                "      pigment { image_map { tga \"oku_wood_ck   2   4.tga\"") +
                        kCylinderTail + "    */\n" +
                        "    normal { bump_map { tga \"oku_wood_ck   2   4.tga\" bump_size 2" +
                        kCylinderTail +
                        "  }\n"
                        "  finish {ambient <1, 1, 1> phong 0.5 phong_size 40}\n");
}

std::string commented_example() {
  return std::string("/*\n"
                     "  texture {\n"
                     "    pigment { image_map { tga \"oku_wood_ck   2   4.tga\"") +
         kCylinderTail + "    normal { bump_map { tga \"oku_wood_ck   2   4.tga\" bump_size 2" +
         kCylinderTail +
         "  }\n"
         "*/\n";
}

TEST(TextureStatements, InactiveIsCommentedOut) {
  ScratchCwd dir;
  Written w = write(dir, cylinder_texture(dir, 0));
  EXPECT_EQ(w.answer, 0);
  EXPECT_EQ(w.text, commented_example());
}

TEST(TextureStatements, FailedConversionIsCommentedOut) {
  ScratchCwd dir;
  _object *o = cylinder_texture(dir, 3);
  std::filesystem::remove(dir.file("oku_wood_ck   2   4.tga")); // and /x/wood cannot be read
  Written w = write(dir, o);
  EXPECT_EQ(w.answer, 0);
  EXPECT_EQ(w.text, commented_example());
  EXPECT_EQ(dir.state->texture_list.count(), 0);
}

TEST(TextureStatements, NothingWithoutATexture) {
  ScratchCwd dir;
  _object *plain = scene_add_object(nullptr, OBJECT_TYPE_GEOMETRY);
  Written w = write(dir, plain);
  EXPECT_EQ(w.answer, 0);
  EXPECT_EQ(w.text, "");
  _object *empty = textest::textured(nullptr, "");
  EXPECT_EQ(write(dir, empty).text, "");
  _object *bump = object_with("/x/wood", 0);
  bump->texture.type = 2;
  ready(dir, bump);
  w = write(dir, bump);
  EXPECT_EQ(w.answer, 0);
  EXPECT_EQ(w.text, "");
  // Laid on by the mesh's texture coordinates: no 3.0 form, no Targa.
  _object *by_uv = object_with("/x/wood", 0);
  by_uv->texture.mapping = 1;
  w = write(dir, by_uv);
  EXPECT_EQ(w.answer, 0);
  EXPECT_EQ(w.text, "");
  EXPECT_EQ(dir.state->texture_list.count(), 0);
}

TEST(TextureStatements, PlanarMappingWithEverything) {
  ScratchCwd dir;
  _object *o = object_with("/x/wood", 0, 3);
  o->texture.active = 3;
  o->texture.type = 1;
  o->texture.scale = {2, 0};
  o->texture.angle = 30;
  o->texture.position = {0, 0.5f};
  o->texture.grid_angles = {10, 20, 30};
  o->texture.grid_position = {0, 0, -1};
  o->opacity = 0.25f;
  ready(dir, o);
  Written w = write(dir, o, 0, 0.25f);
  const char *mapping = " translate <-0.5, -0.5> scale <0.5, 0, 1> rotate <0, 0, -30> translate <0, 0.5>"
                        " scale <3, 3, 1> rotate <0, 0, 30> rotate <0, 20, 0> rotate <10, 0, 0>"
                        " translate <0, 0, -1>}\n";
  EXPECT_EQ(w.text, std::string("texture {\n"
                                "  pigment { image_map { tga \"oku_wood_25.tga\" transmit all 0.75 once}") +
                        mapping + "  normal { bump_map { tga \"oku_wood_25.tga\" bump_size 2 once}" +
                        mapping +
                        "}\n"
                        "finish {ambient <1, 1, 1> phong 0.125 phong_size 40}\n");
}

TEST(TextureStatements, SphericalWritesOnlyItsRotations) {
  ScratchCwd dir;
  _object *o = object_with("/x/ball", 2);
  o->texture.active = 1;
  o->texture.scale = {3, 5};
  o->texture.angle = 30;
  o->texture.position = {1, 2};
  o->texture.grid_angles = {0, 45, 0};
  o->texture.grid_position = {1, 2, 3};
  ready(dir, o);
  Written w = write(dir, o, 0);
  EXPECT_EQ(w.text.substr(0, w.text.find('\n', 12) + 1),
            "texture {\n"
            "  pigment { image_map { tga \"oku_ball_sk   3   5p   1   2a  30.tga\" map_type 1}"
            " rotate <0, 90, 0> scale <-1, 1, 1> rotate <0, 45, 0>}\n");
}

TEST(TextureStatements, OtherMethodsWriteNoTransforms) {
  ScratchCwd dir;
  _object *o = object_with("/x/odd", 5);
  o->texture.active = 1;
  ready(dir, o);
  Written w = write(dir, o, 0);
  EXPECT_NE(w.text.find("  pigment { image_map { tga \"oku_odd.tga\"}}\n"), std::string::npos) << w.text;
}

TEST(TextureStatements, FinishTerms) {
  ScratchCwd dir;
  _object *o = object_with("/x/wood", 0);
  o->texture.active = 1;
  o->emission = {0.2f, 0, 0};
  o->reflectivity = 0.3f;
  scene_environment().ambient = 0.4f;
  ready(dir, o);
  std::string text = write(dir, o, 0).text;
  EXPECT_EQ(text.substr(text.find("finish")),
            "finish {ambient <1, 1, 1>+ <0.5, 0, 0> phong 0.5 phong_size 40 reflection 0.3}\n");
  scene_environment().ambient = 0;
  text = write(dir, o, 0).text;
  EXPECT_EQ(text.substr(text.find("finish")),
            "finish {ambient <1, 1, 1>+ <200, 0, 0> phong 0.5 phong_size 40 reflection 0.3}\n");
  // Opacity 0: no highlight.
  text = write(dir, o, 0, 0).text;
  EXPECT_NE(text.find(" phong 0 phong_size 40"), std::string::npos);
}

// Reciprocals that would overflow are written as 0, like a zero scale: the
// scene never receives inf or nan.
TEST(TextureStatements, NoInfinityInTheScene) {
  ScratchCwd dir;
  _object *o = object_with("/x/wood", 0);
  o->texture.active = 1;
  o->texture.scale = {1e-40f, 0};
  ready(dir, o);
  std::string text = write(dir, o, 0).text;
  EXPECT_NE(text.find(" scale <0, 0, 1>"), std::string::npos) << text;
  EXPECT_EQ(text.find("inf"), std::string::npos);
}

// A texture used by many objects is listed once and its statements share it.
TEST(TextureStatements, RecordsAreSharedAcrossObjects) {
  ScratchCwd dir;
  _object *a = object_with("/x/Wood", 0);
  ready(dir, a);
  _object *b = textest::textured(nullptr, "/X/WOOD");
  EXPECT_EQ(write(dir, a).answer, 1);
  EXPECT_EQ(write(dir, b).answer, 1);
  EXPECT_EQ(dir.state->texture_list.count(), 1);
}

} // namespace
