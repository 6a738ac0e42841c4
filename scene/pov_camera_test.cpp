#include "scene/pov_writers.h"
#include "tests/support/module_scene.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class CameraTest : public ::testing::Test {
protected:
  void SetUp() override { scene_reset(); }

  std::string text(_object *node, int depth = 1) {
    return capture_text([&](FILE *f) { pov_write_camera(f, depth, node); });
  }
};

TEST_F(CameraTest, IdentityWithNinetyDegrees) {
  _object *camera = add_node(nullptr, OBJECT_TYPE_CAMERA, "Main");
  camera->position = ZAL_VECT3{0, 2, -10};
  camera->view_angle = 90;
  EXPECT_EQ(text(camera), "  camera {\n"
                          "    location <0, 2, -10>\n"
                          "    right <1, 0, 0> * (IMAGE_WIDTH / IMAGE_HEIGHT)\n"
                          "    up <-0, -1, -0>\n"
                          "    direction <0, 0, 0.5>\n"
                          "  }\n");
}

TEST_F(CameraTest, ATinyViewAngleKeepsTheDirectionFinite) {
  // 0.5 / tan(1e-45 degrees / 2) overflows a float; the direction is kept
  // at the largest float instead of "inf" (and no 0 * inf makes a "nan").
  _object *camera = add_node(nullptr, OBJECT_TYPE_CAMERA, "Main");
  camera->view_angle = 1e-45f;
  EXPECT_NE(text(camera, 0).find("\n  direction <0, 0, 3.40282e+38>\n"), std::string::npos)
      << text(camera, 0);
  camera->view_angle = 1e-30f;
  EXPECT_NE(text(camera, 0).find("\n  direction <0, 0, 5.72958e+31>\n"), std::string::npos)
      << text(camera, 0);
}

TEST_F(CameraTest, SixtyDegreesGivesDirectionLengthOfCot30Halved) {
  _object *camera = add_node(nullptr, OBJECT_TYPE_CAMERA, "Main");
  camera->view_angle = 60;
  EXPECT_NE(text(camera, 0).find("\n  direction <0, 0, 0.866025>\n"), std::string::npos);
}

TEST_F(CameraTest, LocationIsTheMidpoint) {
  _object *camera = add_node(nullptr, OBJECT_TYPE_CAMERA, "Main");
  camera->position = ZAL_VECT3{1, 1, 1};
  camera->has_midpoint = true;
  camera->midpoint = ZAL_VECT3{7, 8, 9};
  EXPECT_NE(text(camera, 0).find("\n  location <7, 8, 9>\n"), std::string::npos);
}

TEST_F(CameraTest, LookAtCameraLooksAtItsTarget) {
  _object *camera = add_node(nullptr, OBJECT_TYPE_CAMERA, "Main");
  camera->position = ZAL_VECT3{0, 0, -10};
  camera->has_look_at = true;
  camera->look_at = ZAL_VECT3{0, 0, 0};
  camera->view_angle = 90;
  std::string t = text(camera, 0);
  float ux, uy, uz, dx, dy, dz;
  ASSERT_EQ(sscanf(t.c_str() + t.find("up"), "up <%g, %g, %g>", &ux, &uy, &uz), 3) << t;
  ASSERT_EQ(sscanf(t.c_str() + t.find("direction"), "direction <%g, %g, %g>", &dx, &dy, &dz), 3) << t;
  EXPECT_NEAR(ux, 0, 1e-6);
  EXPECT_NEAR(uy, 1, 1e-6); // the sky
  EXPECT_NEAR(dz, 0.5, 1e-6);
  EXPECT_NEAR(dx, 0, 1e-6);
}

TEST_F(CameraTest, TurnedCamerasWriteTheColumnsOfTheirRotation) {
  // right is R's first column, up its second negated, direction its third
  // times 0.5 / tan(V / 2); right and up stay perpendicular unit vectors.
  struct Case {
    const char *label;
    ZAL_VECT3 rotation;
    bool has_look_at;
    ZAL_VECT3 look_at;
    float view_angle;
    const char *lines;
  } cases[] = {
      {"rolled 30 degrees about its view axis",
       {0, 0, 30},
       false,
       {},
       90,
       "  right <0.866025, 0.5, 0> * (IMAGE_WIDTH / IMAGE_HEIGHT)\n"
       "  up <0.5, -0.866025, 0>\n" // zero signs as the host's quaternion gives them
       "  direction <-0, 0, 0.5>\n"},
      {"turned about x, y and z",
       {40, 30, 60},
       false,
       {},
       90,
       "  right <0.433013, 0.824111, 0.365159> * (IMAGE_WIDTH / IMAGE_HEIGHT)\n"
       "  up <0.75, -0.104687, -0.653101>\n"
       "  direction <0.25, -0.278335, 0.331707>\n"},
      {"looking at a target off the axes",
       {},
       true,
       {3, 4, 7},
       90,
       "  right <-0.948683, 0, 0.316228> * (IMAGE_WIDTH / IMAGE_HEIGHT)\n"
       "  up <-0.135526, 0.903508, -0.406579>\n"
       "  direction <0.142857, 0.214286, 0.428571>\n"},
  };
  for (const Case &c : cases) {
    scene_reset();
    _object *camera = add_node(nullptr, OBJECT_TYPE_CAMERA, "Main");
    camera->position = ZAL_VECT3{1, 1, 1};
    camera->rotation = c.rotation;
    camera->has_look_at = c.has_look_at;
    camera->look_at = c.look_at;
    camera->view_angle = c.view_angle;
    std::string t = text(camera, 0);
    EXPECT_EQ(t.substr(t.find("  right")), std::string(c.lines) + "}\n") << c.label;
  }
}

// POV-Ray warns of camera vectors whose dot products exceed 1e-10, which
// six digits cannot meet for a camera off the axes; the 3.7 text's can.
TEST_F(CameraTest, The37CamerasVectorsAsWrittenArePerpendicular) {
  const ZAL_VECT3 from[] = {{30.9141f, 30.9141f, 30.9141f}, {1, 1, 1}, {-3, 0.5f, 12}};
  for (const ZAL_VECT3 &position : from) {
    scene_reset();
    _object *camera = add_node(nullptr, OBJECT_TYPE_CAMERA, "Main");
    camera->position = position;
    camera->has_look_at = true;
    camera->look_at = ZAL_VECT3{3, 4, 7};
    camera->view_angle = 40;
    const std::string t = capture_text([&](FILE *f) { pov_write_camera(f, 0, camera, kPovLanguage37); });
    double v[3][3];
    const char *names[3] = {"right <", "up <", "direction <"};
    for (int i = 0; i < 3; ++i)
      ASSERT_EQ(sscanf(t.c_str() + t.find(names[i]), "%*s <%lf, %lf, %lf>", &v[i][0], &v[i][1], &v[i][2]), 3)
          << t;
    for (int i = 0; i < 3; ++i) {
      const double *a = v[i], *b = v[(i + 1) % 3];
      EXPECT_LT(std::fabs(a[0] * b[0] + a[1] * b[1] + a[2] * b[2]), 1e-10) << t;
    }
  }
}

TEST_F(CameraTest, WalkWritesEveryCameraAndItsChildren) {
  _object *a = add_node(nullptr, OBJECT_TYPE_CAMERA, "A");
  a->active = 0; // cameras are never commented out
  a->visible = 0;
  _object *b = add_node(a, OBJECT_TYPE_CAMERA, "B");
  b->view_angle = 90;
  std::string t = walk_text(db_get_root()).substr(default_frame().size());
  EXPECT_EQ(t.find("/*"), std::string::npos);
  EXPECT_EQ(t.find("  camera {\n"), 0u);
  EXPECT_NE(t.find("    camera {\n      location <0, 0, 0>\n"), std::string::npos);
}

} // namespace
