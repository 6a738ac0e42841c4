// The surface every object statement ends with: the pigment with colour and
// transmission, and the finish with ambient, emission, highlight and
// reflection terms. A textured object has the same finish in white.
#include "base/pov_finish.h"
#include "base/pov_print.h"

#include <cmath>

float pov_ambient_level() {
  float ambient = env_get_ambient();
  // The finish divides emission by this level, and a zero ambient light
  // would leave objects black: keep it just above zero.
  return ambient == 0 ? 0.001f : ambient;
}

void pov_write_pigment(FILE *file, int depth, const ZAL_COLOR &colour, float opacity) {
  float transmission = 1 - opacity;
  pov_printf(file, depth, "pigment {color rgbt <%g, %g, %g, %g>}\n", colour.r, colour.g, colour.b,
             transmission);
}

void pov_write_finish(FILE *file, int depth, _object *node, const ZAL_COLOR &colour,
                      const ZAL_COLOR &specular, float opacity) {
  pov_printf(file, depth, "finish {ambient <%g, %g, %g>", colour.r, colour.g, colour.b);
  ZAL_COLOR emission;
  obj_get_emission(node, emission);
  if (emission.r != 0 || emission.g != 0 || emission.b != 0) {
    // The renderer scales the ambient term by the global ambient light;
    // dividing by that level gives the emission its own strength.
    float ambient = pov_ambient_level();
    float r = emission.r / ambient, g = emission.g / ambient, b = emission.b / ambient;
    // A tiny ambient level can make the quotient overflow; a value that
    // cannot be written is written as 0.
    pov_printf(file, 0, "+ <%g, %g, %g>", std::isfinite(r) ? r : 0.0, std::isfinite(g) ? g : 0.0,
               std::isfinite(b) ? b : 0.0);
  }
  float phong = specular.r * opacity;
  pov_printf(file, 0, " phong %g phong_size %g", phong, obj_get_shininess(node));
  float reflectivity = obj_get_reflectivity(node);
  if (reflectivity != 0)
    pov_printf(file, 0, " reflection %g", reflectivity);
  fputs("}\n", file);
}

ZAL_COLOR pov_linear_colour(const ZAL_COLOR &srgb) {
  auto decode = [](float c) {
    if (!(c > 0.04045f)) // also a value that is not a number
      return c > 0 ? c / 12.92f : 0.0f;
    return c >= 1 ? c : static_cast<float>(std::pow((c + 0.055) / 1.055, 2.4));
  };
  return ZAL_COLOR{decode(srgb.r), decode(srgb.g), decode(srgb.b)};
}

int pov_reflects(_object *node) { return obj_get_reflectivity(node) != 0; }

void pov_write_finish37(FILE *file, int depth, _object *node, const ZAL_COLOR &specular, float opacity) {
  pov_printf(file, depth, "finish {ambient 1");
  pov_printf(file, 0, " phong %g phong_size %g", specular.r * opacity, obj_get_shininess(node));
  float reflectivity = obj_get_reflectivity(node);
  if (reflectivity != 0)
    pov_printf(file, 0, " reflection {%g, 1 fresnel on} conserve_energy", reflectivity);
  fputs("}\n", file);
}

int pov_has_emission_layer(_object *node) {
  ZAL_COLOR emission;
  obj_get_emission(node, emission);
  return emission.r > 0 || emission.g > 0 || emission.b > 0;
}

void pov_write_emission_layer(FILE *file, int depth, _object *node) {
  if (!pov_has_emission_layer(node))
    return;
  ZAL_COLOR emission;
  obj_get_emission(node, emission);
  ZAL_COLOR glow = pov_linear_colour(emission);
  pov_printf(file, depth,
             "texture {pigment {rgbt <1, 1, 1, 0.999>} finish {ambient 0 diffuse 0 emission <%g, %g, %g> * "
             "1000}}\n",
             glow.r, glow.g, glow.b);
}
