// The view point camera turned about the scene's up axis.
#include "app/frames/turntable.h"

#include "zaloku.h"

#include <cmath>

namespace bf {

namespace {

oku::Vec3 scaled(const oku::Vec3 &v, double k) { return {v.x * k, v.y * k, v.z * k}; }

// v turned by `angle` radians about the unit axis `axis` (right-handed).
oku::Vec3 turned(const oku::Vec3 &v, const oku::Vec3 &axis, double angle) {
  const double c = std::cos(angle), s = std::sin(angle);
  return oku::add(oku::add(scaled(v, c), scaled(oku::cross(axis, v), s)),
                  scaled(axis, oku::dot(axis, v) * (1 - c)));
}

// The scene axis nearest to `v`, pointing its way.
oku::Vec3 nearest_axis(const oku::Vec3 &v) {
  const double ax = std::fabs(v.x), ay = std::fabs(v.y), az = std::fabs(v.z);
  if (ax > ay && ax > az)
    return {v.x > 0 ? 1.0 : -1.0, 0, 0};
  if (az > ay)
    return {0, 0, v.z > 0 ? 1.0 : -1.0};
  return {0, v.y >= 0 ? 1.0 : -1.0, 0};
}

} // namespace

bool Turntable::take_viewpoint() {
  _object *root = db_get_root();
  camera_ = RootGetViewPoint(obj_get_assembly(root));
  if (camera_ == nullptr)
    return false;
  const oku::Placement at = oku::scene_placement(camera_);
  position_ = at.pos;
  const oku::Vec3 forward{at.r.m[0][2], at.r.m[1][2], at.r.m[2][2]};
  if (camera_->has_look_at) {
    centre_ = oku::to_vec(camera_->look_at);
    sky_ = oku::to_vec(camera_->sky);
  } else {
    ZAL_VECT3 middle{0, 0, 0};
    obj_get_midpoint(root, middle, FRAME_CONTENTS);
    const double along = oku::dot(oku::sub(oku::to_vec(middle), position_), forward);
    centre_ = oku::add(position_, scaled(forward, along > 0 ? along : 1));
    sky_ = {-at.r.m[0][1], -at.r.m[1][1], -at.r.m[2][1]};
  }
  up_ = nearest_axis(sky_);
  return true;
}

void Turntable::set(double turn) const {
  const double angle = 2 * M_PI * turn;
  const oku::Vec3 position = oku::add(centre_, turned(oku::sub(position_, centre_), up_, angle));
  // The camera's own values are relative to its parent; look_at and sky
  // are scene coordinates.
  const oku::Placement parent =
      camera_->parent != nullptr ? oku::scene_placement(camera_->parent) : oku::Placement{};
  camera_->position = oku::to_float(oku::apply(oku::transpose(parent.r), oku::sub(position, parent.pos)));
  camera_->rotation = {0, 0, 0};
  camera_->has_look_at = true;
  camera_->look_at = oku::to_float(centre_);
  camera_->sky = oku::to_float(turned(sky_, up_, angle));
  camera_->has_orientation = camera_->has_euler = false;
}

} // namespace bf
