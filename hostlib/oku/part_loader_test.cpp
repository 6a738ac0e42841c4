// Part loaders: real files read through Assimp into host meshes.
#include "oku/scene_db.h"
#include "vy/mesh.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kModels = "/usr/share/assimp/models/";

struct Corner {
  float p[3];
  bool has_normal;
  float n[3];
  bool has_uv, has_colour;
  float uv[2], rgb[3];
};

struct Polygon {
  float r, g, b;
  std::vector<Corner> corners;
};

struct MeshDeleter {
  void operator()(VYobject *m) const { VYobject_destroy(m); }
};
using Mesh = std::unique_ptr<VYobject, MeshDeleter>;

std::vector<Polygon> polygons_of(VYobject *mesh) {
  std::vector<Polygon> out;
  VYpolygon cursor;
  VYpolygon_initpoly(cursor, mesh);
  while (VYpolygon_nextpoly(cursor, cursor)) {
    Polygon poly;
    VYpolygon_getcolor(cursor, poly.r, poly.g, poly.b);
    for (int k = 0; k < VYpolygon_nvertices(cursor); ++k) {
      Corner c;
      VYvertex *v = VYpolygon_getvertex(cursor, k);
      VYvertex_getposition(v, c.p, 0);
      c.has_normal = VYvertex_getnormal(v, c.n, 0) != 0;
      c.has_uv = VYvertex_getuv(v, c.uv) != 0;
      c.has_colour = VYvertex_getcolor(v, c.rgb[0], c.rgb[1], c.rgb[2]) != 0;
      poly.corners.push_back(c);
    }
    out.push_back(poly);
  }
  return out;
}

Mesh load(const std::string &type, const std::string &path, std::string *error = nullptr) {
  LoaderFactory *factory = loader_get_factory(type.c_str());
  EXPECT_NE(factory, nullptr) << type;
  if (factory == nullptr)
    return nullptr;
  std::string message;
  Mesh mesh(factory->load(path.c_str(), "", message));
  if (error != nullptr)
    *error = message;
  else
    EXPECT_NE(mesh, nullptr) << path << ": " << message;
  return mesh;
}

class PartFiles : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) / ("oku_parts_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string write(const std::string &name, const std::string &text) {
    std::ofstream(dir_ / name) << text;
    return (dir_ / name).string();
  }
  fs::path dir_;
};

TEST(PartLoaders, FactoriesByTypeIgnoreCase) {
  LoaderFactory *obj = loader_get_factory("obj");
  ASSERT_NE(obj, nullptr);
  EXPECT_STREQ(obj->type(), "obj");
  EXPECT_EQ(loader_get_factory("OBJ"), obj);
  EXPECT_EQ(loader_get_factory(".Obj"), obj);
  for (const char *type : {"stl", "ply", "gltf", "glb", "3ds", "dae", "fbx", "off"})
    EXPECT_NE(loader_get_factory(type), nullptr) << type;
  EXPECT_EQ(loader_get_factory("nosuchformat"), nullptr);
  EXPECT_EQ(loader_get_factory(""), nullptr);
  EXPECT_EQ(loader_get_factory("o/bj"), nullptr);
  EXPECT_EQ(loader_get_factory(nullptr), nullptr);
}

TEST(PartLoaders, NamerUsesThePartLabel) {
  PartNamer *namer = loader_get_factory("stl")->part_namer();
  ASSERT_NE(namer, nullptr);
  char out[256] = "junk";
  namer->name_part("Bracket", "params", 256, out);
  EXPECT_STREQ(out, "Bracket");
  namer->name_part("", "", 256, out);
  EXPECT_STREQ(out, "");
  namer->name_part(nullptr, nullptr, 256, out);
  EXPECT_STREQ(out, "");
  // Cut to the capacity, never inside a UTF-8 character ("é" is 2 bytes).
  char small[5];
  namer->name_part("ab\xc3\xa9z", "", 5, small);
  EXPECT_STREQ(small, "ab\xc3\xa9");
  namer->name_part("abc\xc3\xa9", "", 5, small);
  EXPECT_STREQ(small, "abc");
  // Bytes that are no UTF-8 at all are not backed over to an empty name.
  char eight[8];
  namer->name_part("a\x80\x80\x80\x80\x80\x80\x80\x80", "", 8, eight);
  EXPECT_STREQ(eight, "a\x80\x80\x80");
}

TEST(PartLoaders, ObjBoxKeepsItsQuadsAndHasNoNormals) {
  Mesh mesh = load("obj", kModels + "OBJ/box.obj");
  ASSERT_NE(mesh, nullptr);
  const auto polys = polygons_of(mesh.get());
  ASSERT_EQ(polys.size(), 6u);
  for (const Polygon &p : polys) {
    ASSERT_EQ(p.corners.size(), 4u);
    for (const Corner &c : p.corners)
      EXPECT_FALSE(c.has_normal);
  }
  // f 4 3 2 1: the file's own corner order and positions.
  EXPECT_EQ(polys[0].corners[0].p[0], -0.5f);
  EXPECT_EQ(polys[0].corners[0].p[1], 0.5f);
  EXPECT_EQ(polys[0].corners[0].p[2], 0.5f);
  EXPECT_EQ(polys[0].corners[3].p[2], 0.5f);
  EXPECT_EQ(polys[0].corners[3].p[1], -0.5f);
  float extents[6];
  VYobject_getextents(mesh.get(), extents);
  EXPECT_EQ(extents[0], 1.0f);
  EXPECT_EQ(extents[3], 0.0f);
}

TEST_F(PartFiles, ObjMaterialColoursAndPartialNormals) {
  write("two.mtl", "newmtl red\nKd 1 0 0\nnewmtl blue\nKd 0 0 0.5\n");
  const std::string path = write("two.obj", "mtllib two.mtl\n"
                                            "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0.5 2 0\nvn 0 0 1\n"
                                            "usemtl red\nf 1//1 2//1 3//1 4//1\nf 4 3 5\n"
                                            "usemtl blue\nf 1 2 5\n"
                                            "usemtl missing\nf 2 3 5\n");
  Mesh mesh = load("obj", path);
  ASSERT_NE(mesh, nullptr);
  const auto polys = polygons_of(mesh.get());
  ASSERT_EQ(polys.size(), 4u);
  EXPECT_EQ(polys[0].corners.size(), 4u);
  EXPECT_EQ(polys[0].r, 1.0f);
  EXPECT_EQ(polys[0].b, 0.0f);
  for (const Corner &c : polys[0].corners) {
    ASSERT_TRUE(c.has_normal);
    EXPECT_EQ(c.n[2], 1.0f);
  }
  for (const Corner &c : polys[1].corners)
    EXPECT_FALSE(c.has_normal); // the file gives none for this face
  EXPECT_EQ(polys[1].r, 1.0f);
  EXPECT_EQ(polys[2].r, 0.0f);
  EXPECT_EQ(polys[2].b, 0.5f);
  // A material the file names but does not define reads as Assimp's grey.
  EXPECT_FLOAT_EQ(polys[3].r, 0.6f);
}

// Two meshes (one per material): the first with texture coordinates, both
// with vertex colours, which their material's colour tints.
TEST_F(PartFiles, CornersKeepTextureCoordinatesAndVertexColours) {
  write("c.mtl", "newmtl half\nKd 0.5 0.5 0.5\nnewmtl full\nKd 1 1 1\n");
  const std::string path = write("c.obj", "mtllib c.mtl\n"
                                          "v 0 0 0 1 0 0\nv 1 0 0 0 1 0\nv 1 1 0 0 0 1\nv 0 1 0 1 1 1\n"
                                          "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                                          "usemtl half\nf 1/1 2/2 3/3 4/4\n"
                                          "usemtl full\nf 1 3 4\n");
  Mesh mesh = load("obj", path);
  ASSERT_NE(mesh, nullptr);
  const auto polys = polygons_of(mesh.get());
  ASSERT_EQ(polys.size(), 2u);
  for (const Polygon &poly : polys)
    for (const Corner &c : poly.corners) {
      const float tint = &poly == &polys[0] ? 0.5f : 1.0f;
      // Red is in the colours of the corners at x = 0 alone.
      ASSERT_TRUE(c.has_colour);
      EXPECT_EQ(c.rgb[0], c.p[0] == 0 ? tint : 0) << c.p[0] << "," << c.p[1];
      EXPECT_EQ(c.has_uv, &poly == &polys[0]);
      if (c.has_uv) {
        EXPECT_EQ(c.uv[0], c.p[0]);
        EXPECT_EQ(c.uv[1], c.p[1]);
      }
    }
}

TEST_F(PartFiles, ObjWithoutMaterialsIsWhite) {
  const std::string path = write("plain.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  Mesh mesh = load("obj", path);
  ASSERT_NE(mesh, nullptr);
  const auto polys = polygons_of(mesh.get());
  ASSERT_EQ(polys.size(), 1u);
  EXPECT_EQ(polys[0].r, 1.0f);
  EXPECT_EQ(polys[0].g, 1.0f);
  EXPECT_EQ(polys[0].b, 1.0f);
}

TEST_F(PartFiles, PartTypeChoosesTheReaderWhateverTheExtension) {
  const std::string path = write("tri.mesh", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  Mesh mesh = load("OBJ", path);
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(VYobject_polygon_count(mesh.get()), 1);
}

TEST(PartLoaders, ConcavePolygonStaysOnePolygonWithItsMaterialColour) {
  Mesh mesh = load("obj", kModels + "OBJ/concave_polygon.obj");
  ASSERT_NE(mesh, nullptr);
  const auto polys = polygons_of(mesh.get());
  ASSERT_EQ(polys.size(), 1u);
  EXPECT_GT(polys[0].corners.size(), 60u);
  EXPECT_NEAR(polys[0].r, 0.141176, 1e-5);
  EXPECT_NEAR(polys[0].g, 0.184314, 1e-5);
  EXPECT_NEAR(polys[0].b, 0.411765, 1e-5);
}

TEST(PartLoaders, OtherFormats) {
  Mesh ply = load("ply", kModels + "PLY/cube.ply");
  ASSERT_NE(ply, nullptr);
  auto polys = polygons_of(ply.get());
  ASSERT_EQ(polys.size(), 6u);
  EXPECT_EQ(polys[0].corners.size(), 4u);
  EXPECT_FALSE(polys[0].corners[0].has_normal);
  EXPECT_EQ(polys[0].r, 1.0f);

  Mesh off = load("off", kModels + "OFF/Cube.off");
  ASSERT_NE(off, nullptr);
  polys = polygons_of(off.get());
  ASSERT_EQ(polys.size(), 6u);
  EXPECT_EQ(polys[0].r, 1.0f); // OFF has no materials: white, not Assimp's grey

  Mesh stl = load("stl", kModels + "STL/triangle.stl");
  ASSERT_NE(stl, nullptr);
  polys = polygons_of(stl.get());
  ASSERT_EQ(polys.size(), 1u);
  ASSERT_TRUE(polys[0].corners[0].has_normal);
  EXPECT_EQ(polys[0].corners[0].n[2], 1.0f);

  Mesh glb = load("gltf", kModels + "glTF2/BoxTextured-glTF/BoxTextured.gltf");
  ASSERT_NE(glb, nullptr);
  EXPECT_EQ(VYobject_polygon_count(glb.get()), 12);

  Mesh dae = load("dae", kModels + "Collada/COLLADA.dae");
  ASSERT_NE(dae, nullptr);
  EXPECT_GT(VYobject_polygon_count(dae.get()), 6000);

  Mesh fbx = load("fbx", kModels + "FBX/box.fbx");
  ASSERT_NE(fbx, nullptr);
  polys = polygons_of(fbx.get());
  EXPECT_NEAR(polys[0].r, 0.992157, 1e-5);
}

TEST_F(PartFiles, BadFilesAreRefusedWithAMessage) {
  std::string error;
  EXPECT_EQ(load("obj", (dir_ / "absent.obj").string(), &error), nullptr);
  EXPECT_EQ(error, "no such file");
  EXPECT_EQ(load("obj", dir_.string(), &error), nullptr);
  EXPECT_EQ(error, "not a regular file");
  EXPECT_EQ(load("glb", kModels + "glTF2/BoxWithInfinites-glTF-Binary/BoxWithInfinites.glb", &error),
            nullptr);
  EXPECT_EQ(error, "a vertex position is not a finite number");
  EXPECT_EQ(load("obj", write("points.obj", "v 0 0 0\nv 1 0 0\np 1 2\nl 1 2\n"), &error), nullptr);
  EXPECT_EQ(error, "the file holds no polygons");
  EXPECT_EQ(load("ply", write("junk.ply", "this is not a ply file\n"), &error), nullptr);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(loader_get_factory("obj")->load(nullptr, nullptr, error), nullptr);
}

} // namespace
