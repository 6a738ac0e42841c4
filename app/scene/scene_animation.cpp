// A node's "animation": its keyed positions and rotations, checked and kept
// in the scene's animation list for the frames of a render.
#include "app/scene/animation_keys.h"
#include "app/scene/scene_build.h"
#include "app/scene/scene_schema.h"

#include <cmath>

namespace bf {

namespace {

namespace animation_key = scene_keys::animation;

// The keys of `ref` as (time, value) pairs in ascending time.
template <class Key, class Read> std::vector<Key> read_keys(const JsonRef &ref, Read read_value) {
  std::vector<Key> keys;
  const size_t count = ref.expect_array();
  for (size_t i = 0; i < count; ++i) {
    const JsonRef key = ref.element(i);
    if (key.expect_array() != 2)
      key.fail("expected [seconds, value]");
    const double time = read_float(key.element(0));
    if (!keys.empty() && time < keys.back().time)
      key.element(0).fail("key times must not go down");
    keys.push_back({time, read_value(key.element(1))});
  }
  return keys;
}

Quat read_rotation(const JsonRef &ref) {
  const ZAL_QUAT q = read_vec4(ref);
  const double length = std::sqrt(static_cast<double>(q.x) * q.x + static_cast<double>(q.y) * q.y +
                                  static_cast<double>(q.z) * q.z + static_cast<double>(q.w) * q.w);
  if (!(std::fabs(length - 1) <= 1e-3))
    ref.fail("must be a unit quaternion (x, y, z, w with a length of 1)");
  return {q.x / length, q.y / length, q.z / length, q.w / length};
}

} // namespace

void load_animation(const JsonRef &ref, _object *node) {
  scene_keys::expect_keys(ref, {&scene_keys::kAnimation});
  NodeAnimation animation;
  animation.node = node;
  if (auto v = ref.get(animation_key::position.name))
    animation.position =
        read_keys<PositionKey>(*v, [](const JsonRef &r) { return oku::to_vec(read_vec3(r)); });
  if (auto v = ref.get(animation_key::rotation.name)) {
    if (node->has_look_at)
      v->fail("rotation keys and look_at cannot both be given");
    animation.rotation = read_keys<RotationKey>(*v, read_rotation);
  }
  if (auto v = ref.get(animation_key::interpolation.name)) {
    const std::string how = read_string(*v);
    if (how != "linear" && how != "step")
      v->fail("expected \"linear\" or \"step\", not \"" + how + "\"");
    animation.interpolation = how == "step" ? KeyInterpolation::step : KeyInterpolation::linear;
  }
  if (!animation.position.empty() || !animation.rotation.empty())
    scene_animations().push_back(std::move(animation));
}

} // namespace bf
