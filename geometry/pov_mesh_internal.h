// Pieces that the mesh writer, the parts cache and the shape writer share
// inside the geometry folder. Not part of the module's interface.
#pragma once

#include "base/pov_text_out.h"
#include "geometry/pov_parts.h"

#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

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

// Corner i's position, `stride` bytes after corner i - 1's.
inline const float *pov_corner(const float *position, size_t stride, int i) {
  return reinterpret_cast<const float *>(reinterpret_cast<const char *>(position) + stride * size_t(i));
}
// The common case, settled in single precision: a quad whose four turns all
// go the same way (not straight on), seen along its normal (the cross
// product of its diagonals), is convex; a quad cannot go round twice. False
// when that does not settle it.
inline bool pov_convex_quad(const float *position, size_t stride) {
  const float *p0 = position, *p1 = pov_corner(position, stride, 1), *p2 = pov_corner(position, stride, 2),
              *p3 = pov_corner(position, stride, 3);
  const float a0 = p2[0] - p0[0], a1 = p2[1] - p0[1], a2 = p2[2] - p0[2];
  const float b0 = p3[0] - p1[0], b1 = p3[1] - p1[1], b2 = p3[2] - p1[2];
  const float x = std::fabs(a1 * b2 - a2 * b1), y = std::fabs(a2 * b0 - a0 * b2),
              z = std::fabs(a0 * b1 - a1 * b0);
  const int u = x >= y && x >= z ? 1 : y >= z ? 2 : 0, v = u == 2 ? 0 : u + 1;
  const float x0 = p0[u], y0 = p0[v], x1 = p1[u], y1 = p1[v], x2 = p2[u], y2 = p2[v], x3 = p3[u], y3 = p3[v];
  const float c0 = (x0 - x3) * (y1 - y0) - (y0 - y3) * (x1 - x0);
  const float c1 = (x1 - x0) * (y2 - y1) - (y1 - y0) * (x2 - x1);
  const float c2 = (x2 - x1) * (y3 - y2) - (y2 - y1) * (x3 - x2);
  const float c3 = (x3 - x2) * (y0 - y3) - (y3 - y2) * (x0 - x3);
  return (c0 > 0 && c1 > 0 && c2 > 0 && c3 > 0) || (c0 < 0 && c1 < 0 && c2 < 0 && c3 < 0);
}
// The two axes of the plane a polygon of n corners is seen in: the pair
// that its (Newell) normal is most nearly square to. False when the normal
// has no length or is not a number: the polygon has no area to cover then.
bool pov_polygon_axes(const float *position, size_t stride, int n, int &u, int &v);
// Whether the fan around corner 0 covers the polygon exactly (see below); a
// polygon without area or with corners that are not numbers counts as
// covered: nothing could draw it better.
bool pov_fan_covers(const float *position, size_t stride, int n);

// Working space of pov_split_polygon, kept from polygon to polygon.
struct PovSplitScratch {
  std::vector<double> x, y; // the corners in the polygon's plane
  std::vector<int> prev, next;
  std::vector<char> gone;
  std::vector<int> cell_start, cell_items, cell_fill; // corners pointing inwards, by grid cell
  std::vector<double> cell_x, cell_y;                 // and where they are
  int columns = 1, rows = 1;
  double x0 = 0, y0 = 0, scale_x = 0, scale_y = 0;
  std::vector<std::pair<int, int>> queue; // corners to try, with their stamp
  std::vector<int> stamp, waiting_on, wait_head, wait_next, wait_prev;
};

// A polygon is drawn as the fan around corner 0, (0, k - 1, k) for k from 2,
// when that covers it exactly: when its corners, seen in its own plane,
// turn one way only and go round once. Then, and when it has no area to
// cover, this answers 0. Otherwise it answers the number of triangles that
// cover it exactly (n - 2 at most; fewer when corners repeat or lie in line)
// and puts their corner numbers in `triangles`, three per triangle, each
// triangle in the polygon's corner order. Corner i's position is `stride`
// bytes after corner i - 1's. May throw std::bad_alloc.
int pov_split_polygon(const float *position, size_t stride, int n, PovSplitScratch *scratch,
                      std::vector<int> *triangles);

// Whether at least one of the polygon's triangles is kept: those of its
// fan, or of its split when the fan does not cover it.
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
// The include file's text in the 3.7 language (pov_mesh2_export.cpp); sets
// the record's has_uv and own_colours. Answers 0 when memory ran out.
int pov_write_mesh2_contents(PovTextOut *out, VYobject *mesh, PartRecord *record);
// The record's has_uv and own_colours from the mesh, without writing.
void pov_note_corner_data(VYobject *mesh, PartRecord *record);

int pov_write_polygon_with(PovTextOut *out, const VYpolygon &polygon, PovPolygonScratch *scratch);
void pov_polygon_flush(PovTextOut *out, PovPolygonScratch *scratch);
