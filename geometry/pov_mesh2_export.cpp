// A part's include file in the POV-Ray 3.7 language: the whole part as one
// indexed mesh2, whatever its colours.
//
// Positions, normals and texture coordinates are each kept once, in hash
// indexes keyed by the bits of their floats, and the faces refer to them by
// number; normal_indices and uv_indices are left out when they would repeat
// face_indices. Colours (the polygons' and the corners' own) go into a
// texture_list when the part has more than one or its corners carry their
// own: each entry asks the scene's OKU_TEXTURE macro for the object's
// surface in that colour (linear light), and each face names one entry per
// corner, so that POV-Ray blends them across the face. The polygons are read
// once into the indexes; the text is then written a large block at a time.
#include "base/pov_finish.h"
#include "base/pov_text.h"
#include "geometry/pov_mesh_internal.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Vectors of up to three floats, numbered in the order first met.
struct VectorIndex {
  struct Slot {
    uint32_t key[3];
    int32_t number; // -1: empty
  };
  std::vector<Slot> slots; // power-of-two size, at most half full
  std::vector<float> values;
  int32_t count = 0;

  static size_t hash(const uint32_t k[3]) {
    uint64_t h = k[0] * 0x9e3779b97f4a7c15ull + k[1] * 0xc2b2ae3d27d4eb4full + k[2] * 0x165667b19e3779f9ull;
    h ^= h >> 29;
    h *= 0xbf58476d1ce4e5b9ull;
    return static_cast<size_t>(h ^ (h >> 32));
  }
  Slot &find(const uint32_t key[3]) {
    const size_t mask = slots.size() - 1;
    for (size_t i = hash(key) & mask;; i = (i + 1) & mask)
      if (slots[i].number < 0 || std::memcmp(slots[i].key, key, sizeof slots[i].key) == 0)
        return slots[i];
  }
  // Room for about `expected` vectors without growing on the way.
  void reserve(size_t expected) {
    size_t size = 1024;
    while (size < 2 * expected)
      size *= 2;
    slots.assign(size, Slot{{0, 0, 0}, -1});
    values.reserve(3 * expected);
  }
  void grow() {
    std::vector<Slot> old;
    old.swap(slots);
    slots.assign(old.empty() ? 1024 : old.size() * 2, Slot{{0, 0, 0}, -1});
    for (const Slot &slot : old)
      if (slot.number >= 0)
        find(slot.key) = slot;
  }
  // A small direct-mapped cache of vectors met lately in front of the
  // table: a vertex is a corner of about six triangles, mostly close
  // together in the polygon order, and the table is far larger than the
  // processor's caches.
  static const int kRecentBits = 14;
  std::vector<Slot> recent = std::vector<Slot>(size_t(1) << kRecentBits, Slot{{0, 0, 0}, -1});

  // Asks for the slots of v ahead of number(v): a polygon's corners are
  // looked up together, so their cache misses overlap.
  void prefetch(const float v[3]) const {
    uint32_t key[3];
    std::memcpy(key, v, sizeof key);
    const size_t h = hash(key);
    __builtin_prefetch(&recent[h >> (8 * sizeof(size_t) - kRecentBits)]);
    __builtin_prefetch(&slots[h & (slots.size() - 1)]);
  }

  // May throw std::bad_alloc.
  int32_t number(const float v[3]) {
    uint32_t key[3];
    std::memcpy(key, v, sizeof key);
    Slot &near = recent[hash(key) >> (8 * sizeof(size_t) - kRecentBits)];
    if (near.number >= 0 && std::memcmp(near.key, key, sizeof key) == 0)
      return near.number;
    near = Slot{{key[0], key[1], key[2]}, number_in_table(v, key)};
    return near.number;
  }

  int32_t number_in_table(const float v[3], const uint32_t key[3]) {
    if (size_t(count + 1) * 2 > slots.size())
      grow();
    Slot &slot = find(key);
    if (slot.number < 0) {
      std::memcpy(slot.key, key, sizeof slot.key);
      slot.number = count++;
      values.insert(values.end(), v, v + 3);
    }
    return slot.number;
  }
};

struct Corner {
  float position[3]; // first: the polygon splitter reads positions with a stride
  float normal[3];
  float uv[3];
  float colour[3];
  bool has_normal, has_uv, own_colour;
  int32_t number[4]; // position, normal (-1: none), uv (-1: none), colour
};

// Three numbers per triangle, kept only once one differs from the column's
// default (a mesh without texture coordinates or colours keeps no column).
struct Column {
  std::vector<int32_t> numbers;
  int32_t default_number;
  void push(int32_t n, size_t at) {
    if (numbers.empty() && n == default_number)
      return;
    if (numbers.size() < at)
      numbers.resize(at, default_number);
    numbers.push_back(n);
  }
  void finish(size_t size) { numbers.resize(size, default_number); }
};

struct Mesh2 {
  VectorIndex positions, normals, uvs, colours;
  // Three per triangle: numbers into the indexes; -1 for a corner without
  // a normal or texture coordinates.
  std::vector<int32_t> face;
  Column normal{{}, -1}, uv{{}, -1}, texture{{}, 0};
  float last_colour[3] = {-1, -1, -1};
  int32_t last_colour_number = -1;
  ZAL_COLOR last_polygon_colour{-1, -1, -1};
  bool any_normal = false, any_uv = false, own_colours = false, has_triangle = false;
  std::vector<Corner> corners;
  PovSplitScratch split;
  std::vector<int> triangles;
};

void read_corner(const VYpolygon &polygon, int index, const float polygon_colour[3], Corner &c) {
  std::memset(&c, 0, sizeof c);
  std::memcpy(c.colour, polygon_colour, sizeof c.colour);
  VYvertex *vertex = VYpolygon_getvertex(polygon, index);
  if (!vertex)
    return;
  VYvertex_getposition(vertex, c.position, 0);
  c.has_normal = VYvertex_getnormal(vertex, c.normal, 0) != 0;
  c.has_uv = VYvertex_getuv(vertex, c.uv) != 0;
  float r, g, b;
  if (VYvertex_getcolor(vertex, r, g, b)) {
    c.own_colour = true;
    c.colour[0] = r, c.colour[1] = g, c.colour[2] = b;
  }
}

// Numbers the corner's vectors once; its triangles then refer to them.
void number_corner(Mesh2 &m, Corner &corner) {
  corner.number[0] = m.positions.number(corner.position);
  corner.number[1] = corner.has_normal ? m.normals.number(corner.normal) : -1;
  corner.number[2] = corner.has_uv ? m.uvs.number(corner.uv) : -1;
  // Neighbouring corners mostly share their colour.
  if (std::memcmp(corner.colour, m.last_colour, sizeof m.last_colour) != 0) {
    std::memcpy(m.last_colour, corner.colour, sizeof m.last_colour);
    m.last_colour_number = m.colours.number(corner.colour);
  }
  corner.number[3] = m.last_colour_number;
  m.any_normal = m.any_normal || corner.has_normal;
  m.any_uv = m.any_uv || corner.has_uv;
  m.own_colours = m.own_colours || corner.own_colour;
}

void add_triangle(Mesh2 &m, const Corner &a, const Corner &b, const Corner &c) {
  for (const Corner *corner : {&a, &b, &c}) {
    const size_t at = m.face.size();
    m.face.push_back(corner->number[0]);
    m.normal.push(corner->number[1], at);
    m.uv.push(corner->number[2], at);
    m.texture.push(corner->number[3], at);
  }
}

// The polygon's triangles as the 3.0 writer cuts it: a fan, or its split
// when a fan would not cover it.
void add_polygon(Mesh2 &m, const VYpolygon &polygon, PartRecord *record) {
  const int n = VYpolygon_nvertices(polygon);
  ZAL_COLOR colour;
  VYpolygon_getcolor(polygon, colour.r, colour.g, colour.b);
  if (std::memcmp(&colour, &m.last_polygon_colour, sizeof colour) != 0) {
    if (pov_colour_mesh_number(record, colour) < 0)
      throw std::bad_alloc();
    m.last_polygon_colour = colour;
  }
  if (n < 3)
    return;
  if (!m.has_triangle && pov_polygon_has_triangle(polygon))
    m.has_triangle = true;
  if (m.corners.size() < size_t(n))
    m.corners.resize(size_t(n));
  const float rgb[3] = {colour.r, colour.g, colour.b};
  for (int i = 0; i < n; ++i) {
    Corner &corner = m.corners[size_t(i)];
    read_corner(polygon, i, rgb, corner);
    m.positions.prefetch(corner.position);
    if (corner.has_normal)
      m.normals.prefetch(corner.normal);
  }
  for (int i = 0; i < n; ++i)
    number_corner(m, m.corners[size_t(i)]);
  const Corner *c = m.corners.data();
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
// those without texture coordinates <0, 0>, once some corner has them.
void fill_missing(Mesh2 &m) {
  for (Column *column : {&m.normal, &m.uv, &m.texture})
    column->finish(m.face.size());
  std::vector<int32_t> &normal = m.normal.numbers;
  for (size_t i = 0; m.any_normal && i < normal.size(); i += 3) {
    if (normal[i] >= 0 && normal[i + 1] >= 0 && normal[i + 2] >= 0)
      continue;
    const float *p[3];
    for (int j = 0; j < 3; ++j)
      p[j] = &m.positions.values[size_t(m.face[i + size_t(j)]) * 3];
    const float a[3] = {p[2][0] - p[1][0], p[2][1] - p[1][1], p[2][2] - p[1][2]};
    const float b[3] = {p[0][0] - p[1][0], p[0][1] - p[1][1], p[0][2] - p[1][2]};
    const float n[3] = {b[1] * a[2] - b[2] * a[1], b[2] * a[0] - b[0] * a[2], b[0] * a[1] - b[1] * a[0]};
    for (int j = 0; j < 3; ++j)
      if (normal[i + size_t(j)] < 0)
        normal[i + size_t(j)] = m.normals.number(n);
  }
  const float zero[3] = {0, 0, 0};
  for (int32_t &number : m.uv.numbers)
    if (m.any_uv && number < 0)
      number = m.uvs.number(zero);
}

void write_count(PovTextOut *out, const char *head, long count) {
  const size_t length = std::strlen(head);
  char *at = pov_text_out_reserve(out, length + 24);
  std::memcpy(at, head, length);
  at = std::to_chars(at + length, at + length + 20, count).ptr;
  *at++ = ',';
  *at++ = '\n';
  pov_text_out_commit(out, at);
}

// "<x, y, z>,\n" per vector; two components only for texture coordinates.
void write_vectors(PovTextOut *out, const char *head, const VectorIndex &index, int components) {
  write_count(out, head, index.count);
  for (int32_t i = 0; i < index.count; ++i) {
    char *at = pov_text_out_reserve(out, 112);
    *at++ = '<';
    if (components == 3) {
      at += pov_format_g3(at, &index.values[size_t(i) * 3]);
    } else {
      at += pov_format_g(at, index.values[size_t(i) * 3]);
      *at++ = ',', *at++ = ' ';
      at += pov_format_g(at, index.values[size_t(i) * 3 + 1]);
    }
    std::memcpy(at, ">,\n", 3);
    pov_text_out_commit(out, at + (i + 1 < index.count ? 3 : 1));
  }
  pov_text_out_write(out, "\n}\n", 3);
}

char *put_number(char *at, int32_t n) { return std::to_chars(at, at + 12, n).ptr; }

// "<a,b,c>" per triangle, with three texture numbers after each in face_indices.
void write_indices(PovTextOut *out, const char *head, const std::vector<int32_t> &numbers,
                   const std::vector<int32_t> *textures) {
  const size_t triangles = numbers.size() / 3;
  write_count(out, head, long(triangles));
  for (size_t i = 0; i < numbers.size(); i += 3) {
    char *at = pov_text_out_reserve(out, 96);
    *at++ = '<';
    at = put_number(at, numbers[i]);
    *at++ = ',';
    at = put_number(at, numbers[i + 1]);
    *at++ = ',';
    at = put_number(at, numbers[i + 2]);
    *at++ = '>';
    for (int j = 0; textures && j < 3; ++j) {
      *at++ = ',';
      at = put_number(at, (*textures)[i + size_t(j)]);
    }
    if (i + 3 < numbers.size())
      *at++ = ',';
    *at++ = (i / 3) % 8 == 7 ? '\n' : ' ';
    pov_text_out_commit(out, at);
  }
  pov_text_out_write(out, "\n}\n", 3);
}

void write_texture_list(PovTextOut *out, const VectorIndex &colours) {
  write_count(out, "texture_list { ", colours.count);
  for (int32_t i = 0; i < colours.count; ++i) {
    const float *c = &colours.values[size_t(i) * 3];
    ZAL_COLOR linear = pov_linear_colour(ZAL_COLOR{c[0], c[1], c[2]});
    const float v[3] = {linear.r, linear.g, linear.b};
    char *at = pov_text_out_reserve(out, 160);
    std::memcpy(at, "texture { OKU_TEXTURE(<", 23);
    at += 23;
    at += pov_format_g3(at, v);
    std::memcpy(at, ">) },\n", 6);
    pov_text_out_commit(out, at + (i + 1 < colours.count ? 6 : 4));
  }
  pov_text_out_write(out, "\n}\n", 3);
}

void write_mesh2(PovTextOut *out, const Mesh2 &m) {
  pov_text_out_printf(out, "#declare OKU_MESH_0 = mesh2 {\n");
  write_vectors(out, "vertex_vectors { ", m.positions, 3);
  if (m.any_normal)
    write_vectors(out, "normal_vectors { ", m.normals, 3);
  if (m.any_uv)
    write_vectors(out, "uv_vectors { ", m.uvs, 2);
  const bool textured = m.own_colours || m.colours.count > 1;
  if (textured)
    write_texture_list(out, m.colours);
  write_indices(out, "face_indices { ", m.face, textured ? &m.texture.numbers : nullptr);
  if (m.any_normal && m.normal.numbers != m.face)
    write_indices(out, "normal_indices { ", m.normal.numbers, nullptr);
  if (m.any_uv && m.uv.numbers != m.face)
    write_indices(out, "uv_indices { ", m.uv.numbers, nullptr);
  pov_text_out_write(out, "}\n", 2);
}

} // namespace

int pov_write_mesh2_contents(PovTextOut *out, VYobject *mesh, PartRecord *record) {
  try {
    Mesh2 m;
    VYpolygon cursor;
    // A closed mesh has about as many vertices as polygons (quads) or half
    // as many (triangles): the indexes are sized once for that.
    size_t polygons = 0;
    VYpolygon_initpoly(cursor, mesh);
    while (mesh && VYpolygon_nextpoly(cursor, cursor))
      ++polygons;
    m.positions.reserve(polygons);
    m.normals.reserve(polygons);
    m.face.reserve(3 * polygons);
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
