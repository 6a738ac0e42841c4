// Keyed values between, before and after their keys, and a loaded scene
// set to a moment.
#include "app/scene/animation_keys.h"
#include "app/scene/scene_loader.h"

#include "oku/scene_db.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using bf::KeyInterpolation;

TEST(AnimationKeys, PositionsAndRotationsBetweenBeforeAndAfterTheirKeys) {
  const std::vector<bf::PositionKey> moves{{1, {0, 0, 0}}, {3, {4, 2, 0}}};
  const double s = std::sqrt(0.5);
  // A quarter turn about z: halfway is an eighth.
  const std::vector<bf::RotationKey> turns{{1, {0, 0, 0, 1}}, {3, {0, 0, s, s}}};
  const double eighth_z = std::sin(M_PI / 8), eighth_w = std::cos(M_PI / 8);
  struct Row {
    double time;
    KeyInterpolation how;
    double x, z, w; // the position's x, the rotation's z and w
  } rows[] = {
      {0, KeyInterpolation::linear, 0, 0, 1},               // before the first key: held
      {1, KeyInterpolation::linear, 0, 0, 1},               // at a key
      {2, KeyInterpolation::linear, 2, eighth_z, eighth_w}, // halfway: linear, slerp
      {2.9, KeyInterpolation::step, 0, 0, 1},               // step: the earlier key holds
      {3, KeyInterpolation::step, 4, s, s},                 // until the next one
      {9, KeyInterpolation::linear, 4, s, s},               // after the last key: held
  };
  for (const Row &row : rows) {
    EXPECT_NEAR(bf::position_at(moves, row.time, row.how).x, row.x, 1e-12) << row.time;
    const bf::Quat q = bf::rotation_at(turns, row.time, row.how);
    EXPECT_NEAR(q[2], row.z, 1e-9) << row.time;
    EXPECT_NEAR(q[3], row.w, 1e-9) << row.time;
  }
  // The shorter arc: -q is the same rotation as q.
  const std::vector<bf::RotationKey> flipped{{0, {0, 0, 0, 1}}, {1, {0, 0, -s, -s}}};
  EXPECT_NEAR(std::fabs(bf::rotation_at(flipped, 0.5, KeyInterpolation::linear)[3]), eighth_w, 1e-9);
}

TEST(AnimationKeys, TheSceneAtAMomentPlacesTheKeyedNodes) {
  bf::load_scene_text(R"({"root": {"children": [{"type": "object", "name": "A", "position": [7, 7, 7],
      "animation": {"position": [[0, [0, 0, 0]], [2, [2, 4, 6]]],
                    "rotation": [[0, [0, 0, 0, 1]], [2, [0, 0, 1, 0]]], "interpolation": "linear"}}]}})",
                      "anim.json");
  _object *a = db_get_root()->children[0].get();
  EXPECT_EQ(a->position.x, 7); // a still shows the node's own values
  bf::set_scene_time(1);
  EXPECT_FLOAT_EQ(a->position.y, 2);
  EXPECT_NEAR(std::fabs(a->rotation.z), 90, 1e-4); // halfway through a half turn about z
  bf::load_scene_text(R"({"root": {}})", "empty.json");
  EXPECT_TRUE(bf::scene_animations().empty()); // a new load forgets the keys
}

} // namespace
