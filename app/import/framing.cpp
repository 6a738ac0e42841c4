// The framing camera, for imports and for scene files without a camera.
#include "app/import/framing.h"
#include "app/scene/json_value.h"
#include "app/scene/verbosity.h"

#include "zaloku.h"

#include <cmath>

namespace bf {

namespace {

constexpr double kPi = 3.14159265358979323846;

oku::Vec3 scaled(const oku::Vec3 &v, double k) { return {v.x * k, v.y * k, v.z * k}; }

} // namespace

Framing frame_contents(const oku::Vec3 &centre, double radius, const oku::Vec3 &up, const oku::Vec3 &front,
                       const oku::Vec3 &right) {
  Framing view;
  const double distance = radius / std::sin(view.view_angle / 2 * kPi / 180) * 1.1;
  const oku::Vec3 towards = oku::add(oku::add(right, up), front);
  const oku::Vec3 direction = scaled(towards, 1 / oku::length(towards));
  view.position = oku::add(centre, scaled(direction, distance));
  view.look_at = centre;
  view.sky = up;
  return view;
}

void add_framing_camera_if_none(const std::string &scene) {
  _object *root = db_get_root();
  if (RootGetViewPoint(obj_get_assembly(root)) != nullptr)
    return;
  ZAL_VECT3 middle{0, 0, 0};
  obj_get_midpoint(root, middle, FRAME_CONTENTS);
  const double r = obj_get_grpradius(root);
  const Framing view =
      frame_contents(oku::to_vec(middle), r > 0 && std::isfinite(r) ? r : 1, {0, 1, 0}, {0, 0, 1}, {1, 0, 0});
  _object *camera = scene_add_object(root, OBJECT_TYPE_CAMERA);
  camera->name = "Default camera";
  camera->position = oku::to_float(view.position);
  camera->has_look_at = true;
  camera->look_at = oku::to_float(view.look_at);
  camera->sky = oku::to_float(view.sky);
  camera->view_angle = static_cast<float>(view.view_angle);
  note("note: " + scene + " has no camera; rendering through one that frames the whole scene");
}

} // namespace bf
