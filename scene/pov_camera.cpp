// The camera: placed at the node's midpoint, turned by its orientation; the
// view angle sets the length of the direction vector.
#include "base/pov_finite.h"
#include "base/pov_print.h"
#include "scene/pov_writers.h"

#include <cmath>

void pov_write_camera(FILE *file, int depth, _object *node) {
  pov_printf(file, depth, "camera {\n");
  ZAL_VECT3 location;
  obj_get_midpoint(node, location, FRAME_SCENE);
  pov_print_vect3(file, depth + 1, "location", location);

  ZAL_QUAT q;
  obj_get_orient(node, q, FRAME_SCENE);
  float x = q.x, y = q.y, z = q.z, w = q.w;
  // Rows of the quaternion's matrix: the camera's own x, y and z in the
  // scene; the camera's own -y is the picture's up.
  ZAL_VECT3 right{1 - 2 * y * y - 2 * z * z, 2 * x * y - 2 * z * w, 2 * x * z + 2 * y * w};
  ZAL_VECT3 up{-(2 * x * y + 2 * z * w), -(1 - 2 * x * x - 2 * z * z), -(2 * y * z - 2 * x * w)};
  ZAL_VECT3 axis{2 * x * z - 2 * y * w, 2 * y * z + 2 * x * w, 1 - 2 * x * x - 2 * y * y};

  // An up vector of length 1 and a direction of length k give a vertical
  // angle of view of V.
  const float degrees_to_radians = 0.0174532924f;
  // A view angle near 0 makes the tangent 0 and k unbounded: the direction
  // is kept within the float range (POV-Ray reads no "inf").
  double k = 0.5 / tan(obj_get_viewangle(node) * degrees_to_radians * 0.5);
  ZAL_VECT3 direction{pov_finite(k * axis.x), pov_finite(k * axis.y), pov_finite(k * axis.z)};

  pov_printf(file, depth + 1, "right <%g, %g, %g> * (IMAGE_WIDTH / IMAGE_HEIGHT)\n", right.x, right.y,
             right.z);
  pov_print_vect3(file, depth + 1, "up", up);
  pov_print_vect3(file, depth + 1, "direction", direction);
  pov_printf(file, depth, "}\n");
}
