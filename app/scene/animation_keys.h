// Keyed values of a node over time (the scene file's "animation"): where a
// node is and how it is turned at a moment, and the scene's nodes set to a
// moment. Positions and scales interpolate linearly, rotations along the
// shorter arc (slerp), or each key holds until the next with "step"; before
// the first key and after the last the nearest key holds.
#pragma once

#include "oku/placement.h"

#include <array>
#include <vector>

namespace bf {

enum class KeyInterpolation { linear, step };

// A unit quaternion (x, y, z, w) whose usual matrix is the node's rotation
// R, as glTF and Assimp write it (the host's `orientation` is its
// transpose).
using Quat = std::array<double, 4>;

struct PositionKey {
  double time; // seconds
  oku::Vec3 value;
};
struct RotationKey {
  double time;
  Quat value;
};

struct NodeAnimation {
  _object *node = nullptr;
  std::vector<PositionKey> position; // times in ascending order
  std::vector<RotationKey> rotation;
  KeyInterpolation interpolation = KeyInterpolation::linear;
};

oku::Vec3 position_at(const std::vector<PositionKey> &keys, double time, KeyInterpolation how);
Quat rotation_at(const std::vector<RotationKey> &keys, double time, KeyInterpolation how);

// The rotation matrix of q, and the quaternion of a rotation matrix.
oku::Mat3 quat_matrix(const Quat &q);
Quat matrix_quat(const oku::Mat3 &r);

// The animated nodes of the loaded scene; a load of a scene empties it.
std::vector<NodeAnimation> &scene_animations();
// Sets every animated node's position and rotation to their values at
// `time` seconds.
void set_scene_time(double time);

} // namespace bf
