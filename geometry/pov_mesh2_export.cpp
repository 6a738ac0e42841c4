// A part's include file in the POV-Ray 3.7 language: the whole part as one
// indexed mesh2, whatever its colours.
//
// The polygons are read a polygon at a time as indices into the host's
// position and normal arrays; those vectors are listed in the order the
// polygons first use them and the faces refer to them by number. Texture
// coordinates and colours, which the host gives no index for, are kept once
// each in hash indexes keyed by the bits of their floats. normal_indices and
// uv_indices are left out when they would repeat face_indices. Colours (the
// polygons' and the corners' own) go into a texture_list when the part has
// more than one or its corners carry their own: each entry asks the include's
// OKU_ENTRY macro for the object's surface in that colour (linear light),
// and each face names one entry per corner, so that POV-Ray blends them
// across the face. The text is then written a large block at a time.
#include "base/pov_finish.h"
#include "base/pov_text.h"
#include "geometry/pov_mesh2_numbers.h"
#include "geometry/pov_mesh_internal.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct Corner {
  float position[3]; // first: the polygon splitter reads positions with a stride
  int32_t number[4]; // position, normal (-1: none), uv (-1: none), colour
  bool plain;        // its numbers leave the columns as they are
};

struct Mesh2 {
  PovVectorIndex positions, normals, uvs, colours;
  PovHostVectors host_positions, host_normals;
  // Three per triangle: numbers into the position list.
  std::vector<int32_t> face;
  PovColumn normal{{}, -1, true}, uv{{}, -1, true}, texture{{}, 0, false};
  float last_colour[3] = {-1, -1, -1};
  int32_t last_colour_number = -1;
  ZAL_COLOR last_polygon_colour{-1, -1, -1};
  bool any_normal = false, any_uv = false, own_colours = false, has_triangle = false;
  bool columns_changed = false; // since the polygon's corners were numbered
  std::vector<VYcorner> read = std::vector<VYcorner>(16);
  std::vector<Corner> corners;
  PovSplitScratch split;
  std::vector<int> triangles;
};

// Numbers the corner's vectors once; its triangles then refer to them. A
// position index the host's array does not hold reads as the origin, a
// normal index as no normal (as the per-corner calls answer them), and so
// does a zero or not finite normal.
void number_corner(Mesh2 &m, const VYcorner &from, const float polygon_colour[3], Corner &c) {
  int32_t position = m.host_positions.number_of(from.position, m.positions);
  if (position >= 0) {
    std::memcpy(c.position, m.host_positions.values + 3 * size_t(from.position), sizeof c.position);
  } else {
    std::memset(c.position, 0, sizeof c.position);
    position = m.positions.number(c.position);
  }
  c.number[0] = position;
  c.number[1] = from.normal < 0 ? -1 : m.host_normals.number_of(from.normal, m.normals);
  const float uv[3] = {from.uv[0], from.uv[1], 0};
  c.number[2] = from.has_uv ? m.uvs.number(uv) : -1;
  // Neighbouring corners mostly share their colour.
  const float *colour = from.has_colour ? from.colour : polygon_colour;
  if (std::memcmp(colour, m.last_colour, sizeof m.last_colour) != 0) {
    std::memcpy(m.last_colour, colour, sizeof m.last_colour);
    m.last_colour_number = m.colours.number(colour);
  }
  c.number[3] = m.last_colour_number;
  m.any_normal = m.any_normal || c.number[1] >= 0;
  m.any_uv = m.any_uv || from.has_uv;
  m.own_colours = m.own_colours || from.has_colour;
  c.plain = m.normal.holds(c.number[1], position) && m.uv.holds(c.number[2], position) &&
            m.texture.holds(c.number[3], position);
}

void push_triangle(PovColumn &column, int k, const Corner &a, const Corner &b, const Corner &c,
                   const std::vector<int32_t> &face) {
  if (column.kept) {
    column.numbers.insert(column.numbers.end(), {a.number[k], b.number[k], c.number[k]});
    return;
  }
  const size_t at = face.size() - 3;
  column.push(a.number[k], face, at);
  column.push(b.number[k], face, at + 1);
  column.push(c.number[k], face, at + 2);
}

void add_triangle(Mesh2 &m, const Corner &a, const Corner &b, const Corner &c) {
  m.face.insert(m.face.end(), {a.number[0], b.number[0], c.number[0]});
  if (a.plain && b.plain && c.plain && !m.columns_changed)
    return;
  m.columns_changed = true;
  push_triangle(m.normal, 1, a, b, c, m.face);
  push_triangle(m.uv, 2, a, b, c, m.face);
  push_triangle(m.texture, 3, a, b, c, m.face);
}

// The polygon's triangles as the 3.0 writer cuts it: a fan, or its split
// when a fan would not cover it.
void add_polygon(Mesh2 &m, const VYpolygon &polygon, PartRecord *record) {
  ZAL_COLOR colour;
  VYpolygon_getcolor(polygon, colour.r, colour.g, colour.b);
  if (std::memcmp(&colour, &m.last_polygon_colour, sizeof colour) != 0) {
    if (pov_colour_mesh_number(record, colour) < 0)
      throw std::bad_alloc();
    m.last_polygon_colour = colour;
  }
  int n = VYpolygon_getcorners(polygon, m.read.data(), int(m.read.size()));
  if (n > int(m.read.size())) {
    m.read.resize(size_t(n));
    n = std::min(n, VYpolygon_getcorners(polygon, m.read.data(), n));
  }
  if (n < 3)
    return;
  if (!m.has_triangle && pov_polygon_has_triangle(polygon))
    m.has_triangle = true;
  if (m.corners.size() < size_t(n))
    m.corners.resize(size_t(n));
  const float rgb[3] = {colour.r, colour.g, colour.b};
  Corner *c = m.corners.data();
  m.columns_changed = false;
  for (int i = 0; i < n; ++i)
    number_corner(m, m.read[size_t(i)], rgb, c[i]);
  if (n > 3 && !(n == 4 && pov_convex_quad(c[0].position, sizeof(Corner))) &&
      pov_split_polygon(c[0].position, sizeof(Corner), n, &m.split, &m.triangles) > 0) {
    const std::vector<int> &t = m.triangles;
    for (size_t i = 0; i + 2 < t.size(); i += 3)
      add_triangle(m, c[t[i]], c[t[i + 1]], c[t[i + 2]]);
    return;
  }
  for (int k = 2; k < n; ++k)
    add_triangle(m, c[0], c[k - 1], c[k]);
}

// Corners without a normal take their triangle's (as in the 3.0 text),
// those without texture coordinates <0, 0>, once some corner has them
// (a column holding -1 numbers is always kept).
void fill_missing(Mesh2 &m) {
  std::vector<int32_t> &normal = m.normal.numbers;
  for (size_t i = 0; m.any_normal && i < normal.size(); i += 3) {
    if (normal[i] >= 0 && normal[i + 1] >= 0 && normal[i + 2] >= 0)
      continue;
    const float *p[3];
    for (int j = 0; j < 3; ++j)
      p[j] = &m.positions.values[size_t(m.face[i + size_t(j)]) * 3];
    const float a[3] = {p[2][0] - p[1][0], p[2][1] - p[1][1], p[2][2] - p[1][2]};
    const float b[3] = {p[0][0] - p[1][0], p[0][1] - p[1][1], p[0][2] - p[1][2]};
    float n[3] = {b[1] * a[2] - b[2] * a[1], b[2] * a[0] - b[0] * a[2], b[0] * a[1] - b[1] * a[0]};
    // A triangle without area (which POV-Ray drops) has no normal of its
    // own; a zero one would draw POV-Ray's warning.
    if (!PovHostVectors::is_direction(n))
      n[0] = 0, n[1] = 0, n[2] = 1;
    for (int j = 0; j < 3; ++j)
      if (normal[i + size_t(j)] < 0)
        normal[i + size_t(j)] = m.normals.number(n);
  }
  const float zero[3] = {0, 0, 0};
  for (int32_t &number : m.uv.numbers)
    if (m.any_uv && number < 0)
      number = m.uvs.number(zero);
}

void write_mesh2(PovTextOut *out, Mesh2 &m) {
  const bool textured = m.own_colours || m.colours.count > 1;
  PovMesh2 lists;
  lists.positions = &m.positions;
  lists.normals = m.any_normal ? &m.normals : nullptr;
  lists.uvs = m.any_uv ? &m.uvs : nullptr;
  lists.colours = textured ? &m.colours : nullptr;
  lists.face = &m.face;
  lists.normal = m.normal.differs(m.face) ? &m.normal.numbers : &m.face;
  lists.uv = m.uv.differs(m.face) ? &m.uv.numbers : &m.face;
  lists.texture = textured ? &m.texture.all(m.face) : nullptr;
  pov_write_mesh2_text(out, lists);
}

} // namespace

int pov_write_mesh2_contents(PovTextOut *out, VYobject *mesh, PartRecord *record) {
  try {
    Mesh2 m;
    VYpolygon cursor;
    // The lists are sized once: a polygon of n corners gives n - 2
    // triangles at most, and the host's arrays bound the vectors.
    size_t triangles = 0, corners = 0;
    VYpolygon_initpoly(cursor, mesh);
    while (mesh && VYpolygon_nextpoly(cursor, cursor)) {
      const int n = VYpolygon_nvertices(cursor);
      triangles += size_t(std::max(n - 2, 0));
      corners += size_t(std::max(n, 0));
    }
    long count = 0;
    const float *values = VYobject_getpositions(mesh, count, 0);
    m.host_positions.open(values, count, corners, false);
    m.positions.values.reserve(3 * size_t(m.host_positions.count));
    values = VYobject_getnormals(mesh, count, 0);
    m.host_normals.open(values, count, corners, true);
    m.normals.values.reserve(3 * size_t(m.host_normals.count));
    m.face.reserve(3 * triangles);
    VYpolygon_initpoly(cursor, mesh);
    while (mesh && VYpolygon_nextpoly(cursor, cursor))
      add_polygon(m, cursor, record);
    fill_missing(m);
    record->has_uv = m.any_uv;
    record->own_colours = m.own_colours || m.colours.count > 1;
    char name[ZAL_NAME_SIZE];
    zal_narrow(name, record->name);
    pov_text_out_printf(out, "/* Object %s */\n", name);
    // POV-Ray stops the whole render on a mesh without triangles: an empty
    // union draws nothing instead.
    if (m.has_triangle)
      write_mesh2(out, m);
    else
      pov_text_out_printf(out, "#declare OKU_MESH_0 = union {\n}\n");
    pov_text_out_printf(out, "#declare OKU_OBJECT = object {OKU_MESH_0}\n");
    return 1;
  } catch (...) {
    return 0;
  }
}

void pov_note_corner_data(VYobject *mesh, PartRecord *record) {
  VYpolygon cursor;
  VYpolygon_initpoly(cursor, mesh);
  while (mesh && VYpolygon_nextpoly(cursor, cursor) && !(record->has_uv && record->own_colours)) {
    for (int i = 0, n = VYpolygon_nvertices(cursor); i < n; ++i) {
      VYvertex *vertex = VYpolygon_getvertex(cursor, i);
      float uv[2], r, g, b;
      record->has_uv = record->has_uv || (vertex && VYvertex_getuv(vertex, uv));
      record->own_colours = record->own_colours || (vertex && VYvertex_getcolor(vertex, r, g, b));
    }
  }
  if (record->colours && record->colours->count() > 1)
    record->own_colours = 1;
}
