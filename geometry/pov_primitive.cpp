// The shape statement of an object: its part's identifier, or a primitive
// built from the host's shape parameters, centred or based at the object's
// own origin so that the pivot, rotation and translation place it like a mesh.
#include "base/pov_print.h"
#include "geometry/pov_mesh_internal.h"

#include <cmath>
#include <cstdint>

namespace {

// POV-Ray stops the whole render on a cone or cylinder whose end points lie
// closer than this, and on a mesh without a triangle of non-zero area.
const double kShortestAxis = 1e-10;

// Shapes that POV-Ray would reject are written as an empty union, which
// parses, draws nothing and lets the rest of the scene render.
void write_nothing(FILE *file, int depth) {
  pov_printf(file, depth, "union {\n");
  pov_printf(file, depth, "}\n");
}

bool axis_too_short(float height) { return std::fabs(pov_printed_value(height)) < kShortestAxis; }

void write_box(FILE *file, int depth, const GeomParams *p) {
  pov_printf(file, depth, "box {\n");
  pov_printf(file, depth + 1, "<%g, %g, %g>,\n", p->size_x * -0.5f, p->size_y * -0.5f, p->size_z * -0.5f);
  pov_printf(file, depth + 1, "<%g, %g, %g>\n", p->size_x * 0.5f, p->size_y * 0.5f, p->size_z * 0.5f);
  pov_printf(file, depth, "}\n");
}

void write_cone(FILE *file, int depth, const GeomParams *p) {
  if (axis_too_short(p->height))
    return write_nothing(file, depth);
  pov_printf(file, depth, "cone {\n");
  pov_printf(file, depth + 1, "<0, %g, 0>, 0\n", p->height);
  pov_printf(file, depth + 1, "<0, 0, 0>, %g\n", p->radius);
  pov_printf(file, depth, "}\n");
}

void write_cylinder(FILE *file, int depth, const GeomParams *p) {
  if (axis_too_short(p->height))
    return write_nothing(file, depth);
  pov_printf(file, depth, "cylinder {\n");
  pov_printf(file, depth + 1, "<0, %g, 0>,\n", p->height);
  pov_printf(file, depth + 1, "<0, 0, 0>,\n");
  pov_printf(file, depth + 1, "%g\n", p->radius);
  pov_printf(file, depth, "}\n");
}

void write_sphere(FILE *file, int depth, const GeomParams *p) {
  pov_printf(file, depth, "sphere {\n");
  pov_printf(file, depth + 1, "<0, 0, 0>, %g\n", p->radius);
  pov_printf(file, depth, "}\n");
}

bool rectangle_has_area(float left, float bottom, float right, float top) {
  const double a[3] = {pov_printed_value(left), pov_printed_value(bottom), 0};
  const double b[3] = {pov_printed_value(left), pov_printed_value(top), 0};
  const double c[3] = {pov_printed_value(right), pov_printed_value(bottom), 0};
  const double d[3] = {pov_printed_value(right), pov_printed_value(top), 0};
  return pov_triangle_kept(a, b, c) || pov_triangle_kept(d, c, b);
}

// Two triangles in the z = 0 plane, split along the diagonal from
// (w/2, -h/2) to (-w/2, h/2).
void write_rectangle(FILE *file, int depth, const GeomParams *p) {
  const float left = p->width * -0.5f, right = p->width * 0.5f;
  const float bottom = p->height * -0.5f, top = p->height * 0.5f;
  if (!rectangle_has_area(left, bottom, right, top))
    return write_nothing(file, depth);
#define POV_TRIANGLE "triangle { <%g, %g, 0>, <%g, %g, 0>, <%g, %g, 0> }\n"
  pov_printf(file, depth, "mesh {\n");
  pov_printf(file, depth + 1, POV_TRIANGLE, left, bottom, left, top, right, bottom);
  pov_printf(file, depth + 1, POV_TRIANGLE, right, top, right, bottom, left, top);
#undef POV_TRIANGLE
  pov_printf(file, depth, "}\n");
}

} // namespace

void pov_write_primitive(FILE *file, int depth, const GeomParams *params) {
  if (!params)
    return;
  switch (static_cast<uint32_t>(params->kind)) {
  case 0:
    return write_box(file, depth, params);
  case 1:
    return write_cone(file, depth, params);
  case 2:
    return write_cylinder(file, depth, params);
  case 4:
    return write_rectangle(file, depth, params);
  default: // 3, and any kind the module does not know
    return write_sphere(file, depth, params);
  }
}

namespace {

// The shape parameters of an object that has a geometry entry, or null.
const GeomParams *shape_params(_object *object) {
  LIST *geometries = object ? obj_get_geolist(object) : nullptr;
  if (!geometries)
    return nullptr;
  LIST_ITER it(geometries);
  if (!it.first())
    return nullptr;
  ASSOC *vars = obj_get_vars(object);
  if (!vars)
    return nullptr;
  return static_cast<const GeomParams *>(vars->getvalue(vars->find("_GEOM_PARAMS")));
}

} // namespace

int pov_has_shape(_object *object, PartRecord *record) { return record || shape_params(object); }

void pov_write_shape(FILE *file, int depth, _object *object, PartRecord *record) {
  if (record) {
    char name[ZAL_NAME_SIZE];
    zal_narrow(name, record->name);
    pov_printf(file, depth, "%s\n", name);
    return;
  }
  if (const GeomParams *params = shape_params(object))
    pov_write_primitive(file, depth, params);
}
