// The scene writer's statement writers, called by the tree walk. Each
// writes at the depth it is given; those that take the session meet parts
// and textures through it.
#pragma once

#include "base/pov_finish.h"
#include "base/pov_session.h"
#include "geometry/pov_parts.h"

#include <cstdio>

// Placement and surface values of a geometry object, read once per node and
// shared by all of its object statements.
struct PovObjectValues {
  float opacity; // own value times the enclosing groups' factor
  float pivot[3];
  ZAL_COLOR colour; // red -1: no colour of its own
  ZAL_VECT3 position;
  ZAL_QUAT orientation;
  ZAL_VECT3 angles;
  ZAL_COLOR specular;
};

// The header comments, declarations, background and backdrop of the file.
void pov_write_frame(PovSession &session, FILE *file, int depth, _object *root, const SceneOptions *options);

// A geometry object: part lines, then one object statement per colour.
void pov_write_geometry_object(PovSession &session, FILE *file, int depth, _object *node);
// Everything after the part lines: the comment markers of a hidden object
// and its object statements, with `record` as the part (or null).
void pov_write_object_body(PovSession &session, FILE *file, int depth, _object *node, PartRecord *record);
// 1, or one statement per mesh colour of a part when the object has no
// colour of its own.
int pov_statement_count(const ZAL_COLOR &own, PartRecord *record);
void pov_read_object_values(_object *node, PovObjectValues *values);
// Object statement `index` of `count`: comment line, body, pigment, texture,
// transforms, finish and shadow guard. `name` is the comment-safe name.
void pov_write_object_statement(PovSession &session, FILE *file, int depth, _object *node, const char *name,
                                PartRecord *record, int index, int count, const PovObjectValues *values);
void pov_write_transforms(FILE *file, int depth, const PovObjectValues *values);

// Colour of object statement `index`: own colour, else the part's mesh
// colour, else white.
ZAL_COLOR pov_statement_colour(const ZAL_COLOR &own, PartRecord *record, int index);

// The 3.7 object statement (pov_surface37.cpp): one per object.
void pov_write_object_statement37(PovSession &session, FILE *file, int depth, _object *node, const char *name,
                                  PartRecord *record, const PovObjectValues *values);
// The surface declarations of an object whose part carries colours of its own
// (the session's write_part_texture in a 3.7 write).
void pov_write_part_texture37(PovSession &session, FILE *file, int depth, _object *node, int has_uv);

void pov_write_light(FILE *file, int depth, _object *node, int language = kPovLanguage30);
void pov_write_camera(FILE *file, int depth, _object *node, int language = kPovLanguage30);
