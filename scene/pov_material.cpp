// Materials: the pigment with colour and transmission, and the finish with
// ambient, emission, highlight and reflection terms.
#include "base/pov_print.h"
#include "scene/pov_writers.h"

#include <cmath>

ZAL_COLOR pov_statement_colour(const ZAL_COLOR &own, PartRecord *record, int index) {
  if (own.r != -1)
    return own;
  if (record && record->colours) {
    if (auto *mesh_colour = static_cast<const ZAL_COLOR *>(record->colours->get(index + 1)))
      return *mesh_colour;
  }
  return ZAL_COLOR{1, 1, 1};
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
    // A tiny ambient level can make the quotient overflow; as in the
    // texture's finish, a value that cannot be written is written as 0.
    fprintf(file, "+ <%g, %g, %g>", std::isfinite(r) ? r : 0.0, std::isfinite(g) ? g : 0.0,
            std::isfinite(b) ? b : 0.0);
  }
  float phong = specular.r * opacity;
  fprintf(file, " phong %g phong_size %g", phong, obj_get_shininess(node));
  float reflectivity = obj_get_reflectivity(node);
  if (reflectivity != 0)
    fprintf(file, " reflection %g", reflectivity);
  fputs("}\n", file);
}
