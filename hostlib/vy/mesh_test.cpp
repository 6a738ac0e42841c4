// Host meshes: building, the polygon cursor, corners, normals, pivot and
// extents, and safety on null meshes and indices out of range.
#include "vy/mesh.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct MeshDeleter {
  void operator()(VYobject *mesh) const { VYobject_destroy(mesh); }
};
using Mesh = std::unique_ptr<VYobject, MeshDeleter>;

std::vector<float> position_of(VYvertex *vertex) {
  float p[3] = {-9, -9, -9};
  VYvertex_getposition(vertex, p, 0);
  return {p[0], p[1], p[2]};
}

// A unit square (quad, red, with normals) and a triangle (blue, first
// corner without a normal), sharing two positions.
Mesh square_and_triangle() {
  Mesh mesh(VYobject_create());
  VYobject *m = mesh.get();
  EXPECT_EQ(VYobject_add_position(m, 0, 0, 0), 0);
  EXPECT_EQ(VYobject_add_position(m, 1, 0, 0), 1);
  EXPECT_EQ(VYobject_add_position(m, 1, 1, 0), 2);
  EXPECT_EQ(VYobject_add_position(m, 0, 1, 0), 3);
  EXPECT_EQ(VYobject_add_position(m, 0.5f, 2, -1), 4);
  EXPECT_EQ(VYobject_add_normal(m, 0, 0, 1), 0);
  EXPECT_EQ(VYobject_add_normal(m, 0, 0.6f, 0.8f), 1);
  VYobject_begin_polygon(m, ZAL_COLOR{1, 0, 0});
  for (int i = 0; i < 4; ++i)
    VYobject_add_corner(m, i, 0);
  VYobject_begin_polygon(m, ZAL_COLOR{0, 0, 1});
  VYobject_add_corner(m, 3, -1);
  VYobject_add_corner(m, 2, 1);
  VYobject_add_corner(m, 4, 1);
  return mesh;
}

TEST(Mesh, CursorWalksEveryPolygonOnceInOrder) {
  Mesh mesh = square_and_triangle();
  EXPECT_EQ(VYobject_polygon_count(mesh.get()), 2);
  VYpolygon cursor;
  VYpolygon_initpoly(cursor, mesh.get());
  EXPECT_EQ(cursor.index, -1);
  EXPECT_EQ(VYpolygon_nvertices(cursor), 0) << "before the first polygon";
  std::vector<int> corners;
  std::vector<float> reds;
  while (VYpolygon_nextpoly(cursor, cursor)) {
    corners.push_back(VYpolygon_nvertices(cursor));
    float r, g, b;
    VYpolygon_getcolor(cursor, r, g, b);
    reds.push_back(r);
  }
  EXPECT_EQ(corners, (std::vector<int>{4, 3}));
  EXPECT_EQ(reds, (std::vector<float>{1, 0}));
  // Past the end it stays past the end.
  EXPECT_EQ(VYpolygon_nextpoly(cursor, cursor), 0);
  EXPECT_EQ(VYpolygon_nvertices(cursor), 0);
  EXPECT_EQ(VYpolygon_getvertex(cursor, 0), nullptr);
}

TEST(Mesh, NextPolyCanFillASecondCursor) {
  Mesh mesh = square_and_triangle();
  VYpolygon from, to;
  VYpolygon_initpoly(from, mesh.get());
  ASSERT_EQ(VYpolygon_nextpoly(from, to), 1);
  EXPECT_EQ(from.index, -1) << "the source cursor is left alone";
  EXPECT_EQ(to.mesh, mesh.get());
  EXPECT_EQ(to.index, 0);
  ASSERT_EQ(VYpolygon_nextpoly(to, to), 1);
  EXPECT_EQ(to.index, 1);
}

TEST(Mesh, CornersGivePositionsAndOptionalNormals) {
  Mesh mesh = square_and_triangle();
  VYpolygon cursor;
  VYpolygon_initpoly(cursor, mesh.get());
  ASSERT_TRUE(VYpolygon_nextpoly(cursor, cursor));
  ASSERT_TRUE(VYpolygon_nextpoly(cursor, cursor)); // the triangle
  VYvertex *a = VYpolygon_getvertex(cursor, 0);
  VYvertex *b = VYpolygon_getvertex(cursor, 1);
  VYvertex *c = VYpolygon_getvertex(cursor, 2);
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(VYpolygon_getvertex(cursor, 3), nullptr);
  EXPECT_EQ(VYpolygon_getvertex(cursor, -1), nullptr);
  EXPECT_EQ(position_of(a), (std::vector<float>{0, 1, 0}));
  EXPECT_EQ(position_of(b), (std::vector<float>{1, 1, 0}));
  EXPECT_EQ(position_of(c), (std::vector<float>{0.5f, 2, -1}));
  float n[3] = {7, 7, 7};
  EXPECT_EQ(VYvertex_getnormal(a, n, 0), 0);
  EXPECT_EQ(n[0], 7) << "no normal: the output is left alone";
  EXPECT_NE(VYvertex_getnormal(c, n, 0), 0);
  EXPECT_EQ(n[1], 0.6f);
  EXPECT_EQ(n[2], 0.8f);
  // Corner handles stay valid while other polygons are visited.
  VYpolygon other;
  VYpolygon_initpoly(other, mesh.get());
  VYpolygon_nextpoly(other, other);
  EXPECT_EQ(position_of(VYpolygon_getvertex(other, 2)), (std::vector<float>{1, 1, 0}));
  EXPECT_EQ(position_of(c), (std::vector<float>{0.5f, 2, -1}));
}

TEST(Mesh, CornersMayCarryTextureCoordinatesAndColours) {
  Mesh mesh = square_and_triangle();
  VYobject *m = mesh.get();
  VYobject_set_corner_uv(m, 1, 0.25f, 0.75f);
  VYobject_set_corner_colour(m, 5, ZAL_COLOR{0, 1, 0});
  VYobject_set_corner_uv(m, 7, 1, 1);  // no such corner
  VYobject_set_corner_uv(m, -1, 1, 1); // nor this
  VYobject_set_corner_colour(nullptr, 0, ZAL_COLOR{0, 1, 0});
  VYpolygon quad;
  VYpolygon_initpoly(quad, m);
  ASSERT_TRUE(VYpolygon_nextpoly(quad, quad));
  VYpolygon triangle = quad;
  ASSERT_TRUE(VYpolygon_nextpoly(triangle, triangle));
  float uv[2] = {9, 9};
  EXPECT_EQ(VYvertex_getuv(VYpolygon_getvertex(quad, 0), uv), 0);
  ASSERT_NE(VYvertex_getuv(VYpolygon_getvertex(quad, 1), uv), 0);
  EXPECT_EQ(uv[0], 0.25f);
  EXPECT_EQ(uv[1], 0.75f);
  EXPECT_EQ(VYvertex_getuv(VYpolygon_getvertex(triangle, 2), uv), 0) << "beyond the corners set";
  float r = 9, g = 9, b = 9;
  EXPECT_EQ(VYvertex_getcolor(VYpolygon_getvertex(quad, 0), r, g, b), 0);
  ASSERT_NE(VYvertex_getcolor(VYpolygon_getvertex(triangle, 1), r, g, b), 0);
  EXPECT_EQ(g, 1);
  EXPECT_EQ(VYvertex_getuv(nullptr, uv), 0);
  EXPECT_EQ(VYvertex_getcolor(nullptr, r, g, b), 0);
}

// The bulk reading answers what the per-corner calls answer.
TEST(Mesh, CornersAtOnceMatchTheCallsPerCorner) {
  Mesh mesh = square_and_triangle();
  VYobject *m = mesh.get();
  VYobject_set_corner_uv(m, 1, 0.25f, 0.75f);
  VYobject_set_corner_colour(m, 5, ZAL_COLOR{0, 1, 0});
  long positions = 0, normals = 0;
  const float *p = VYobject_getpositions(m, positions, 0), *n = VYobject_getnormals(m, normals, 0);
  ASSERT_EQ(positions, 5);
  ASSERT_EQ(normals, 2);
  VYpolygon cursor;
  VYpolygon_initpoly(cursor, m);
  EXPECT_EQ(VYpolygon_getcorners(cursor, nullptr, 0), 0) << "before the first polygon";
  while (VYpolygon_nextpoly(cursor, cursor)) {
    VYcorner corners[4];
    ASSERT_EQ(VYpolygon_getcorners(cursor, corners, 4), VYpolygon_nvertices(cursor));
    for (int i = 0; i < VYpolygon_nvertices(cursor); ++i) {
      VYvertex *vertex = VYpolygon_getvertex(cursor, i);
      const VYcorner &c = corners[i];
      EXPECT_EQ(std::vector<float>(p + 3 * c.position, p + 3 * c.position + 3), position_of(vertex));
      float normal[3], uv[2] = {0, 0}, r, g, b;
      ASSERT_EQ(c.normal >= 0, VYvertex_getnormal(vertex, normal, 0) != 0);
      if (c.normal >= 0) {
        EXPECT_EQ(std::vector<float>(n + 3 * c.normal, n + 3 * c.normal + 3),
                  std::vector<float>(normal, normal + 3));
      }
      ASSERT_EQ(c.has_uv, VYvertex_getuv(vertex, uv));
      EXPECT_TRUE(c.uv[0] == uv[0] && c.uv[1] == uv[1]);
      ASSERT_EQ(c.has_colour, VYvertex_getcolor(vertex, r, g, b));
      EXPECT_TRUE(!c.has_colour || (c.colour[0] == r && c.colour[1] == g && c.colour[2] == b));
    }
  }
  VYpolygon_initpoly(cursor, m);
  VYpolygon_nextpoly(cursor, cursor);
  VYcorner two[3];
  two[2].position = -7;
  EXPECT_EQ(VYpolygon_getcorners(cursor, two, 2), 4) << "the count, past the room given";
  EXPECT_EQ(two[2].position, -7) << "nothing written past the room";
  EXPECT_EQ(VYobject_getpositions(nullptr, positions, 0), nullptr);
  EXPECT_EQ(positions, 0);
}

TEST(Mesh, BadIndicesAndNullsAreHarmless) {
  EXPECT_EQ(VYobject_polygon_count(nullptr), 0);
  VYpolygon cursor;
  VYpolygon_initpoly(cursor, nullptr);
  EXPECT_EQ(VYpolygon_nextpoly(cursor, cursor), 0);
  EXPECT_EQ(VYpolygon_nvertices(cursor), 0);
  EXPECT_EQ(VYpolygon_getvertex(cursor, 0), nullptr);
  float r = 5, g = 5, b = 5;
  VYpolygon_getcolor(cursor, r, g, b);
  EXPECT_EQ(r + g + b, 0);
  EXPECT_EQ(position_of(nullptr), (std::vector<float>{0, 0, 0}));
  float n[3];
  EXPECT_EQ(VYvertex_getnormal(nullptr, n, 0), 0);
  float pivot[3] = {1, 1, 1};
  VYobject_getpivot(nullptr, pivot, 0);
  EXPECT_EQ(pivot[0] + pivot[1] + pivot[2], 0);
  float ext[6] = {1, 1, 1, 1, 1, 1};
  VYobject_getextents(nullptr, ext);
  for (float e : ext)
    EXPECT_EQ(e, 0);
  // Builders ignore a null mesh and corners before any polygon.
  EXPECT_EQ(VYobject_add_position(nullptr, 1, 2, 3), -1);
  EXPECT_EQ(VYobject_add_normal(nullptr, 1, 2, 3), -1);
  VYobject_begin_polygon(nullptr, ZAL_COLOR{1, 1, 1});
  VYobject_add_corner(nullptr, 0, 0);
  VYobject_set_pivot(nullptr, 1, 2, 3);
  Mesh mesh(VYobject_create());
  VYobject_add_corner(mesh.get(), 0, 0);
  EXPECT_EQ(VYobject_polygon_count(mesh.get()), 0);

  // Corners naming positions or normals that do not exist.
  VYobject_begin_polygon(mesh.get(), ZAL_COLOR{1, 1, 1});
  VYobject_add_corner(mesh.get(), 12, 40);
  VYobject_add_corner(mesh.get(), -3, -7);
  VYpolygon_initpoly(cursor, mesh.get());
  ASSERT_TRUE(VYpolygon_nextpoly(cursor, cursor));
  ASSERT_EQ(VYpolygon_nvertices(cursor), 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(position_of(VYpolygon_getvertex(cursor, i)), (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(VYvertex_getnormal(VYpolygon_getvertex(cursor, i), n, 0), 0);
  }
  // A cursor with a stray index.
  VYpolygon stray{mesh.get(), 99};
  EXPECT_EQ(VYpolygon_nvertices(stray), 0);
  EXPECT_EQ(VYpolygon_nextpoly(stray, stray), 0);
}

TEST(Mesh, PolygonsWithoutCornersAndEmptyMeshes) {
  Mesh mesh(VYobject_create());
  VYobject_begin_polygon(mesh.get(), ZAL_COLOR{0.25f, 0.5f, 0.75f});
  VYobject_begin_polygon(mesh.get(), ZAL_COLOR{1, 1, 1});
  VYobject_add_position(mesh.get(), 0, 0, 0);
  VYobject_add_corner(mesh.get(), 0, -1);
  VYpolygon cursor;
  VYpolygon_initpoly(cursor, mesh.get());
  ASSERT_TRUE(VYpolygon_nextpoly(cursor, cursor));
  EXPECT_EQ(VYpolygon_nvertices(cursor), 0);
  float r, g, b;
  VYpolygon_getcolor(cursor, r, g, b);
  EXPECT_EQ(g, 0.5f);
  ASSERT_TRUE(VYpolygon_nextpoly(cursor, cursor));
  EXPECT_EQ(VYpolygon_nvertices(cursor), 1);

  Mesh empty(VYobject_create());
  VYpolygon_initpoly(cursor, empty.get());
  EXPECT_EQ(VYpolygon_nextpoly(cursor, cursor), 0);
}

TEST(Mesh, PivotAndExtentsOfPositions) {
  Mesh mesh = square_and_triangle();
  float pivot[3];
  VYobject_getpivot(mesh.get(), pivot, 0);
  EXPECT_EQ(pivot[0] + pivot[1] + pivot[2], 0);
  VYobject_set_pivot(mesh.get(), 0.5f, -1, 2);
  VYobject_getpivot(mesh.get(), pivot, 0);
  EXPECT_EQ(pivot[0], 0.5f);
  EXPECT_EQ(pivot[1], -1);
  EXPECT_EQ(pivot[2], 2);
  float ext[6];
  VYobject_getextents(mesh.get(), ext);
  // x 0..1, y 0..2, z -1..0
  const float expected[6] = {1, 2, 1, 0.5f, 1, -0.5f};
  for (int k = 0; k < 6; ++k)
    EXPECT_EQ(ext[k], expected[k]) << k;
  // Bounds given for a parametric shape do not override a real mesh.
  const float low[3] = {-5, -5, -5}, high[3] = {5, 5, 5};
  VYobject_set_bounds(mesh.get(), low, high);
  VYobject_getextents(mesh.get(), ext);
  EXPECT_EQ(ext[0], 1);
}

TEST(Mesh, ParametricShapesUseTheirGivenBounds) {
  Mesh shape(VYobject_create());
  float ext[6];
  VYobject_getextents(shape.get(), ext);
  for (float e : ext)
    EXPECT_EQ(e, 0) << "no positions, no bounds";
  const float low[3] = {-1, 0, -2}, high[3] = {1, 3, 2};
  VYobject_set_bounds(shape.get(), high, low); // corners in either order
  VYobject_getextents(shape.get(), ext);
  const float expected[6] = {2, 3, 4, 0, 1.5f, 0};
  for (int k = 0; k < 6; ++k)
    EXPECT_EQ(ext[k], expected[k]) << k;
}

TEST(Mesh, ManyPolygonsStayCompactAndWalkable) {
  Mesh mesh(VYobject_create());
  const int n = 200000;
  for (int i = 0; i < n; ++i) {
    const int a = VYobject_add_position(mesh.get(), static_cast<float>(i), 0, 0);
    VYobject_add_position(mesh.get(), static_cast<float>(i), 1, 0);
    VYobject_add_position(mesh.get(), static_cast<float>(i), 0, 1);
    VYobject_begin_polygon(mesh.get(), ZAL_COLOR{static_cast<float>(i % 7), 0, 0});
    for (int k = 0; k < 3; ++k)
      VYobject_add_corner(mesh.get(), a + k, -1);
  }
  EXPECT_EQ(VYobject_polygon_count(mesh.get()), n);
  VYpolygon cursor;
  VYpolygon_initpoly(cursor, mesh.get());
  long seen = 0;
  double sum = 0;
  while (VYpolygon_nextpoly(cursor, cursor)) {
    sum += position_of(VYpolygon_getvertex(cursor, 2))[0];
    ++seen;
  }
  EXPECT_EQ(seen, n);
  EXPECT_EQ(sum, static_cast<double>(n) * (n - 1) / 2);
  float ext[6];
  VYobject_getextents(mesh.get(), ext);
  EXPECT_EQ(ext[0], n - 1);
}

} // namespace
