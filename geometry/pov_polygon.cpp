// One polygon of a part as smooth triangles, one line each: a fan around
// its first corner, or the split of pov_polygon_split.cpp when the polygon
// turns both ways and a fan would fill its notches.
//
// Include files of millions of triangles are normal. The lines are put
// together in a large text block, and the text of a position or normal is
// kept in a small cache keyed by the bits of its three floats: a vertex of
// a closed mesh is a corner of about six triangles, and is formatted once
// while it stays in the cache. The text is exactly what "%.6g" gives.
// Polygons are read one ahead of the one being written, so that the cache
// slots they need are on their way while the one before is written.
#include "base/pov_text.h"
#include "geometry/pov_mesh_internal.h"

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
// Slots per cache at most: 2^14 slots of 64 bytes, 1 MiB.
const int kMaxCacheBits = 14;
// A triangle line: the head, six vectors, the tail.
const size_t kTriangleRoom = 19 + 6 * kVectorRoom + 8;

// One cache slot, a cache line: the vector's bits and its text.
struct VectorText {
  uint32_t key[3];
  uint32_t length; // 0: empty
  char text[kVectorRoom];
};

// "< x, y, z >, " into out (at least 112 bytes).
uint32_t format_vector(char *out, const float v[3]) {
  std::memcpy(out, "< ", 2);
  char *at = out + 2 + pov_format_g3(out + 2, v);
  std::memcpy(at, " >, ", 4);
  return static_cast<uint32_t>(at + 4 - out);
}

struct VectorCache {
  VectorText *slots;
  int shift; // 64 - log2 of the number of slots
};

// A slot taken over by a vector not met lately (kept out of line: the hit
// path is the common one and stays small).
__attribute__((noinline)) const VectorText &fill_slot(VectorText &slot, const uint32_t key[3],
                                                      const float v[3]) {
  std::memcpy(slot.key, key, sizeof slot.key);
  // Formatted aside and copied: the formatter may use more room than the
  // text takes, and the slot's neighbour must not be touched.
  char text[112];
  slot.length = format_vector(text, v);
  std::memcpy(slot.text, text, kVectorRoom);
  return slot;
}

// The slot where the text of v is kept, if it is kept.
inline VectorText *slot_of(const VectorCache &cache, const float v[3]) {
  // Each float on its own: the host has just stored them one by one, and a
  // wider load across two of them would wait for both stores.
  uint32_t k[3];
  for (int i = 0; i < 3; ++i)
    std::memcpy(&k[i], &v[i], sizeof k[i]);
  // Every bit of the key reaches the top bits, which pick the slot: sign
  // bits matter (a symmetric mesh has many vectors that differ only there).
  uint64_t h = k[0] * 0x9e3779b97f4a7c15ull + k[1] * 0xc2b2ae3d27d4eb4full + k[2] * 0x165667b19e3779f9ull;
  h ^= h >> 29;
  h *= 0xbf58476d1ce4e5b9ull;
  return cache.slots + (h >> cache.shift);
}

// The text of v from its slot, formatted into the slot when another
// vector's text is there.
inline const VectorText &text_of(VectorText *slot, const float v[3]) {
  if (slot->length != 0 && std::memcmp(slot->key, v, sizeof slot->key) == 0)
    return *slot;
  uint32_t key[3];
  std::memcpy(key, v, sizeof key);
  return fill_slot(*slot, key, v);
}

// A corner of the polygon at hand, with the slots of its texts.
struct Corner {
  float position[3];
  float normal[3];
  int has_normal;
  VectorText *position_slot;
  VectorText *normal_slot;
};

// Reads a corner and asks for its slots early: they mostly lie further away
// than the processor's nearest caches, and their loads then overlap with
// the writing of the polygon before.
void read_corner(const VYpolygon &polygon, int index, const VectorCache caches[2], Corner &corner) {
  VYvertex *vertex = VYpolygon_getvertex(polygon, index);
  corner.position[0] = corner.position[1] = corner.position[2] = 0;
  corner.has_normal = 0;
  if (vertex) {
    VYvertex_getposition(vertex, corner.position, 0);
    corner.has_normal = VYvertex_getnormal(vertex, corner.normal, 0) != 0;
  }
  corner.position_slot = slot_of(caches[0], corner.position);
  __builtin_prefetch(corner.position_slot);
  if (corner.has_normal) {
    corner.normal_slot = slot_of(caches[1], corner.normal);
    __builtin_prefetch(corner.normal_slot);
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
  if (std::isfinite(n[0]) && std::isfinite(n[1]) && std::isfinite(n[2]))
    return;
  for (int i = 0; i < 3; ++i)
    if (!std::isfinite(p0[i]) || !std::isfinite(p1[i]) || !std::isfinite(p2[i]))
      return; // nothing to rescue: the host never hands out such corners
  // Far-apart corners overflow single precision, and POV-Ray cannot read
  // "inf". Only the normal's direction matters: work it out in double and
  // scale it back into range.
  const double da[3] = {double(p2[0]) - p1[0], double(p2[1]) - p1[1], double(p2[2]) - p1[2]};
  const double db[3] = {double(p0[0]) - p1[0], double(p0[1]) - p1[1], double(p0[2]) - p1[2]};
  const double d[3] = {db[1] * da[2] - db[2] * da[1], db[2] * da[0] - db[0] * da[2],
                       db[0] * da[1] - db[1] * da[0]};
  const double largest = std::fmax(std::fabs(d[0]), std::fmax(std::fabs(d[1]), std::fabs(d[2])));
  if (!(largest > 0)) { // two corners in one place: no direction to rescue
    n[0] = n[1] = n[2] = 0;
    return;
  }
  const double scale = 1e30 / largest; // largest is finite here
  for (int i = 0; i < 3; ++i)
    n[i] = static_cast<float>(d[i] * scale);
}

// Copies a vector's text with its ", "; whole slots are copied, which is
// cheaper than copying exactly its length, and the room is reserved.
char *put(char *at, const VectorText &vector) {
  std::memcpy(at, vector.text, kVectorRoom);
  return at + vector.length;
}

} // namespace

// Polygons go through two corner buffers: the corners of the next polygon
// are read (and their slots asked for) before the one before it is written,
// which gives the slots time to arrive.
struct PovPolygonScratch {
  std::vector<Corner> corners[2];
  int count[2] = {0, 0};
  int pending = -1;      // the buffer whose polygon waits to be written, or -1
  VectorCache caches[2]; // positions, normals
  PovSplitScratch split;
  std::vector<int> triangles;
};

namespace {

void write_triangle(PovTextOut *out, const Corner *corners[3]) {
  char *at = pov_text_out_reserve(out, kTriangleRoom);
  std::memcpy(at, "\tsmooth_triangle { ", 19);
  at += 19;
  char face[112];
  uint32_t face_length = 0;
  for (int j = 0; j < 3; ++j) {
    const Corner &corner = *corners[j];
    at = put(at, text_of(corner.position_slot, corner.position));
    if (corner.has_normal) {
      at = put(at, text_of(corner.normal_slot, corner.normal));
      continue;
    }
    if (face_length == 0) {
      float n[3];
      face_normal(corners[0]->position, corners[1]->position, corners[2]->position, n);
      face_length = format_vector(face, n);
    }
    std::memcpy(at, face, kVectorRoom);
    at += face_length;
  }
  // The last normal ends the line without its ", ".
  std::memcpy(at - 2, "\t}\n", 3);
  pov_text_out_commit(out, at + 1);
}

// log2 of the number of slots per cache: room for the corners of a few
// thousand polygons (a mesh's neighbours are usually near each other in its
// polygon order), and for a small mesh no more than it needs.
int cache_bits(long polygons) {
  int bits = 4;
  while (bits < kMaxCacheBits && (1l << bits) < 2 * polygons)
    ++bits;
  return bits;
}

} // namespace

PovPolygonScratch *pov_polygon_scratch_new(long polygons) {
  PovPolygonScratch *scratch = new (std::nothrow) PovPolygonScratch;
  if (!scratch)
    return nullptr;
  const int bits = cache_bits(polygons);
  // calloc: the slots start empty, and a large block arrives zeroed by the
  // system, page by page as it is used.
  const size_t slots = size_t(1) << bits;
  for (VectorCache &cache : scratch->caches)
    cache = {static_cast<VectorText *>(std::calloc(slots, sizeof(VectorText))), 64 - bits};
  if (!scratch->caches[0].slots || !scratch->caches[1].slots) {
    pov_polygon_scratch_free(scratch);
    return nullptr;
  }
  return scratch;
}

void pov_polygon_scratch_free(PovPolygonScratch *scratch) {
  if (!scratch)
    return;
  for (VectorCache &cache : scratch->caches)
    std::free(cache.slots);
  delete scratch;
}

namespace {

// A fan around corner 0 keeps the polygon's corner order: (0, k-1, k).
void write_fan(PovTextOut *out, const Corner *corners, int n) {
  for (int k = 2; k < n; ++k) {
    const Corner *triangle[3] = {&corners[0], &corners[k - 1], &corners[k]};
    write_triangle(out, triangle);
  }
}

void write_triangles(PovTextOut *out, const Corner *corners, int n, PovPolygonScratch *scratch) {
  if (n > 3 && !(n == 4 && pov_convex_quad(corners[0].position, sizeof(Corner)))) {
    try {
      std::vector<int> &t = scratch->triangles;
      if (pov_split_polygon(corners[0].position, sizeof(Corner), n, &scratch->split, &t) > 0) {
        for (size_t i = 0; i + 2 < t.size(); i += 3) {
          const Corner *triangle[3] = {&corners[t[i]], &corners[t[i + 1]], &corners[t[i + 2]]};
          write_triangle(out, triangle);
        }
        return;
      }
    } catch (...) {
      // Out of memory: the fan is still the polygon's outline.
    }
  }
  write_fan(out, corners, n);
}

} // namespace

int pov_write_polygon_with(PovTextOut *out, const VYpolygon &polygon, PovPolygonScratch *scratch) {
  int n = VYpolygon_nvertices(polygon);
  if (n < 3)
    return 1;
  const int next = scratch->pending == 0 ? 1 : 0;
  std::vector<Corner> &corners = scratch->corners[next];
  try {
    if (corners.size() < static_cast<size_t>(n))
      corners.resize(static_cast<size_t>(n));
  } catch (...) {
    return 0;
  }
  for (int i = 0; i < n; ++i)
    read_corner(polygon, i, scratch->caches, corners[i]);
  scratch->count[next] = n;
  pov_polygon_flush(out, scratch);
  scratch->pending = next;
  return 1;
}

void pov_polygon_flush(PovTextOut *out, PovPolygonScratch *scratch) {
  if (scratch->pending < 0)
    return;
  write_triangles(out, scratch->corners[scratch->pending].data(), scratch->count[scratch->pending], scratch);
  scratch->pending = -1;
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
  pov_polygon_flush(&out, scratch);
  pov_text_out_close(&out);
  pov_polygon_scratch_free(scratch);
}

namespace {

// The value of a number as "%g" writes it, read with one correctly rounded
// operation on its digits and its power of ten, which gives exactly what a
// correctly rounding reader (from_chars, POV-Ray) gives whenever the digits
// and the power are exact doubles. Answers false for anything else.
bool read_printed(const char *p, const char *end, double &value) {
  const bool negative = p < end && *p == '-';
  p += negative ? 1 : 0;
  uint64_t digits = 0;
  int significant = 0, scale = 0;
  bool point = false;
  for (; p < end && ((*p >= '0' && *p <= '9') || *p == '.'); ++p) {
    if (*p == '.') {
      point = true;
      continue;
    }
    if (digits != 0 || *p != '0')
      ++significant;
    digits = digits * 10 + static_cast<uint64_t>(*p - '0');
    scale -= point ? 1 : 0;
  }
  if (p < end && *p == 'e') {
    int exponent = 0;
    std::from_chars_result r = std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, exponent);
    if (r.ec != std::errc())
      return false;
    p = r.ptr;
    scale += exponent;
  }
  static const double kExact[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                  1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (p != end || significant > 15 || scale < -22 || scale > 22)
    return false;
  const double d = static_cast<double>(digits);
  value = scale >= 0 ? d * kExact[scale] : d / kExact[-scale];
  value = negative ? -value : value;
  return true;
}

} // namespace

double pov_printed_value(float v) {
  char text[32];
  int length = pov_format_g(text, v);
  double value = 0;
  if (read_printed(text, text + length, value))
    return value;
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

void read_position(const VYpolygon &polygon, int index, float out[3]) {
  out[0] = out[1] = out[2] = 0;
  if (VYvertex *vertex = VYpolygon_getvertex(polygon, index))
    VYvertex_getposition(vertex, out, 0);
}

// The corners' positions as POV-Ray reads them back, worked out when first
// asked for.
struct PrintedCorners {
  const float *positions;
  std::vector<double> values;
  std::vector<char> known;

  const double *at(int k) {
    double *value = &values[size_t(k) * 3];
    if (!known[size_t(k)]) {
      for (int i = 0; i < 3; ++i)
        value[i] = pov_printed_value(positions[size_t(k) * 3 + size_t(i)]);
      known[size_t(k)] = 1;
    }
    return value;
  }
  bool kept(int a, int b, int c) { return pov_triangle_kept(at(a), at(b), at(c)); }
};

} // namespace

int pov_polygon_has_triangle(const VYpolygon &polygon) {
  int n = VYpolygon_nvertices(polygon);
  if (n < 3)
    return 0;
  std::vector<float> positions(size_t(n) * 3);
  for (int k = 0; k < n; ++k)
    read_position(polygon, k, &positions[size_t(k) * 3]);
  PrintedCorners corners{positions.data(), std::vector<double>(size_t(n) * 3), std::vector<char>(size_t(n))};
  PovSplitScratch split;
  std::vector<int> t;
  if (n > 3 && pov_split_polygon(positions.data(), 3 * sizeof(float), n, &split, &t) > 0) {
    for (size_t i = 0; i + 2 < t.size(); i += 3)
      if (corners.kept(t[i], t[i + 1], t[i + 2]))
        return 1;
    return 0;
  }
  for (int k = 2; k < n; ++k)
    if (corners.kept(0, k - 1, k))
      return 1;
  return 0;
}
