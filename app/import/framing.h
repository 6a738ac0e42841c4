// The camera that frames a whole scene from the front, above and right: the
// view a model file without a camera of its own gets on import, and a scene
// file without a camera gets for a render.
#pragma once

#include "oku/placement.h"

#include <string>

namespace bf {

struct Framing {
  oku::Vec3 position, look_at, sky;
  double view_angle = 45; // vertical, degrees
};

// Sees a sphere of `radius` about `centre` whole; `up`, `front` (towards
// the viewer) and `right` are the scene's directions.
Framing frame_contents(const oku::Vec3 &centre, double radius, const oku::Vec3 &up, const oku::Vec3 &front,
                       const oku::Vec3 &right);

// For a render: when the loaded scene has no camera, adds the framing
// camera under the root and says so on standard error, naming `scene`.
void add_framing_camera_if_none(const std::string &scene);

} // namespace bf
