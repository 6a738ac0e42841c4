// Interpolation of keyed positions and rotations, and the scene at a moment.
#include "app/scene/animation_keys.h"

#include <algorithm>
#include <cmath>

namespace bf {

namespace {

// The index of the last key at or before `time` (0 before the first) and
// how far `time` is from it towards the next, 0 to 1.
template <class Key> size_t locate(const std::vector<Key> &keys, double time, double &fraction) {
  fraction = 0;
  auto after =
      std::upper_bound(keys.begin(), keys.end(), time, [](double t, const Key &key) { return t < key.time; });
  if (after == keys.begin())
    return 0;
  const size_t i = static_cast<size_t>(after - keys.begin()) - 1;
  if (i + 1 < keys.size() && keys[i + 1].time > keys[i].time)
    fraction = (time - keys[i].time) / (keys[i + 1].time - keys[i].time);
  return i;
}

Quat normalised(Quat q) {
  const double n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
  for (double &c : q)
    c = n > 0 ? c / n : 0;
  if (!(n > 0))
    q[3] = 1;
  return q;
}

Quat slerp(const Quat &a, Quat b, double f) {
  double cosine = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
  if (cosine < 0) { // the shorter way round
    for (double &c : b)
      c = -c;
    cosine = -cosine;
  }
  double wa = 1 - f, wb = f;
  if (cosine < 0.9999) {
    const double angle = std::acos(cosine), s = std::sin(angle);
    wa = std::sin((1 - f) * angle) / s;
    wb = std::sin(f * angle) / s;
  }
  Quat q;
  for (int i = 0; i < 4; ++i)
    q[i] = wa * a[i] + wb * b[i];
  return normalised(q);
}

} // namespace

oku::Vec3 position_at(const std::vector<PositionKey> &keys, double time, KeyInterpolation how) {
  if (keys.empty())
    return {};
  double f = 0;
  const size_t i = locate(keys, time, f);
  if (how == KeyInterpolation::step || f <= 0)
    return keys[i].value;
  const oku::Vec3 &a = keys[i].value, &b = keys[i + 1].value;
  return {a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.z + (b.z - a.z) * f};
}

Quat rotation_at(const std::vector<RotationKey> &keys, double time, KeyInterpolation how) {
  if (keys.empty())
    return {0, 0, 0, 1};
  double f = 0;
  const size_t i = locate(keys, time, f);
  if (how == KeyInterpolation::step || f <= 0)
    return keys[i].value;
  return slerp(keys[i].value, keys[i + 1].value, f);
}

oku::Mat3 quat_matrix(const Quat &q) {
  const double x = q[0], y = q[1], z = q[2], w = q[3];
  oku::Mat3 m;
  m.m[0][0] = 1 - 2 * (y * y + z * z), m.m[0][1] = 2 * (x * y - z * w), m.m[0][2] = 2 * (x * z + y * w);
  m.m[1][0] = 2 * (x * y + z * w), m.m[1][1] = 1 - 2 * (x * x + z * z), m.m[1][2] = 2 * (y * z - x * w);
  m.m[2][0] = 2 * (x * z - y * w), m.m[2][1] = 2 * (y * z + x * w), m.m[2][2] = 1 - 2 * (x * x + y * y);
  return m;
}

Quat matrix_quat(const oku::Mat3 &r) {
  // The host's quaternion is that of the transpose: its conjugate.
  const ZAL_QUAT h = oku::host_quaternion(r);
  return normalised({-h.x, -h.y, -h.z, h.w});
}

std::vector<NodeAnimation> &scene_animations() {
  static std::vector<NodeAnimation> animations;
  return animations;
}

void set_scene_time(double time) {
  for (const NodeAnimation &a : scene_animations()) {
    if (!a.position.empty())
      a.node->position = oku::to_float(position_at(a.position, time, a.interpolation));
    if (!a.rotation.empty())
      a.node->rotation =
          oku::to_float(oku::euler_angles(quat_matrix(rotation_at(a.rotation, time, a.interpolation))));
  }
}

} // namespace bf
