// Pieces that the mesh writer, the parts cache and the shape writer share
// inside the geometry folder. Not part of the module's interface.
#pragma once

#include "base/pov_text_out.h"
#include "geometry/pov_parts.h"

#include <cstdio>

// Mesh number (0-based) of the colour in the record's colour list; a colour
// not listed yet is appended first. -1 only when memory ran out.
int pov_colour_mesh_number(PartRecord *record, const ZAL_COLOR &colour);

// A new record with a copy of the identifier, an empty colour list, no index
// and both flags 0; null when memory ran out.
PartRecord *pov_new_part_record(const char *name);

// The value that POV-Ray reads back from the text that "%g" writes for v.
double pov_printed_value(float v);

// Whether POV-Ray keeps the triangle P1, P2, P3 (its corners as printed):
// it drops one whose corners give a zero cross product, and stops the whole
// render with "No triangles in triangle mesh" when a mesh keeps none.
int pov_triangle_kept(const double p1[3], const double p2[3], const double p3[3]);

// Whether at least one of the polygon's fan triangles is kept.
int pov_polygon_has_triangle(const VYpolygon &polygon);

// Scratch space for writing the polygons of one mesh: the corners of the
// polygon at hand, and the text of the positions and normals met lately,
// so that a corner that several triangles share is formatted once.
// `polygons` sizes the text caches (a small mesh gets small ones).
struct PovPolygonScratch;
PovPolygonScratch *pov_polygon_scratch_new(long polygons);
void pov_polygon_scratch_free(PovPolygonScratch *scratch);
// pov_write_polygon into a text block with scratch space of the same mesh.
// The polygon's corners are read now, but its text is written by the next
// call or by pov_polygon_flush, which must follow the last polygon of a
// mesh. Answers 0 when memory ran out.
int pov_write_polygon_with(PovTextOut *out, const VYpolygon &polygon, PovPolygonScratch *scratch);
void pov_polygon_flush(PovTextOut *out, PovPolygonScratch *scratch);
