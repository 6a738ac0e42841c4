// One polygon of a part as a fan of smooth triangles, one line each.
//
// Include files of millions of triangles are normal, so a line is put
// together in memory and written with one call, and the text of a corner is
// formatted once per polygon even when several fan triangles share it. The
// text is exactly what "%.6g" gives.
#include "geometry/pov_mesh_internal.h"
#include "scene/pov_text.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace {

// "< x, y, z >": three numbers of at most 13 characters each and the marks.
const int kVectorText = 64;

struct CornerText {
  float position[3];
  char position_text[kVectorText];
  int position_length;
  int has_normal;
  char normal_text[kVectorText];
  int normal_length;
};

int format_vector(char *out, float x, float y, float z) {
  int n = 0;
  out[n++] = '<';
  out[n++] = ' ';
  n += pov_format_g(out + n, x);
  out[n++] = ',';
  out[n++] = ' ';
  n += pov_format_g(out + n, y);
  out[n++] = ',';
  out[n++] = ' ';
  n += pov_format_g(out + n, z);
  out[n++] = ' ';
  out[n++] = '>';
  return n;
}

void read_corner(const VYpolygon &polygon, int index, CornerText &corner) {
  VYvertex *vertex = VYpolygon_getvertex(polygon, index);
  float normal[3] = {0, 0, 0};
  corner.position[0] = corner.position[1] = corner.position[2] = 0;
  corner.has_normal = 0;
  if (vertex) {
    VYvertex_getposition(vertex, corner.position, 0);
    corner.has_normal = VYvertex_getnormal(vertex, normal, 0) != 0;
  }
  corner.position_length =
      format_vector(corner.position_text, corner.position[0], corner.position[1], corner.position[2]);
  corner.normal_length =
      corner.has_normal ? format_vector(corner.normal_text, normal[0], normal[1], normal[2]) : 0;
}

// The face normal (P0 - P1) x (P2 - P1), in single precision and not
// normalised, for corners that have no normal of their own.
int format_face_normal(char *out, const float *p0, const float *p1, const float *p2) {
  const float a[3] = {p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]};
  const float b[3] = {p0[0] - p1[0], p0[1] - p1[1], p0[2] - p1[2]};
  const float nx = b[1] * a[2] - b[2] * a[1];
  const float ny = b[2] * a[0] - b[0] * a[2];
  const float nz = b[0] * a[1] - b[1] * a[0];
  return format_vector(out, nx, ny, nz);
}

char *append(char *at, const char *text, int length) {
  std::memcpy(at, text, static_cast<size_t>(length));
  return at + length;
}

void write_triangle(FILE *file, const CornerText *corners[3]) {
  char line[16 + 6 * (kVectorText + 2) + 8];
  char face[kVectorText];
  int face_length = -1;
  char *at = append(line, "\tsmooth_triangle { ", 19);
  for (int j = 0; j < 3; ++j) {
    const CornerText &corner = *corners[j];
    at = append(at, corner.position_text, corner.position_length);
    at = append(at, ", ", 2);
    if (corner.has_normal) {
      at = append(at, corner.normal_text, corner.normal_length);
    } else {
      if (face_length < 0)
        face_length =
            format_face_normal(face, corners[0]->position, corners[1]->position, corners[2]->position);
      at = append(at, face, face_length);
    }
    if (j < 2)
      at = append(at, ", ", 2);
  }
  at = append(at, "\t}\n", 3);
  fwrite(line, 1, static_cast<size_t>(at - line), file);
}

} // namespace

struct PovPolygonScratch {
  std::vector<CornerText> corners;
};

PovPolygonScratch *pov_polygon_scratch_new() { return new (std::nothrow) PovPolygonScratch; }

void pov_polygon_scratch_free(PovPolygonScratch *scratch) { delete scratch; }

int pov_write_polygon_with(FILE *file, const VYpolygon &polygon, PovPolygonScratch *scratch) {
  int n = VYpolygon_nvertices(polygon);
  if (n < 3)
    return 1;
  PovPolygonScratch local;
  PovPolygonScratch &space = scratch ? *scratch : local;
  try {
    if (space.corners.size() < static_cast<size_t>(n))
      space.corners.resize(static_cast<size_t>(n));
  } catch (...) {
    return 0;
  }
  CornerText *corners = space.corners.data();
  for (int i = 0; i < n; ++i)
    read_corner(polygon, i, corners[i]);
  // A fan around corner 0 keeps the polygon's corner order: (0, k-1, k).
  for (int k = 2; k < n; ++k) {
    const CornerText *triangle[3] = {&corners[0], &corners[k - 1], &corners[k]};
    write_triangle(file, triangle);
  }
  return 1;
}

void pov_write_polygon(FILE *file, const VYpolygon &polygon) {
  pov_write_polygon_with(file, polygon, nullptr);
}

double pov_printed_value(float v) {
  char text[32];
  int length = pov_format_g(text, v);
  double value = 0;
  // from_chars reads the text as POV-Ray does, whatever the locale. (POV-Ray
  // cannot read "nan" or "inf" at all; such a number breaks the scene anyway.)
  if (std::from_chars(text, text + length, value).ec != std::errc())
    value = v;
  return value;
}

int pov_triangle_kept(const double p1[3], const double p2[3], const double p3[3]) {
  // The same test, in the same order and precision, as the renderer's.
  const double v1[3] = {p1[0] - p2[0], p1[1] - p2[1], p1[2] - p2[2]};
  const double v2[3] = {p3[0] - p2[0], p3[1] - p2[1], p3[2] - p2[2]};
  const double x = v1[1] * v2[2] - v1[2] * v2[1];
  const double y = v1[2] * v2[0] - v1[0] * v2[2];
  const double z = v1[0] * v2[1] - v1[1] * v2[0];
  return std::sqrt(x * x + y * y + z * z) != 0.0;
}

namespace {

void read_printed_position(const VYpolygon &polygon, int index, double out[3]) {
  float position[3] = {0, 0, 0};
  if (VYvertex *vertex = VYpolygon_getvertex(polygon, index))
    VYvertex_getposition(vertex, position, 0);
  for (int i = 0; i < 3; ++i)
    out[i] = pov_printed_value(position[i]);
}

} // namespace

int pov_polygon_has_triangle(const VYpolygon &polygon) {
  int n = VYpolygon_nvertices(polygon);
  if (n < 3)
    return 0;
  double first[3], previous[3], current[3];
  read_printed_position(polygon, 0, first);
  read_printed_position(polygon, 1, previous);
  for (int k = 2; k < n; ++k) {
    read_printed_position(polygon, k, current);
    if (pov_triangle_kept(first, previous, current))
      return 1;
    std::memcpy(previous, current, sizeof previous);
  }
  return 0;
}
