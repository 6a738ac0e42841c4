// 3.7 include files: one mesh2 per part, its sections present only when the
// mesh needs them, and never a mesh POV-Ray would stop on.
#include "geometry/pov_mesh_internal.h"
#include "tests/support/host_meshes.h"

namespace {

const ZAL_COLOR kRed{1, 0, 0}, kGreen{0, 1, 0};

struct Mesh2Case {
  const char *name;
  std::vector<TestPolygon> polygons;
  float uv;                // > 0: every corner gets texture coordinates (uv, uv)
  ZAL_COLOR corner_colour; // red -1: none
  std::vector<const char *> present, absent;
  int has_uv, own_colours;
};

const ZAL_COLOR kNone{-1, 0, 0};

TEST_F(GeometryTest, Mesh2IncludeHoldsWhatTheMeshNeeds) {
  const TestPolygon quad = flat_polygon(kRed, {{0, 0, 0, true, 0, 0, 1},
                                               {1, 0, 0, true, 0, 0, 1},
                                               {1, 1, 0, true, 0, 0, 1},
                                               {0, 1, 0, true, 0, 0, 1}});
  const Mesh2Case cases[] = {
      {"one colour, shared vertices; one normal a face is POV-Ray's own, left out",
       {quad},
       0,
       kNone,
       {"mesh2 {\nvertex_vectors { 4,\n<0, 0, 0>,\n<1, 0, 0>,\n<1, 1, 0>,\n<0, 1, 0>\n}\n",
        "face_indices { 2,\n<0,1,2>, <0,2,3> \n}\n", "#declare OKU_OBJECT = object {OKU_MESH_0}\n"},
       {"texture_list", "uv_vectors", "normal_vectors", "normal_indices", "OKU_MESH_1"},
       0,
       0},
      {"two polygon colours stay one mesh, in linear light",
       {flat_polygon(kRed, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}),
        flat_polygon(ZAL_COLOR{0.5f, 0.5f, 0.5f}, {{0, 0, 0}, {1, 1, 0}, {0, 1, 0}})},
       0,
       kNone,
       {"texture_list { 2,\ntexture { OKU_ENTRY(<1, 0, 0>) },\ntexture { OKU_ENTRY(<0.214041, 0.214041, "
        "0.214041>) }\n}\n",
        "face_indices { 2,\n<0,1,2>,0,0,0, <0,2,3>,1,1,1 \n}\n"},
       {"normal_vectors", "OKU_MESH_1"},
       0,
       1},
      {"texture coordinates and corner colours",
       {flat_polygon(kGreen, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}})},
       0.25f,
       kRed,
       {"uv_vectors { 1,\n<0.25, 0.25>\n}\n", "uv_indices { 1,\n<0,0,0> \n}\n", "texture_list { 1,"},
       {},
       1,
       1},
      {"a corner without a normal takes its triangle's",
       {flat_polygon(kRed, {{0, 0, 0, true, 0, 0, 1}, {1, 0, 0}, {0, 1, 0, true, 0, 0, 1}})},
       0,
       kNone,
       {"normal_vectors { 2,\n<0, 0, 1>,\n<0, 0, -1>\n}\n", "normal_indices { 1,\n<0,1,0> \n}\n"},
       {},
       0,
       0},
      {"a zero normal is none; a triangle without area takes <0, 0, 1>",
       {flat_polygon(kRed, {{0, 0, 0, true, 0, 0, 1}, {1, 0, 0, true, 0, 0, 0}, {0, 1, 0, true, 0, 0, 1}}),
        flat_polygon(kRed, {{0, 0, 0, true, 0, 0, 1}, {1, 0, 0}, {2, 0, 0, true, 0, 0, 1}})},
       0,
       kNone,
       {"normal_vectors { 2,\n<0, 0, 1>,\n<0, 0, -1>\n}\n", "normal_indices { 2,\n<0,1,0>, <0,0,0> \n}\n"},
       {},
       0,
       0},
      {"no triangle POV-Ray keeps: an empty union",
       {flat_polygon(kRed, {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}})},
       0,
       kNone,
       {"#declare OKU_MESH_0 = union {\n}\n#declare OKU_OBJECT = object {OKU_MESH_0}\n"},
       {"mesh2"},
       0,
       0},
  };
  session.pov_language = kPovLanguage37;
  for (const Mesh2Case &c : cases) {
    MeshHolder mesh(make_mesh(c.polygons));
    for (long corner = 0; corner < VYobject_corner_count(mesh.mesh); ++corner) {
      if (c.uv > 0)
        VYobject_set_corner_uv(mesh.mesh, corner, c.uv, c.uv);
      if (c.corner_colour.r != -1)
        VYobject_set_corner_colour(mesh.mesh, corner, c.corner_colour);
    }
    PartRecord *record = new_record("oku_Part_1");
    ASSERT_EQ(pov_write_part_file(session, mesh.mesh, path("part.inc").c_str(), record), 1) << c.name;
    const std::string text = read_file(path("part.inc"));
    for (const char *piece : c.present)
      EXPECT_NE(text.find(piece), std::string::npos) << c.name << ": no " << piece << " in\n" << text;
    for (const char *piece : c.absent)
      EXPECT_EQ(text.find(piece), std::string::npos) << c.name << ": " << piece << " in\n" << text;
    EXPECT_EQ(record->has_uv, c.has_uv) << c.name;
    EXPECT_EQ(record->own_colours, c.own_colours) << c.name;
    pov_release_part(record);
  }
}

// The host's vectors are listed as the polygons first use them (two of
// equal value once); one no polygon uses is left out, and an index outside the host's arrays reads as
// the per-corner calls answer it: the origin, or no normal.
TEST_F(GeometryTest, Mesh2ListsTheHostVectorsThePolygonsUse) {
  MeshHolder mesh(VYobject_create());
  VYobject_add_position(mesh.mesh, 5, 5, 5);
  VYobject_add_position(mesh.mesh, 1, 0, 0);
  VYobject_add_position(mesh.mesh, 1, 1, 0);
  VYobject_add_position(mesh.mesh, 0, 1, 0);
  VYobject_add_normal(mesh.mesh, 0, 0, 1);
  VYobject_begin_polygon(mesh.mesh, kRed);
  const int corners[4][2] = {{99, 0}, {1, 42}, {2, 0}, {3, 0}}; // position, normal
  for (const int *corner : corners)
    VYobject_add_corner(mesh.mesh, corner[0], corner[1]);
  session.pov_language = kPovLanguage37;
  PartRecord *record = new_record("oku_Part_1");
  ASSERT_EQ(pov_write_part_file(session, mesh.mesh, path("part.inc").c_str(), record), 1);
  EXPECT_NE(read_file(path("part.inc"))
                .find("vertex_vectors { 4,\n<0, 0, 0>,\n<1, 0, 0>,\n<1, 1, 0>,\n<0, 1, 0>\n}\n"
                      "normal_vectors { 2,\n<0, 0, 1>,\n<0, 0, -1>\n}\n"
                      "face_indices { 2,\n<0,1,2>, <0,2,3> \n}\n"
                      "normal_indices { 2,\n<0,1,0>, <0,0,0> \n}\n"),
            std::string::npos)
      << read_file(path("part.inc"));
  pov_release_part(record);
}

} // namespace

namespace {

// A strip of unit quads along x facing +z, their normals leaning a little
// towards +y in every other column; `flat_tail` more quads at the end have
// no area.
VYobject *quad_strip(int quads, int flat_tail) {
  VYobject *mesh = VYobject_create();
  for (int i = 0; i <= quads; ++i) {
    VYobject_add_position(mesh, float(i), 0, 0);
    VYobject_add_position(mesh, float(i), 1, 0);
    VYobject_add_normal(mesh, 0, float(i % 2) / 10, 1);
  }
  for (int i = 0; i < quads + flat_tail; ++i) {
    VYobject_begin_polygon(mesh, kRed);
    const int first = i < quads ? 2 * i : VYobject_add_position(mesh, 0, 0, 0);
    const int corners[4] = {first, first + 2, first + 3, first + 1};
    for (int k = 0; k < 4 && i < quads; ++k)
      VYobject_add_corner(mesh, corners[k], corners[k] / 2);
    for (int k = 0; k < 4 && i >= quads; ++k) // all at the origin
      VYobject_add_corner(mesh, first, 0);
  }
  return mesh;
}

// A mesh of more than 32768 triangles is a union of mesh2 pieces, each
// listing only what it uses; a piece POV-Ray would keep no triangle of is
// left out.
TEST_F(GeometryTest, BigMeshesAreWrittenInPieces) {
  const struct {
    int quads, flat_tail;
    std::vector<const char *> present;
    size_t pieces;
  } cases[] = {
      {16385,
       0,
       {"#declare OKU_MESH_0 = union {\nmesh2 {\nvertex_vectors { 32770,\n",
        "}\n}\nmesh2 {\nvertex_vectors { 4,\n<16384, 0, 0>,\n<16385, 0, 0>,\n<16385, 1, 0>,\n<16384, 1, "
        "0>\n}\n"
        "normal_vectors { 2,\n<0, 0, 1>,\n<0, 0.1, 1>\n}\nface_indices { 2,\n<0,1,2>, <0,2,3> \n}\n"
        "normal_indices { 2,\n<0,1,1>, <0,1,0> \n}\n}\n}\n"},
       2},
      {16384, 1, {"#declare OKU_MESH_0 = union {\nmesh2 {\nvertex_vectors { 32770,\n"}, 1},
      {16384, 0, {"#declare OKU_MESH_0 = mesh2 {\nvertex_vectors { 32770,\n"}, 0},
  };
  session.pov_language = kPovLanguage37;
  for (const auto &c : cases) {
    MeshHolder mesh(quad_strip(c.quads, c.flat_tail));
    PartRecord *record = new_record("oku_Part_1");
    ASSERT_EQ(pov_write_part_file(session, mesh.mesh, path("part.inc").c_str(), record), 1);
    const std::string text = read_file(path("part.inc"));
    for (const char *piece : c.present)
      EXPECT_NE(text.find(piece), std::string::npos) << c.quads << ": " << piece;
    size_t pieces = 0;
    for (size_t at = text.find("\nmesh2 {\n"); at != std::string::npos; at = text.find("\nmesh2 {\n", at + 1))
      ++pieces;
    EXPECT_EQ(pieces, c.pieces) << c.quads;
    pov_release_part(record);
  }
}

} // namespace
