// The text of a numbered mesh2, a large block at a time.
//
// POV-Ray builds a bounding tree over a mesh's triangles while it parses
// the mesh, in a time that grows faster than their number: a million
// triangles in one mesh2 take it about twice as long as the same triangles
// in 32 meshes. A mesh of more than kPieceTriangles triangles is therefore
// written as a union of mesh2 pieces of consecutive triangles, each listing
// only the vectors and textures its triangles use (numbered anew in the
// order its triangles first use them).
#include "base/pov_finish.h"
#include "base/pov_text.h"
#include "geometry/pov_mesh2_numbers.h"
#include "geometry/pov_mesh_internal.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

const size_t kPieceTriangles = 32768;

// A list of vectors to write: `count` of them, three floats each.
struct Vectors {
  const float *values;
  int32_t count;
};
Vectors vectors_of(const PovVectorIndex &index) { return {index.values.data(), index.count}; }

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
void write_vectors(PovTextOut *out, const char *head, Vectors list, int components) {
  write_count(out, head, list.count);
  for (int32_t i = 0; i < list.count; ++i) {
    const float *v = list.values + size_t(i) * 3;
    char *at = pov_text_out_reserve(out, 112);
    *at++ = '<';
    if (components == 3) {
      at += pov_format_g3(at, v);
    } else {
      at += pov_format_g(at, v[0]);
      *at++ = ',', *at++ = ' ';
      at += pov_format_g(at, v[1]);
    }
    std::memcpy(at, ">,\n", 3);
    pov_text_out_commit(out, at + (i + 1 < list.count ? 3 : 1));
  }
  pov_text_out_write(out, "\n}\n", 3);
}

// ",t0,t1,t2": mostly one number three times (the polygon's colour).
char *put_textures(char *at, const int32_t t[3]) {
  *at++ = ',';
  const char *first = at;
  at = pov_format_index(at, uint32_t(t[0]));
  const size_t length = size_t(at - first);
  for (int j = 1; j < 3; ++j) {
    *at++ = ',';
    if (t[j] == t[0] && length <= sizeof(uint64_t)) {
      uint64_t digits; // the first number again, moved as one word
      std::memcpy(&digits, first, sizeof digits);
      std::memcpy(at, &digits, sizeof digits);
      at += length;
    } else {
      at = pov_format_index(at, uint32_t(t[j]));
    }
  }
  return at;
}

// "<a,b,c>" per triangle, with three texture numbers after each in face_indices.
void write_indices(PovTextOut *out, const char *head, const std::vector<int32_t> &numbers,
                   const std::vector<int32_t> *textures) {
  const size_t triangles = numbers.size() / 3;
  write_count(out, head, long(triangles));
  for (size_t i = 0; i < numbers.size(); i += 3) {
    char *at = pov_text_out_reserve(out, 96);
    *at++ = '<';
    at = pov_format_index(at, uint32_t(numbers[i]));
    *at++ = ',';
    at = pov_format_index(at, uint32_t(numbers[i + 1]));
    *at++ = ',';
    at = pov_format_index(at, uint32_t(numbers[i + 2]));
    *at++ = '>';
    if (textures)
      at = put_textures(at, &(*textures)[i]);
    if (i + 3 < numbers.size())
      *at++ = ',';
    *at++ = (i / 3) % 8 == 7 ? '\n' : ' ';
    pov_text_out_commit(out, at);
  }
  pov_text_out_write(out, "\n}\n", 3);
}

void write_texture_list(PovTextOut *out, Vectors colours) {
  write_count(out, "texture_list { ", colours.count);
  for (int32_t i = 0; i < colours.count; ++i) {
    const float *c = colours.values + size_t(i) * 3;
    ZAL_COLOR linear = pov_linear_colour(ZAL_COLOR{c[0], c[1], c[2]});
    const float v[3] = {linear.r, linear.g, linear.b};
    char *at = pov_text_out_reserve(out, 160);
    std::memcpy(at, "texture { OKU_ENTRY(<", 21);
    at += 21;
    at += pov_format_g3(at, v);
    std::memcpy(at, ">) },\n", 6);
    pov_text_out_commit(out, at + (i + 1 < colours.count ? 6 : 4));
  }
  pov_text_out_write(out, "\n}\n", 3);
}

// Whether every triangle has one normal at all three corners. POV-Ray
// shades such a triangle flat by the normal it works out itself, so a mesh
// of only such triangles (a file of flat facets, such as STL) needs none.
bool all_flat(const std::vector<int32_t> &normal) {
  for (size_t i = 0; i < normal.size(); i += 3)
    if (normal[i] != normal[i + 1] || normal[i] != normal[i + 2])
      return false;
  return true;
}

// One mesh2 statement's body, its lists as given.
void write_body(PovTextOut *out, PovMesh2 m) {
  if (m.normals && m.normal != m.face && all_flat(*m.normal))
    m.normals = nullptr;
  write_vectors(out, "vertex_vectors { ", vectors_of(*m.positions), 3);
  if (m.normals)
    write_vectors(out, "normal_vectors { ", vectors_of(*m.normals), 3);
  if (m.uvs)
    write_vectors(out, "uv_vectors { ", vectors_of(*m.uvs), 2);
  if (m.colours)
    write_texture_list(out, vectors_of(*m.colours));
  write_indices(out, "face_indices { ", *m.face, m.colours ? m.texture : nullptr);
  if (m.normals && m.normal != m.face)
    write_indices(out, "normal_indices { ", *m.normal, nullptr);
  if (m.uvs && m.uv != m.face)
    write_indices(out, "uv_indices { ", *m.uv, nullptr);
}

// One column of a piece numbered anew: the piece's numbers in `to`, the
// vectors they name in `list`, in the order first used. `local` holds,
// per number of the whole mesh, the piece it was last met in and its
// number there.
struct Renumber {
  std::vector<std::pair<size_t, int32_t>> local;
  PovVectorIndex list;
  std::vector<int32_t> to;
  std::vector<int32_t> whole_numbers; // of the list's vectors

  void run(const std::vector<int32_t> &from, size_t begin, size_t end, const PovVectorIndex &whole,
           size_t piece) {
    local.resize(size_t(whole.count), {SIZE_MAX, -1});
    list.values.clear();
    list.count = 0;
    to.clear();
    whole_numbers.clear();
    for (size_t k = begin; k < end; ++k) {
      auto &slot = local[size_t(from[k])];
      if (slot.first != piece) {
        slot = {piece, list.append(&whole.values[size_t(from[k]) * 3])};
        whole_numbers.push_back(from[k]);
      }
      to.push_back(slot.second);
    }
  }
};

// Whether POV-Ray keeps some triangle of [begin, end).
bool keeps_a_triangle(const PovMesh2 &m, size_t begin, size_t end) {
  for (size_t t = begin; t < end; ++t) {
    double p[3][3];
    for (int j = 0; j < 3; ++j)
      for (int i = 0; i < 3; ++i)
        p[j][i] =
            pov_printed_value(m.positions->values[size_t((*m.face)[3 * t + size_t(j)]) * 3 + size_t(i)]);
    if (pov_triangle_kept(p[0], p[1], p[2]))
      return true;
  }
  return false;
}

struct Pieces {
  Renumber position, normal, uv, texture;
  // A normal (uv) column that is the face list: its vectors are listed in
  // the piece's position order.
  PovVectorIndex normals_by_position, uvs_by_position;

  void by_position(const PovVectorIndex &whole, PovVectorIndex &list) {
    list.values.clear();
    list.count = 0;
    for (int32_t n : position.whole_numbers)
      list.append(&whole.values[size_t(n) * 3]);
  }

  void write(PovTextOut *out, const PovMesh2 &m, size_t first, size_t end, size_t piece) {
    const size_t begin = 3 * first, stop = 3 * end;
    PovMesh2 p;
    position.run(*m.face, begin, stop, *m.positions, piece);
    p.positions = &position.list;
    p.face = &position.to;
    if (m.normals)
      p.normals = column(m.normal, m, begin, stop, piece, *m.normals, normal, normals_by_position, p.normal);
    if (m.uvs)
      p.uvs = column(m.uv, m, begin, stop, piece, *m.uvs, uv, uvs_by_position, p.uv);
    if (m.colours) {
      texture.run(*m.texture, begin, stop, *m.colours, piece);
      p.colours = &texture.list;
      p.texture = &texture.to;
    }
    pov_text_out_write(out, "mesh2 {\n", 8);
    write_body(out, p);
    pov_text_out_write(out, "}\n", 2);
  }

  const PovVectorIndex *column(const std::vector<int32_t> *numbers, const PovMesh2 &m, size_t begin,
                               size_t stop, size_t piece, const PovVectorIndex &whole, Renumber &renumber,
                               PovVectorIndex &by_position_list, const std::vector<int32_t> *&to) {
    if (numbers == m.face) {
      by_position(whole, by_position_list);
      to = &position.to;
      return &by_position_list;
    }
    renumber.run(*numbers, begin, stop, whole, piece);
    to = &renumber.to;
    return &renumber.list;
  }
};

} // namespace

void pov_write_mesh2_text(PovTextOut *out, const PovMesh2 &mesh) {
  const size_t triangles = mesh.face->size() / 3;
  // The texture_list entries' surface, as the declarations before the
  // include line say (OKU_KIND): the declared OKU_BASE in the entry's colour
  // (0, the common case, first: POV-Ray reads past the branches it skips at
  // every call), the same under the declared OKU_GLOW layer (1), or the one
  // OKU_SURFACE (2).
  if (mesh.colours)
    pov_text_out_printf(out,
                        "#macro OKU_OTHER(OKU_C)\n#if (OKU_KIND = 1)\n"
                        "#local OKU_L = texture {OKU_BASE pigment {color rgb OKU_C transmit OKU_TRANSMIT}} "
                        "texture {OKU_GLOW};\nOKU_L\n#else\nOKU_SURFACE\n#end\n#end\n"
                        "#macro OKU_ENTRY(OKU_C)\n#if (OKU_KIND = 0) OKU_BASE pigment {color rgb OKU_C "
                        "transmit OKU_TRANSMIT} #else OKU_OTHER(OKU_C) #end\n#end\n");
  if (triangles <= kPieceTriangles) {
    pov_text_out_printf(out, "#declare OKU_MESH_0 = mesh2 {\n");
    write_body(out, mesh);
    pov_text_out_write(out, "}\n", 2);
    return;
  }
  pov_text_out_printf(out, "#declare OKU_MESH_0 = union {\n");
  Pieces pieces;
  for (size_t first = 0, piece = 0; first < triangles; first += kPieceTriangles, ++piece) {
    const size_t end = std::min(triangles, first + kPieceTriangles);
    // POV-Ray stops the render on a mesh2 without a triangle it keeps.
    if (keeps_a_triangle(mesh, first, end))
      pieces.write(out, mesh, first, end, piece);
  }
  pov_text_out_write(out, "}\n", 2);
}
