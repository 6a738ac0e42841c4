#include "scene/pov_writers.h"
#include "tests/support/module_scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

class LightTest : public ::testing::Test {
protected:
  void SetUp() override { scene_reset(); }

  _object *light(int kind, ZAL_QUAT orientation = ZAL_QUAT{0, 0, 0, 1}) {
    _object *node = add_node(nullptr, OBJECT_TYPE_LIGHT, "Light");
    node->ltype = kind;
    node->color = ZAL_COLOR{1, 1, 1};
    node->has_orientation = true;
    node->orientation = orientation;
    return node;
  }

  std::string text(_object *node, int depth = 1) {
    return capture_text([&](FILE *f) { pov_write_light(f, depth, node); });
  }
};

TEST_F(LightTest, PointLight) {
  _object *node = light(0);
  node->position = ZAL_VECT3{1, 2, 3};
  node->color = ZAL_COLOR{1, 0.5f, 0.25f};
  node->intensity = 0.8f;
  EXPECT_EQ(text(node), "  light_source {\n"
                        "    <1, 2, 3>\n"
                        "    color rgb <1, 0.5, 0.25> * (5/3) * 0.8\n"
                        "  }\n");
}

TEST_F(LightTest, AnyOtherTypeIsAPointLight) {
  for (int kind : {0, 3, 7, -1}) {
    _object *node = light(kind);
    node->position = ZAL_VECT3{-4, 0, 2.5f};
    node->intensity = 0; // written as it is
    EXPECT_EQ(text(node, 0), "light_source {\n"
                             "  <-4, 0, 2.5>\n"
                             "  color rgb <1, 1, 1> * (5/3) * 0\n"
                             "}\n")
        << "type " << kind;
  }
}

TEST_F(LightTest, DistantLightIsFarAlongItsDirection) {
  _object *node = light(1);
  node->position = ZAL_VECT3{5, 5, 5}; // not used
  EXPECT_EQ(text(node), "  light_source {\n"
                        "    <0, 0, -1e+10>\n"
                        "    color rgb <1, 1, 1> * (5/3) * 1\n"
                        "  }\n");

  // Turned by its orientation through the host's rotation.
  _object *turned = light(1, ZAL_QUAT{0, 0.70710677f, 0, 0.70710677f});
  std::string t = text(turned, 0);
  float x, y, z;
  ASSERT_EQ(sscanf(t.c_str(), "light_source {\n  <%g, %g, %g>", &x, &y, &z), 3) << t;
  ZAL_VECT3 expected = turned->orientation.xform(ZAL_VECT3{0, 0, -1});
  EXPECT_NEAR(x, expected.x * 1e10, 1e5);
  EXPECT_NEAR(y, expected.y * 1e10, 1e5);
  EXPECT_NEAR(z, expected.z * 1e10, 1e5);
  EXPECT_NEAR(std::fabs(x), 1e10, 1e5);
}

TEST_F(LightTest, SpotLightPointsOneUnitAlongItsAxis) {
  _object *node = light(2);
  node->position = ZAL_VECT3{1, 2, 3};
  node->cone_angle = 30;
  node->exponent = 10;
  EXPECT_EQ(text(node), "  light_source {\n"
                        "    <1, 2, 3>\n"
                        "    color rgb <1, 1, 1> * (5/3) * 1\n"
                        "    spotlight\n"
                        "    point_at <1, 2, 3> + <0, 0, 1>\n"
                        "    radius 0\n"
                        "    falloff 30\n"
                        "    tightness 10\n"
                        "  }\n");
  // The axis is the third row of the quaternion's matrix.
  node->orientation = ZAL_QUAT{0.5f, 0.5f, 0.5f, 0.5f};
  EXPECT_NE(text(node).find("    point_at <1, 2, 3> + <0, 1, 0>\n"), std::string::npos);
}

TEST_F(LightTest, SpotLightFromLookAtShinesAtTheTarget) {
  _object *node = add_node(nullptr, OBJECT_TYPE_LIGHT, "Key");
  node->ltype = 2;
  node->color = ZAL_COLOR{1, 1, 1};
  node->position = ZAL_VECT3{0, 10, 0};
  node->has_look_at = true;
  node->look_at = ZAL_VECT3{0, 0, 0};
  node->sky = ZAL_VECT3{0, 0, 1};
  std::string t = text(node, 0);
  float px, py, pz, ax, ay, az;
  size_t at = t.find("point_at");
  ASSERT_NE(at, std::string::npos);
  ASSERT_EQ(sscanf(t.c_str() + at, "point_at <%g, %g, %g> + <%g, %g, %g>", &px, &py, &pz, &ax, &ay, &az), 6);
  EXPECT_FLOAT_EQ(py, 10);
  EXPECT_NEAR(ax, 0, 1e-6);
  EXPECT_NEAR(ay, -1, 1e-6);
  EXPECT_NEAR(az, 0, 1e-6);
}

TEST_F(LightTest, InactiveLightIsCommentedOutAndChildrenFollow) {
  _object *node = light(0);
  node->active = 0;
  node->visible = 0; // visibility is not a light's concern
  node->position = ZAL_VECT3{0, 1, 0};
  add_node(node, OBJECT_TYPE_GEOMETRY, "Shade");
  std::string t = walk_text(db_get_root());
  EXPECT_EQ(t.substr(default_frame().size()), "/*\n"
                                              "  light_source {\n"
                                              "    <0, 1, 0>\n"
                                              "    color rgb <1, 1, 1> * (5/3) * 1\n"
                                              "  }\n"
                                              "*/\n"
                                              "/*\n" // the shade has no shape
                                              "    object { // Shade\n"
                                              "      pigment {color rgbt <1, 1, 1, 0>}\n"
                                              "      translate <0, 1, 0>\n"
                                              "      finish {ambient <1, 1, 1> phong 0 phong_size 0}\n"
                                              "      #if (NO_SHADOWS) no_shadow #end\n"
                                              "    }\n"
                                              "*/\n");
}

} // namespace

namespace {

// A point or spot light with a fade distance fades in the 3.7 language only;
// a distant light never does.
TEST(LightFade, WrittenFor37PointAndSpotLights) {
  const struct {
    int kind;
    float fade;
    int language;
    const char *line; // "" when no fade is written
  } cases[] = {
      {0, 12.5f, kPovLanguage37, "    fade_distance 1.25 fade_power 2\n"},
      {2, 3, kPovLanguage37, "    fade_distance 0.3 fade_power 2\n"},
      {0, 12.5f, kPovLanguage30, ""},
      {2, 3, kPovLanguage30, ""},
      {1, 12.5f, kPovLanguage37, ""},
      {0, 0, kPovLanguage37, ""},
  };
  for (const auto &c : cases) {
    scene_reset();
    _object *node = add_node(nullptr, OBJECT_TYPE_LIGHT, "Light");
    node->ltype = c.kind;
    node->color = ZAL_COLOR{1, 1, 1};
    node->fade_distance = c.fade;
    const std::string t = capture_text([&](FILE *f) { pov_write_light(f, 1, node, c.language); });
    const std::string end = std::string(c.line) + "  }\n"; // last in the light
    EXPECT_EQ(t.substr(t.size() - std::min(t.size(), end.size())), end) << t;
    EXPECT_EQ(t.find("fade") == std::string::npos, *c.line == 0) << t;
    EXPECT_EQ(t.find(" * 50.5\n") == std::string::npos, *c.line == 0) << t;
  }
}

} // namespace
