// Light sources: a distant light far away along its direction, a spotlight
// pointing one unit along its axis, or a point light; in the 3.7 language a
// point or spot light may fade with distance.
#include "base/pov_finish.h"
#include "base/pov_print.h"
#include "scene/pov_writers.h"

#include <cmath>

namespace {

const int kDistantLight = 1;
const int kSpotLight = 2;

// Third row of the quaternion's matrix: the light's own +z in the scene.
ZAL_VECT3 spot_axis(const ZAL_QUAT &q) {
  return ZAL_VECT3{2 * q.x * q.z - 2 * q.y * q.w, 2 * q.y * q.z + 2 * q.x * q.w,
                   1 - 2 * q.x * q.x - 2 * q.y * q.y};
}

} // namespace

void pov_write_light(FILE *file, int depth, _object *node, int language) {
  bool active = obj_get_active(node) == 1;
  int type = obj_get_ltype(node);
  if (!active)
    fputs("/*\n", file);
  pov_printf(file, depth, "light_source {\n");

  ZAL_QUAT orientation{0, 0, 0, 1};
  ZAL_VECT3 position{0, 0, 0};
  if (type == kDistantLight || type == kSpotLight)
    obj_get_orient(node, orientation, FRAME_SCENE);
  if (type != kDistantLight)
    obj_get_pos(node, position, FRAME_SCENE);

  ZAL_VECT3 location = position;
  if (type == kDistantLight) {
    ZAL_VECT3 away = orientation.xform(ZAL_VECT3{0, 0, -1});
    location = ZAL_VECT3{static_cast<float>(away.x * 1e10), static_cast<float>(away.y * 1e10),
                         static_cast<float>(away.z * 1e10)};
  }
  pov_print_vect3(file, depth + 1, "", location);

  ZAL_COLOR colour;
  obj_get_color(node, colour);
  if (language == kPovLanguage37)
    colour = pov_linear_colour(colour);
  // A light that fades has its stated strength at its fade distance F and
  // falls with the square of the distance d: POV-Ray multiplies the colour
  // by 2 / (1 + (d / f)^2) for fade_distance f, which falls so only far
  // beyond f. With f = F / 10 and the colour times (1 + 10^2) / 2, the
  // light is 1 at F and within 3% of (F / d)^2 from F / 2 outwards, and
  // stays finite next to the light.
  const float fade = obj_get_fadedistance(node), knee = fade / 10;
  const bool fades = language == kPovLanguage37 && type != kDistantLight && std::isfinite(fade) && knee > 0;
  pov_printf(file, depth + 1, "color rgb <%g, %g, %g> * (5/3) * %g%s\n", colour.r, colour.g, colour.b,
             obj_get_intensity(node), fades ? " * 50.5" : "");

  if (type == kSpotLight) {
    ZAL_VECT3 axis = spot_axis(orientation);
    pov_printf(file, depth + 1, "spotlight\n");
    pov_printf(file, depth + 1, "point_at <%g, %g, %g> + <%g, %g, %g>\n", position.x, position.y, position.z,
               axis.x, axis.y, axis.z);
    pov_printf(file, depth + 1, "radius 0\n");
    pov_printf(file, depth + 1, "falloff %g\n", obj_get_angle(node));
    pov_printf(file, depth + 1, "tightness %g\n", obj_get_exponent(node));
  }
  if (fades)
    pov_printf(file, depth + 1, "fade_distance %g fade_power 2\n", knee);
  pov_printf(file, depth, "}\n");
  if (!active)
    fputs("*/\n", file);
}
