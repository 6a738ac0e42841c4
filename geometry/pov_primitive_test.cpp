// Shape statements: a part's identifier, or a primitive from the host's
// shape parameters.
#include "tests/support/host_meshes.h"

namespace {

GeomParams params(int kind, float radius = 0, float height = 0, float width = 0) {
  GeomParams p{};
  p.kind = kind;
  p.reserved = 12345;
  p.radius = radius;
  p.height = height;
  p.width = width;
  return p;
}

std::string primitive_text(const GeomParams &p, int depth = 2) {
  return capture_text([&](FILE *f) { pov_write_primitive(f, depth, &p); });
}

TEST(PrimitiveTest, BoxIsCentredOnTheOrigin) {
  GeomParams box = params(0);
  box.size_x = 2, box.size_y = 4, box.size_z = 6;
  EXPECT_EQ(primitive_text(box), "    box {\n"
                                 "      <-1, -2, -3>,\n"
                                 "      <1, 2, 3>\n"
                                 "    }\n");
  box.size_x = 0, box.size_y = 0.3f, box.size_z = 1e7f; // a flat box renders
  EXPECT_EQ(primitive_text(box, 0), "box {\n  <-0, -0.15, -5e+06>,\n  <0, 0.15, 5e+06>\n}\n");
}

TEST(PrimitiveTest, ConeStandsOnItsBaseWithTheApexUp) {
  EXPECT_EQ(primitive_text(params(1, 1, 2)), "    cone {\n"
                                             "      <0, 2, 0>, 0\n"
                                             "      <0, 0, 0>, 1\n"
                                             "    }\n");
  EXPECT_EQ(primitive_text(params(1, 0, 1e-10f), 0), "cone {\n  <0, 1e-10, 0>, 0\n  <0, 0, 0>, 0\n}\n");
}

TEST(PrimitiveTest, CylinderStandsOnTheOrigin) {
  EXPECT_EQ(primitive_text(params(2, 0.5f, 3), 1), "  cylinder {\n"
                                                   "    <0, 3, 0>,\n"
                                                   "    <0, 0, 0>,\n"
                                                   "    0.5\n"
                                                   "  }\n");
  EXPECT_EQ(primitive_text(params(2, 1, -2), 0), "cylinder {\n  <0, -2, 0>,\n  <0, 0, 0>,\n  1\n}\n");
}

TEST(PrimitiveTest, SphereAndEveryUnknownKind) {
  const std::string sphere = "  sphere {\n    <0, 0, 0>, 1.5\n  }\n";
  for (int kind : {3, 7, -1, 5, 1 << 30})
    EXPECT_EQ(primitive_text(params(kind, 1.5f), 1), sphere) << kind;
  EXPECT_EQ(primitive_text(params(3, 0), 0), "sphere {\n  <0, 0, 0>, 0\n}\n");
}

TEST(PrimitiveTest, RectangleIsTwoTrianglesInTheXYPlane) {
  EXPECT_EQ(primitive_text(params(4, 9, 2, 4)), "    mesh {\n"
                                                "      triangle { <-2, -1, 0>, <-2, 1, 0>, <2, -1, 0> }\n"
                                                "      triangle { <2, 1, 0>, <2, -1, 0>, <-2, 1, 0> }\n"
                                                "    }\n");
}

TEST(PrimitiveTest, ShapesThatStopPovRayDrawNothingInstead) {
  // POV-Ray stops the render on a cone or cylinder of (nearly) zero height
  // and on a mesh without area; an empty union parses and draws nothing.
  const std::string nothing = "  union {\n  }\n";
  EXPECT_EQ(primitive_text(params(1, 1, 0), 1), nothing);
  EXPECT_EQ(primitive_text(params(1, 1, -0.f), 1), nothing);
  EXPECT_EQ(primitive_text(params(2, 1, 9e-11f), 1), nothing);
  EXPECT_EQ(primitive_text(params(2, 1, -1e-30f), 1), nothing);
  EXPECT_EQ(primitive_text(params(4, 0, 0, 4), 1), nothing);
  EXPECT_EQ(primitive_text(params(4, 0, 3, 0), 1), nothing);
  EXPECT_EQ(primitive_text(params(4, 0, 1e-30f, 1e-30f), 1).find("mesh {"), 2u) << "tiny but not flat";
}

class ShapeTest : public GeometryTest {};

TEST_F(ShapeTest, PartRecordNameWinsOverShapeParameters) {
  _object *node = add_node(nullptr, OBJECT_TYPE_GEOMETRY, "Bracket");
  scene_add_geometry(node);
  scene_set_params(node, params(3, 1));
  PartRecord *record = new_record("oku_Bracket_3");
  EXPECT_EQ(capture_text([&](FILE *f) { pov_write_shape(f, 2, node, record); }), "    oku_Bracket_3\n");
  EXPECT_EQ(capture_text([&](FILE *f) { pov_write_shape(f, 2, node, nullptr); }),
            "    sphere {\n      <0, 0, 0>, 1\n    }\n");
  pov_release_part(record);
}

TEST_F(ShapeTest, NoGeometryOrNoParametersWritesNothing) {
  _object *bare = add_node(nullptr, OBJECT_TYPE_GEOMETRY, "Bare");
  scene_set_params(bare, params(0)); // parameters alone are not a geometry
  EXPECT_EQ(capture_text([&](FILE *f) { pov_write_shape(f, 1, bare, nullptr); }), "");
  _object *mesh = add_node(nullptr, OBJECT_TYPE_GEOMETRY, "Mesh");
  scene_add_geometry(mesh);
  EXPECT_EQ(capture_text([&](FILE *f) { pov_write_shape(f, 1, mesh, nullptr); }), "");
}

} // namespace
