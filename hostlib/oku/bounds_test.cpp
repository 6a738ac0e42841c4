// Midpoint and radius of a node's contents in the scene frame.
#include "oku/scene_db.h"
#include "vy/mesh.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class Bounds : public ::testing::Test {
protected:
  void SetUp() override { scene_reset(); }
  void TearDown() override { scene_reset(); }

  // An object whose geometry is a bare box from low to high (own frame).
  _object *box(_object *parent, const float low[3], const float high[3]) {
    _object *o = scene_add_object(parent, OBJECT_TYPE_GEOMETRY);
    VYobject *mesh = VYobject_create();
    VYobject_set_bounds(mesh, low, high);
    scene_add_geometry(o)->set_mesh(mesh);
    return o;
  }
};

void expect_near(const ZAL_VECT3 &v, double x, double y, double z) {
  EXPECT_NEAR(v.x, x, 1e-5);
  EXPECT_NEAR(v.y, y, 1e-5);
  EXPECT_NEAR(v.z, z, 1e-5);
}

TEST_F(Bounds, ObjectMidpointIsItsBoxCentrePlacedLikeTheModulePlacesIt) {
  const float low[3] = {0, 0, 0}, high[3] = {2, 4, 6};
  _object *o = box(nullptr, low, high);
  o->position = {10, 0, 0};
  VYobject_set_pivot(obj_get_geometry(o), 1, 0, 0);
  ZAL_VECT3 m;
  obj_get_midpoint(o, m, FRAME_SCENE);
  // Centre (1, 2, 3), minus the pivot, plus the position.
  expect_near(m, 10, 2, 3);
  EXPECT_NEAR(obj_get_grpradius(o), std::sqrt(1 + 4 + 9), 1e-5);
}

TEST_F(Bounds, RotationTurnsTheBoxAboutThePivot) {
  const float low[3] = {0, -1, -1}, high[3] = {4, 1, 1};
  _object *o = box(nullptr, low, high);
  o->rotation = {0, 0, 90}; // own +x becomes scene +y
  ZAL_VECT3 m;
  obj_get_midpoint(o, m, FRAME_SCENE);
  expect_near(m, 0, 2, 0);
}

TEST_F(Bounds, RootContentsSpanAllObjectsInTheTree) {
  const float low[3] = {-1, -1, -1}, high[3] = {1, 1, 1};
  _object *group = scene_add_object(nullptr, OBJECT_TYPE_GROUP);
  group->position = {0, 0, 10};
  box(group, low, high)->position = {-4, 0, 0};
  box(nullptr, low, high)->position = {4, 0, 0};
  _object *light = scene_add_object(nullptr, OBJECT_TYPE_LIGHT);
  light->position = {1000, 1000, 1000}; // a light is not content
  ZAL_VECT3 m;
  obj_get_midpoint(db_get_root(), m, FRAME_CONTENTS);
  expect_near(m, 0, 0, 5);
  // Box corners (+-5, +-1, 11) / (-1) lie farthest: sqrt(25 + 1 + 36).
  EXPECT_NEAR(obj_get_grpradius(db_get_root()), std::sqrt(62.0), 1e-4);
  // The group's contents are its own box alone.
  obj_get_midpoint(group, m, FRAME_SCENE);
  expect_near(m, -4, 0, 10);
}

TEST_F(Bounds, CamerasAndLightsAnswerTheirPosition) {
  _object *group = scene_add_object(nullptr, OBJECT_TYPE_GROUP);
  group->position = {1, 1, 1};
  _object *cam = scene_add_object(group, OBJECT_TYPE_CAMERA);
  cam->position = {0, 2, -10};
  ZAL_VECT3 m;
  obj_get_midpoint(cam, m, FRAME_SCENE);
  expect_near(m, 1, 3, -9);
  EXPECT_EQ(obj_get_grpradius(cam), 0.0f);
}

TEST_F(Bounds, EmptyNodeAnswersItsPositionAndZero) {
  _object *group = scene_add_object(nullptr, OBJECT_TYPE_GROUP);
  group->position = {3, 4, 5};
  ZAL_VECT3 m;
  obj_get_midpoint(group, m, FRAME_SCENE);
  expect_near(m, 3, 4, 5);
  EXPECT_EQ(obj_get_grpradius(group), 0.0f);
}

TEST_F(Bounds, OverridesReplaceDerivedValues) {
  const float low[3] = {-1, -1, -1}, high[3] = {1, 1, 1};
  _object *o = box(nullptr, low, high);
  o->has_midpoint = true;
  o->midpoint = {7, 8, 9};
  ZAL_VECT3 m;
  obj_get_midpoint(o, m, FRAME_SCENE);
  expect_near(m, 7, 8, 9);
  // The radius is then measured from the given midpoint.
  EXPECT_NEAR(obj_get_grpradius(o), std::sqrt(64 + 81 + 100.0), 1e-4);
  o->has_radius = true;
  o->radius = 2.5f;
  EXPECT_EQ(obj_get_grpradius(o), 2.5f);
}

TEST_F(Bounds, MeshGeometryUsesItsPositions) {
  _object *o = scene_add_object(nullptr, OBJECT_TYPE_GEOMETRY);
  VYobject *mesh = VYobject_create();
  const int a = VYobject_add_position(mesh, 0, 0, 0);
  const int b = VYobject_add_position(mesh, 2, 0, 0);
  const int c = VYobject_add_position(mesh, 0, 2, 0);
  VYobject_begin_polygon(mesh, {1, 1, 1});
  VYobject_add_corner(mesh, a, -1);
  VYobject_add_corner(mesh, b, -1);
  VYobject_add_corner(mesh, c, -1);
  scene_add_geometry(o)->set_mesh(mesh);
  ZAL_VECT3 m;
  obj_get_midpoint(o, m, FRAME_SCENE);
  expect_near(m, 1, 1, 0);
  EXPECT_NEAR(obj_get_grpradius(o), std::sqrt(2.0), 1e-5);
}

} // namespace
