// One polygon of a part as a fan of smooth triangles, one line each.
//
// Include files of millions of triangles are normal. The lines are put
// together in a large text block, and the text of a position or normal is
// kept in a small cache keyed by the bits of its three floats: a vertex of
// a closed mesh is a corner of about six triangles, and is formatted once
// while it stays in the cache. The text is exactly what "%.6g" gives.
#include "geometry/pov_mesh_internal.h"
#include "scene/pov_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

// "< x, y, z >, ": numbers of a float have at most 12 characters ("%.6g"
// of -1.17549e-38), so 46 bytes at most.
const int kVectorRoom = 48;
// A triangle line: the head, six vectors, the tail.
const size_t kTriangleRoom = 19 + 6 * kVectorRoom + 8;

// One cache slot, a cache line: the vector's bits and its text.
struct VectorText {
  uint32_t key[3];
  uint32_t length; // 0: empty
  char text[kVectorRoom];
};

struct Corner {
  float position[3];
  float normal[3];
  int has_normal;
};

uint32_t format_vector(char *out, const float v[3]) {
  char *at = out;
  *at++ = '<';
  *at++ = ' ';
  at += pov_format_g(at, v[0]);
  *at++ = ',';
  *at++ = ' ';
  at += pov_format_g(at, v[1]);
  *at++ = ',';
  *at++ = ' ';
  at += pov_format_g(at, v[2]);
  std::memcpy(at, " >, ", 4);
  return static_cast<uint32_t>(at + 4 - out);
}

struct VectorCache {
  VectorText *slots;
  uint32_t mask;
};

const VectorText &vector_text(VectorCache &cache, const float v[3]) {
  uint32_t key[3];
  std::memcpy(key, v, sizeof key);
  uint32_t h = key[0] * 0x9e3779b1u ^ key[1] * 0x85ebca77u ^ key[2] * 0xc2b2ae3du;
  h ^= h >> 15;
  VectorText &slot = cache.slots[h & cache.mask];
  if (slot.length != 0 && std::memcmp(slot.key, key, sizeof key) == 0)
    return slot;
  std::memcpy(slot.key, key, sizeof key);
  slot.length = format_vector(slot.text, v);
  return slot;
}

void read_corner(const VYpolygon &polygon, int index, Corner &corner) {
  VYvertex *vertex = VYpolygon_getvertex(polygon, index);
  corner.position[0] = corner.position[1] = corner.position[2] = 0;
  corner.has_normal = 0;
  if (vertex) {
    VYvertex_getposition(vertex, corner.position, 0);
    corner.has_normal = VYvertex_getnormal(vertex, corner.normal, 0) != 0;
  }
}

// The face normal (P0 - P1) x (P2 - P1), in single precision and not
// normalised, for corners that have no normal of their own.
void face_normal(const float *p0, const float *p1, const float *p2, float n[3]) {
  const float a[3] = {p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]};
  const float b[3] = {p0[0] - p1[0], p0[1] - p1[1], p0[2] - p1[2]};
  n[0] = b[1] * a[2] - b[2] * a[1];
  n[1] = b[2] * a[0] - b[0] * a[2];
  n[2] = b[0] * a[1] - b[1] * a[0];
}

// Copies a vector's text with its ", "; whole slots are copied, which is
// cheaper than copying exactly its length, and the room is reserved.
char *put(char *at, const VectorText &vector) {
  std::memcpy(at, vector.text, kVectorRoom);
  return at + vector.length;
}

} // namespace

struct PovPolygonScratch {
  std::vector<Corner> corners;
  VectorCache positions;
  VectorCache normals;
};

namespace {

void write_triangle(PovTextOut *out, PovPolygonScratch &space, const Corner *corners[3]) {
  char *at = pov_text_out_reserve(out, kTriangleRoom);
  std::memcpy(at, "\tsmooth_triangle { ", 19);
  at += 19;
  VectorText face;
  face.length = 0;
  for (int j = 0; j < 3; ++j) {
    const Corner &corner = *corners[j];
    at = put(at, vector_text(space.positions, corner.position));
    if (corner.has_normal) {
      at = put(at, vector_text(space.normals, corner.normal));
    } else {
      if (face.length == 0) {
        float n[3];
        face_normal(corners[0]->position, corners[1]->position, corners[2]->position, n);
        face.length = format_vector(face.text, n);
      }
      at = put(at, face);
    }
  }
  // The last normal ends the line without its ", ".
  std::memcpy(at - 2, "\t}\n", 3);
  pov_text_out_commit(out, at + 1);
}

uint32_t cache_slots(long polygons) {
  uint32_t slots = 16;
  // Room for the corners of a few thousand polygons: a mesh's neighbours
  // are usually near each other in its polygon order.
  while (slots < (1u << 16) && static_cast<long>(slots) < 2 * polygons)
    slots *= 2;
  return slots;
}

} // namespace

PovPolygonScratch *pov_polygon_scratch_new(long polygons) {
  PovPolygonScratch *scratch = new (std::nothrow) PovPolygonScratch;
  if (!scratch)
    return nullptr;
  const uint32_t slots = cache_slots(polygons);
  // calloc: the slots start empty, and a large block arrives zeroed by the
  // system, page by page as it is used.
  scratch->positions = {static_cast<VectorText *>(std::calloc(slots, sizeof(VectorText))), slots - 1};
  scratch->normals = {static_cast<VectorText *>(std::calloc(slots, sizeof(VectorText))), slots - 1};
  if (!scratch->positions.slots || !scratch->normals.slots) {
    pov_polygon_scratch_free(scratch);
    return nullptr;
  }
  return scratch;
}

void pov_polygon_scratch_free(PovPolygonScratch *scratch) {
  if (!scratch)
    return;
  std::free(scratch->positions.slots);
  std::free(scratch->normals.slots);
  delete scratch;
}

int pov_write_polygon_with(PovTextOut *out, const VYpolygon &polygon, PovPolygonScratch *scratch) {
  int n = VYpolygon_nvertices(polygon);
  if (n < 3)
    return 1;
  try {
    if (scratch->corners.size() < static_cast<size_t>(n))
      scratch->corners.resize(static_cast<size_t>(n));
  } catch (...) {
    return 0;
  }
  Corner *corners = scratch->corners.data();
  for (int i = 0; i < n; ++i)
    read_corner(polygon, i, corners[i]);
  // A fan around corner 0 keeps the polygon's corner order: (0, k-1, k).
  for (int k = 2; k < n; ++k) {
    const Corner *triangle[3] = {&corners[0], &corners[k - 1], &corners[k]};
    write_triangle(out, *scratch, triangle);
  }
  return 1;
}

void pov_write_polygon(FILE *file, const VYpolygon &polygon) {
  PovPolygonScratch *scratch = pov_polygon_scratch_new(1);
  char block[4096];
  PovTextOut out;
  if (!scratch || !pov_text_out_open(&out, file, block, sizeof block)) {
    pov_polygon_scratch_free(scratch);
    return;
  }
  pov_write_polygon_with(&out, polygon, scratch);
  pov_text_out_close(&out);
  pov_polygon_scratch_free(scratch);
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
