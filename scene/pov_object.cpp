// Geometry objects: one object statement, or one per mesh colour of a part
// without a colour of its own, each placed with its own global transform.
#include "base/pov_print.h"
#include "base/pov_text.h"
#include "scene/pov_writers.h"
#include "texture/pov_texture.h"

void pov_read_object_values(_object *node, PovObjectValues *values) {
  VYobject_getpivot(obj_get_geometry(node), values->pivot, 0);
  obj_get_color(node, values->colour);
  obj_get_pos(node, values->position, FRAME_SCENE);
  obj_get_orient(node, values->orientation, FRAME_SCENE);
  obj_get_eangles(node, values->angles, FRAME_SCENE);
  obj_get_specular(node, values->specular);
}

ZAL_COLOR pov_statement_colour(const ZAL_COLOR &own, PartRecord *record, int index) {
  if (own.r != -1)
    return own;
  if (record && record->colours) {
    if (auto *mesh_colour = static_cast<const ZAL_COLOR *>(record->colours->get(index + 1)))
      return *mesh_colour;
  }
  return ZAL_COLOR{1, 1, 1};
}

void pov_write_transforms(FILE *file, int depth, const PovObjectValues *values) {
  const float *pivot = values->pivot;
  if (pivot[0] != 0 || pivot[1] != 0 || pivot[2] != 0)
    pov_print_vec3(file, depth, "translate", -pivot[0], -pivot[1], -pivot[2]);
  // The quaternion only decides whether the object is turned at all; the
  // angles are written as the host gives them, z first, then y, then x.
  if (values->orientation.w != 1)
    pov_print_euler(file, depth, values->angles, 0);
  const ZAL_VECT3 &p = values->position;
  if (p.x != 0 || p.y != 0 || p.z != 0)
    pov_print_vect3(file, depth, "translate", p);
}

void pov_write_object_statement(PovSession &session, FILE *file, int depth, _object *node, const char *name,
                                PartRecord *record, int index, int count, const PovObjectValues *values) {
  pov_printf(file, depth, "object { // %s%s\n", count == 1 ? "" : "part of ", name);
  if (count == 1) {
    pov_write_shape(file, depth + 1, node, record);
  } else {
    char part_name[ZAL_NAME_SIZE];
    zal_narrow(part_name, record && record->name ? record->name : "");
    pov_printf(file, depth + 1, "%s_%d\n", part_name, index);
  }
  ZAL_COLOR colour = pov_statement_colour(values->colour, record, index);
  pov_write_pigment(file, depth + 1, colour, values->opacity);
  int own_finish = write_texture_statements(session, file, depth + 1, node, colour, values->opacity);
  pov_write_transforms(file, depth + 1, values);
  if (!own_finish)
    pov_write_finish(file, depth + 1, node, colour, values->specular, values->opacity);
  pov_printf(file, depth + 1, "#if (NO_SHADOWS) no_shadow #end\n");
  pov_printf(file, depth, "}\n");
}

int pov_statement_count(const ZAL_COLOR &own, PartRecord *record) {
  if (!record || own.r != -1)
    return 1;
  return record->colours ? record->colours->count() : 0;
}

void pov_write_object_body(PovSession &session, FILE *file, int depth, _object *node, PartRecord *record) {
  PovObjectValues values;
  values.opacity = obj_get_transparency(node) * session.inherited_opacity;
  // An object without a shape (no geometry entry, no part) is written like
  // a hidden one: POV-Ray would refuse the whole scene over its statement.
  bool hidden = obj_get_vis(node) != 1 || values.opacity == 0 || !pov_has_shape(node, record);
  if (hidden)
    fputs("/*\n", file);
  pov_read_object_values(node, &values);
  const bool language37 = session.pov_language == kPovLanguage37;
  int count = language37 ? 1 : pov_statement_count(values.colour, record);

  // The name goes into a line comment, and into a block comment when the
  // object is hidden: it must not be able to end either.
  char narrowed[ZAL_NAME_SIZE];
  char name[ZAL_NAME_SIZE];
  const char *host_name = obj_get_name(node);
  zal_narrow(narrowed, host_name ? host_name : "");
  pov_comment_name(name, narrowed);
  for (int i = 0; i < count; ++i) {
    if (language37)
      pov_write_object_statement37(session, file, depth, node, name, record, &values);
    else
      pov_write_object_statement(session, file, depth, node, name, record, i, count, &values);
  }

  if (hidden)
    fputs("*/\n", file);
}

void pov_write_geometry_object(PovSession &session, FILE *file, int depth, _object *node) {
  if (obj_get_active(node) != 1)
    return;
  // The part's include and declaration lines come first, outside any
  // comment, so that later objects of the same part can refer to it.
  PartRecord *record = pov_declare_part(session, file, depth, node);
  pov_write_object_body(session, file, depth, node, record);
}
