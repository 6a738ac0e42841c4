// Scene-frame placement: the rotation convention, the host quaternion, Euler
// angles, look_at and composition down the tree.
#include "oku/scene_db.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

using M3 = std::array<std::array<double, 3>, 3>;

M3 mul(const M3 &a, const M3 &b) {
  M3 out{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k)
        out[i][j] += a[i][k] * b[k][j];
  return out;
}

// R = Rx * Ry * Rz, written out independently of the host's code.
M3 rotation(double ex, double ey, double ez) {
  const double k = M_PI / 180;
  const double cx = cos(ex * k), sx = sin(ex * k), cy = cos(ey * k), sy = sin(ey * k), cz = cos(ez * k),
               sz = sin(ez * k);
  const M3 rx{{{1, 0, 0}, {0, cx, -sx}, {0, sx, cx}}};
  const M3 ry{{{cy, 0, sy}, {0, 1, 0}, {-sy, 0, cy}}};
  const M3 rz{{{cz, -sz, 0}, {sz, cz, 0}, {0, 0, 1}}};
  return mul(rx, mul(ry, rz));
}

// The usual matrix of a quaternion (x, y, z, w).
M3 quat_matrix(const ZAL_QUAT &q) {
  const double x = q.x, y = q.y, z = q.z, w = q.w;
  return {{{1 - 2 * y * y - 2 * z * z, 2 * x * y - 2 * z * w, 2 * x * z + 2 * y * w},
           {2 * x * y + 2 * z * w, 1 - 2 * x * x - 2 * z * z, 2 * y * z - 2 * x * w},
           {2 * x * z - 2 * y * w, 2 * y * z + 2 * x * w, 1 - 2 * x * x - 2 * y * y}}};
}

// M(q) must be the transpose of R.
void expect_quaternion_of(const M3 &r, const ZAL_QUAT &q) {
  const M3 m = quat_matrix(q);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      EXPECT_NEAR(m[i][j], r[j][i], 1e-6) << "M(q)[" << i << "][" << j << "]";
}

void expect_near(const ZAL_VECT3 &v, double x, double y, double z, double eps = 1e-5) {
  EXPECT_NEAR(v.x, x, eps);
  EXPECT_NEAR(v.y, y, eps);
  EXPECT_NEAR(v.z, z, eps);
}

class Placement : public ::testing::Test {
protected:
  void SetUp() override { scene_reset(); }
  void TearDown() override { scene_reset(); }
};

TEST_F(Placement, UnrotatedNodeAnswersIdentityExactly) {
  _object *o = scene_add_object(nullptr, OBJECT_TYPE_GEOMETRY);
  o->position = {1, 2, 3};
  ZAL_QUAT q;
  obj_get_orient(o, q, FRAME_SCENE);
  EXPECT_EQ(q.x, 0.0f);
  EXPECT_EQ(q.y, 0.0f);
  EXPECT_EQ(q.z, 0.0f);
  EXPECT_EQ(q.w, 1.0f);
  ZAL_VECT3 e, p;
  obj_get_eangles(o, e, FRAME_SCENE);
  obj_get_pos(o, p, FRAME_SCENE);
  EXPECT_EQ(e.x, 0.0f);
  EXPECT_EQ(e.y, 0.0f);
  EXPECT_EQ(e.z, 0.0f);
  EXPECT_EQ(p.x, 1.0f);
  EXPECT_EQ(p.y, 2.0f);
  EXPECT_EQ(p.z, 3.0f);
}

TEST_F(Placement, FullTurnsGiveWExactlyOne) {
  _object *o = scene_add_object(nullptr, OBJECT_TYPE_GEOMETRY);
  o->rotation = {360, -720, 0};
  ZAL_QUAT q;
  obj_get_orient(o, q, FRAME_SCENE);
  EXPECT_EQ(q.w, 1.0f);
}

TEST_F(Placement, RotationGivesQuaternionWhoseMatrixIsTransposeOfR) {
  _object *o = scene_add_object(nullptr, OBJECT_TYPE_GEOMETRY);
  o->rotation = {10, 20, 30};
  ZAL_QUAT q;
  obj_get_orient(o, q, FRAME_SCENE);
  expect_quaternion_of(rotation(10, 20, 30), q);
  EXPECT_NE(q.w, 1.0f);
  // xform answers R * v.
  const M3 r = rotation(10, 20, 30);
  const ZAL_VECT3 v = q.xform({1, 2, 3});
  expect_near(v, r[0][0] + 2 * r[0][1] + 3 * r[0][2], r[1][0] + 2 * r[1][1] + 3 * r[1][2],
              r[2][0] + 2 * r[2][1] + 3 * r[2][2]);
}

TEST_F(Placement, EulerAnglesAreExactWhenNoAncestorRotates) {
  _object *group = scene_add_object(nullptr, OBJECT_TYPE_GROUP);
  group->position = {4, 5, 6}; // moves, does not rotate
  _object *o = scene_add_object(group, OBJECT_TYPE_GEOMETRY);
  o->rotation = {33.3f, -12.7f, 181.1f};
  ZAL_VECT3 e;
  obj_get_eangles(o, e, FRAME_SCENE);
  EXPECT_EQ(e.x, 33.3f);
  EXPECT_EQ(e.y, -12.7f);
  EXPECT_EQ(e.z, 181.1f);
}

TEST_F(Placement, QuarterTurnsComposeWithoutResidue) {
  _object *group = scene_add_object(nullptr, OBJECT_TYPE_GROUP);
  group->position = {5, 0, 0};
  group->rotation = {0, 0, 90};
  _object *o = scene_add_object(group, OBJECT_TYPE_GEOMETRY);
  o->position = {1, 0, 0};
  ZAL_VECT3 p, e;
  obj_get_pos(o, p, FRAME_SCENE);
  EXPECT_EQ(p.x, 5.0f);
  EXPECT_EQ(p.y, 1.0f);
  EXPECT_EQ(p.z, 0.0f);
  obj_get_eangles(o, e, FRAME_SCENE);
  EXPECT_EQ(e.x, 0.0f);
  EXPECT_EQ(e.y, 0.0f);
  EXPECT_FLOAT_EQ(e.z, 90.0f);
}

TEST_F(Placement, CompositionWithRotatedParent) {
  _object *group = scene_add_object(nullptr, OBJECT_TYPE_GROUP);
  group->position = {1, 2, 3};
  group->rotation = {0, 40, 0};
  _object *o = scene_add_object(group, OBJECT_TYPE_GEOMETRY);
  o->position = {0, 0, 2};
  o->rotation = {30, 0, 20};
  const M3 parent = rotation(0, 40, 0);
  const M3 r = mul(parent, rotation(30, 0, 20));

  ZAL_VECT3 p;
  obj_get_pos(o, p, FRAME_SCENE);
  expect_near(p, 1 + 2 * parent[0][2], 2 + 2 * parent[1][2], 3 + 2 * parent[2][2]);
  ZAL_QUAT q;
  obj_get_orient(o, q, FRAME_SCENE);
  expect_quaternion_of(r, q);
  // The Euler angles are decomposed from the scene R and rebuild it.
  ZAL_VECT3 e;
  obj_get_eangles(o, e, FRAME_SCENE);
  const M3 rebuilt = rotation(e.x, e.y, e.z);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      EXPECT_NEAR(rebuilt[i][j], r[i][j], 1e-6);
  // The parent frame answers the node's own values.
  obj_get_eangles(o, e, FRAME_PARENT);
  EXPECT_EQ(e.x, 30.0f);
  EXPECT_EQ(e.z, 20.0f);
  obj_get_pos(o, p, FRAME_PARENT);
  EXPECT_EQ(p.z, 2.0f);
  obj_get_orient(o, q, FRAME_PARENT);
  expect_quaternion_of(rotation(30, 0, 20), q);
}

TEST_F(Placement, GimbalLockStillRebuildsR) {
  _object *group = scene_add_object(nullptr, OBJECT_TYPE_GROUP);
  group->rotation = {0, 45, 0};
  _object *o = scene_add_object(group, OBJECT_TYPE_GEOMETRY);
  o->rotation = {25, 45, 10}; // ey sums to 90 in the scene
  ZAL_VECT3 e;
  obj_get_eangles(o, e, FRAME_SCENE);
  const M3 r = mul(rotation(0, 45, 0), rotation(25, 45, 10));
  const M3 rebuilt = rotation(e.x, e.y, e.z);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      EXPECT_NEAR(rebuilt[i][j], r[i][j], 1e-5);
}

TEST_F(Placement, CameraLookAtGivesForwardUpAndRight) {
  _object *cam = scene_add_object(nullptr, OBJECT_TYPE_CAMERA);
  cam->position = {0, 2, -10};
  cam->has_look_at = true;
  cam->look_at = {0, 0, 0};
  ZAL_QUAT q;
  obj_get_orient(cam, q, FRAME_SCENE);
  const double n = std::sqrt(104.0);
  expect_near(q.xform({0, 0, 1}), 0, -2 / n, 10 / n); // forward
  // Rows of M(q): own x, own y, own z in the scene; picture up is -y.
  const M3 m = quat_matrix(q);
  const double up[3] = {-m[1][0], -m[1][1], -m[1][2]};
  EXPECT_NEAR(up[0], 0, 1e-6);
  EXPECT_NEAR(up[1], 10 / n, 1e-6);
  EXPECT_NEAR(up[2], 2 / n, 1e-6);
  // Right = f x u, which for a right-handed scene points to -x here.
  EXPECT_NEAR(m[0][0], -1, 1e-6);
  EXPECT_NEAR(m[0][1], 0, 1e-6);
  EXPECT_NEAR(m[0][2], 0, 1e-6);
  // The angles rebuild the same R.
  ZAL_VECT3 e;
  obj_get_eangles(cam, e, FRAME_SCENE);
  expect_quaternion_of(rotation(e.x, e.y, e.z), q);
}

TEST_F(Placement, LookAtIsInSceneCoordinatesUnderARotatedParent) {
  _object *group = scene_add_object(nullptr, OBJECT_TYPE_GROUP);
  group->position = {10, 0, 0};
  group->rotation = {0, 90, 0};
  _object *light = scene_add_object(group, OBJECT_TYPE_LIGHT);
  light->position = {0, 0, 5}; // lands at (15, 0, 0)
  light->has_look_at = true;
  light->look_at = {15, 0, 10};
  ZAL_VECT3 p;
  obj_get_pos(light, p, FRAME_SCENE);
  expect_near(p, 15, 0, 0);
  ZAL_QUAT q;
  obj_get_orient(light, q, FRAME_SCENE);
  expect_near(q.xform({0, 0, 1}), 0, 0, 1); // shines along its own +z
}

TEST_F(Placement, SkyAlongTheViewDoesNotBreakTheFrame) {
  _object *cam = scene_add_object(nullptr, OBJECT_TYPE_CAMERA);
  cam->position = {0, 10, 0};
  cam->has_look_at = true;
  cam->look_at = {0, 0, 0}; // straight down, the default sky is parallel
  ZAL_QUAT q;
  obj_get_orient(cam, q, FRAME_SCENE);
  EXPECT_TRUE(std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w));
  expect_near(q.xform({0, 0, 1}), 0, -1, 0);
}

TEST_F(Placement, LookAtItsOwnPositionFallsBackToRotation) {
  _object *cam = scene_add_object(nullptr, OBJECT_TYPE_CAMERA);
  cam->position = {1, 1, 1};
  cam->rotation = {0, 0, 0};
  cam->has_look_at = true;
  cam->look_at = {1, 1, 1};
  ZAL_QUAT q;
  obj_get_orient(cam, q, FRAME_SCENE);
  EXPECT_EQ(q.w, 1.0f);
}

TEST_F(Placement, RawOverridesReplaceSceneAnswers) {
  _object *o = scene_add_object(nullptr, OBJECT_TYPE_GEOMETRY);
  o->rotation = {10, 0, 0};
  o->has_orientation = true;
  o->orientation = {0.5f, 0.5f, 0.5f, 0.5f};
  o->has_euler = true;
  o->euler = {1, 2, 3};
  ZAL_QUAT q;
  ZAL_VECT3 e;
  obj_get_orient(o, q, FRAME_SCENE);
  obj_get_eangles(o, e, FRAME_SCENE);
  EXPECT_EQ(q.x, 0.5f);
  EXPECT_EQ(q.w, 0.5f);
  EXPECT_EQ(e.x, 1.0f);
  EXPECT_EQ(e.z, 3.0f);
  // Children still compose with the derived placement.
  _object *child = scene_add_object(o, OBJECT_TYPE_GEOMETRY);
  obj_get_orient(child, q, FRAME_SCENE);
  expect_quaternion_of(rotation(10, 0, 0), q);
}

TEST_F(Placement, SceneHelpersMatchTheCalls) {
  _object *group = scene_add_object(nullptr, OBJECT_TYPE_GROUP);
  group->rotation = {0, 0, 90};
  _object *o = scene_add_object(group, OBJECT_TYPE_GEOMETRY);
  o->position = {2, 0, 0};
  float r[3][3];
  scene_rotation(o, r);
  EXPECT_EQ(r[0][1], -1.0f);
  EXPECT_EQ(r[1][0], 1.0f);
  EXPECT_EQ(r[2][2], 1.0f);
  const ZAL_VECT3 p = scene_position(o);
  EXPECT_EQ(p.x, 0.0f);
  EXPECT_EQ(p.y, 2.0f);
}

TEST_F(Placement, NullNodeAnswersTheOrigin) {
  ZAL_VECT3 p{9, 9, 9}, e{9, 9, 9};
  ZAL_QUAT q{9, 9, 9, 9};
  EXPECT_EQ(obj_get_pos(nullptr, p, FRAME_SCENE), 0);
  obj_get_eangles(nullptr, e, FRAME_SCENE);
  obj_get_orient(nullptr, q, FRAME_SCENE);
  EXPECT_EQ(p.x, 0.0f);
  EXPECT_EQ(e.x, 0.0f);
  EXPECT_EQ(q.w, 1.0f);
}

} // namespace
