// The camera: placed at the node's midpoint, turned by its orientation; the
// view angle sets the length of the direction vector.
#include "base/pov_finite.h"
#include "base/pov_print.h"
#include "base/pov_text.h"
#include "scene/pov_writers.h"

#include <cmath>
#include <type_traits>

namespace {

// The camera's right, up and direction (before the picture's aspect) in
// the scene, in the precision of T: the 3.0 text's in float, as it has
// always been written; the 3.7 text's in double, from the orientation made
// unit length.
template <typename T> struct CameraAxes { T right[3], up[3], direction[3]; };

template <typename T> CameraAxes<T> camera_axes(_object *node) {
  ZAL_QUAT q;
  obj_get_orient(node, q, FRAME_SCENE);
  T x = q.x, y = q.y, z = q.z, w = q.w;
  if constexpr (std::is_same_v<T, double>) {
    const double length = std::sqrt(x * x + y * y + z * z + w * w);
    if (length > 0)
      x /= length, y /= length, z /= length, w /= length;
  }
  // Rows of the quaternion's matrix: the camera's own x, y and z in the
  // scene; the camera's own -y is the picture's up.
  CameraAxes<T> a{{1 - 2 * y * y - 2 * z * z, 2 * x * y - 2 * z * w, 2 * x * z + 2 * y * w},
                  {-(2 * x * y + 2 * z * w), -(1 - 2 * x * x - 2 * z * z), -(2 * y * z - 2 * x * w)},
                  {2 * x * z - 2 * y * w, 2 * y * z + 2 * x * w, 1 - 2 * x * x - 2 * y * y}};
  // An up vector of length 1 and a direction of length k give a vertical
  // angle of view of V. A view angle near 0 makes the tangent 0 and k
  // unbounded: the direction is kept within the float range (POV-Ray reads
  // no "inf").
  const float degrees_to_radians = 0.0174532924f;
  const double k = 0.5 / tan(obj_get_viewangle(node) * degrees_to_radians * 0.5);
  for (T &d : a.direction)
    d = std::is_same_v<T, double> ? pov_finite_double(k * d) : pov_finite(k * d);
  return a;
}

// "<x, y, z>", each the shortest text that reads back as the double.
void write_exact(FILE *file, int depth, const char *keyword, const double v[3], const char *after) {
  char text[3][32];
  for (int i = 0; i < 3; ++i)
    pov_format_exact(text[i], v[i]);
  pov_printf(file, depth, "%s <%s, %s, %s>%s\n", keyword, text[0], text[1], text[2], after);
}

const char kAspect[] = " * (IMAGE_WIDTH / IMAGE_HEIGHT)";

} // namespace

void pov_write_camera(FILE *file, int depth, _object *node, int language) {
  pov_printf(file, depth, "camera {\n");
  ZAL_VECT3 location;
  obj_get_midpoint(node, location, FRAME_SCENE);
  pov_print_vect3(file, depth + 1, "location", location);
  if (language == kPovLanguage37) {
    // POV-Ray warns of a camera whose vectors are not perpendicular to
    // 1e-10, which six digits cannot hold: every digit they need is written.
    const CameraAxes<double> a = camera_axes<double>(node);
    write_exact(file, depth + 1, "right", a.right, kAspect);
    write_exact(file, depth + 1, "up", a.up, "");
    write_exact(file, depth + 1, "direction", a.direction, "");
  } else {
    const CameraAxes<float> a = camera_axes<float>(node);
    pov_printf(file, depth + 1, "right <%g, %g, %g>%s\n", a.right[0], a.right[1], a.right[2], kAspect);
    pov_print_vec3(file, depth + 1, "up", a.up[0], a.up[1], a.up[2]);
    pov_print_vec3(file, depth + 1, "direction", a.direction[0], a.direction[1], a.direction[2]);
  }
  pov_printf(file, depth, "}\n");
}
