// Pieces that the mesh writer, the parts cache and the shape writer share
// inside the geometry folder. Not part of the module's interface.
#pragma once

#include "geometry/pov_parts.h"

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

// The text of an include file is put together in one large block of memory
// and handed to the stream a block at a time, never piece by piece.
struct PovTextOut {
  FILE *file;
  char *block;
  size_t used;
  size_t capacity;
  int owns_block;
};
// A block of `capacity` bytes of the caller's (owns_block 0), or, with a null
// block, a new one; answers 0 when memory ran out.
int pov_text_out_open(PovTextOut *out, FILE *file, char *block, size_t capacity);
// Room for n more bytes (n far below the capacity) at the answered place;
// pov_text_out_commit then takes the bytes up to `end`.
char *pov_text_out_reserve(PovTextOut *out, size_t n);
inline void pov_text_out_commit(PovTextOut *out, const char *end) {
  out->used = static_cast<size_t>(end - out->block);
}
void pov_text_out_write(PovTextOut *out, const char *text, size_t n);
void pov_text_out_printf(PovTextOut *out, const char *format, ...) __attribute__((format(printf, 2, 3)));
void pov_text_out_flush(PovTextOut *out);
// Flushes and releases the block.
void pov_text_out_close(PovTextOut *out);

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
