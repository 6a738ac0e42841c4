// Mesh parts: include files per part, the parts cache and primitive shapes.
#pragma once

#include "base/pov_session.h"
#include "zaloku.h"

#include <cstdio>

struct PartColourIndex; // fast colour -> mesh number lookup, owned by the record

struct PartRecord {
  char *name;     // scene-language identifier, e.g. oku_Bracket_3
  LIST *colours;  // of ZAL_COLOR *, mesh i is position i + 1
  int written;    // the scene file being written already declares the part
  int wrote_file; // this module wrote the include file (the preview may delete it)
  PartColourIndex *index;
  // 3.7: some corner has texture coordinates; the mesh carries colours of
  // its own (corner colours, or more than one polygon colour), so its
  // include file asks for the object's surface declarations.
  int has_uv = 0;
  int own_colours = 0;
};

int pov_compare_colour(const void *a, const void *b);
void pov_add_colour(PartRecord *record, const ZAL_COLOR *colour);
void pov_collect_part_colours(VYobject *mesh, PartRecord *record);
// Writes the include file; answers 1 when it was written and closed without error.
int pov_write_part_file(PovSession &session, VYobject *mesh, const char *path, PartRecord *record);
void pov_write_polygon(FILE *file, const VYpolygon &polygon);

PartRecord *pov_declare_part(PovSession &session, FILE *file, int depth, _object *object);
void pov_part_base_name(_geometry *geometry, char *out);
char *pov_make_part_name(PovSession &session, const char *name, char *out);
void pov_release_part(void *record);
// Empties the parts cache. With delete_files, the include files that this
// module's writes made are deleted first: a file of the same name found on
// disk may belong to a scene saved earlier beside it.
void pov_parts_clear(PovModuleState *state, int delete_files);

void pov_write_shape(FILE *file, int depth, _object *object, PartRecord *record);
// Whether pov_write_shape writes a shape for the object: POV-Ray refuses an
// object statement without one.
int pov_has_shape(_object *object, PartRecord *record);
void pov_write_primitive(FILE *file, int depth, const GeomParams *params);
