// The product shot: the view point camera orbiting the scene's up axis.
#pragma once

#include "oku/placement.h"

namespace bf {

// The orbit of the loaded scene's view point: about the vertical line
// through the point it looks at, at its height and distance. The point is
// its `look_at`, or for a camera turned by `rotation` the point of its line
// of sight nearest to the middle of the scene's contents. Up is the scene
// axis (x, y or z) nearest to the camera's sky (its picture's up).
class Turntable {
public:
  // False when the scene has no camera.
  bool take_viewpoint();
  // Places the camera `turn` of the orbit (0 to 1) from where it was.
  void set(double turn) const;

private:
  _object *camera_ = nullptr;
  oku::Vec3 position_, centre_, sky_, up_;
};

} // namespace bf
