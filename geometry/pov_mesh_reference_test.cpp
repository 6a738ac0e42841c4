// The include file of a large random mesh against the plain reading of its
// format: one pass over all polygons per colour, every number with printf.
#include "geometry/pov_mesh_internal.h"
#include "tests/support/host_meshes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace {

// A face normal that overflows single precision between finite corners is
// worked out in double and scaled so that its largest component is 1e30.
void rescue_overflow(const float p[3][3], float face[3]) {
  bool finite_corners = true, finite_face = true;
  for (int i = 0; i < 3; ++i) {
    finite_face = finite_face && std::isfinite(face[i]);
    for (int j = 0; j < 3; ++j)
      finite_corners = finite_corners && std::isfinite(p[j][i]);
  }
  if (finite_face || !finite_corners)
    return;
  double a[3], b[3];
  for (int i = 0; i < 3; ++i) {
    a[i] = double(p[2][i]) - p[1][i];
    b[i] = double(p[0][i]) - p[1][i];
  }
  const double d[3] = {b[1] * a[2] - b[2] * a[1], b[2] * a[0] - b[0] * a[2], b[0] * a[1] - b[1] * a[0]};
  const double largest = std::max(std::fabs(d[0]), std::max(std::fabs(d[1]), std::fabs(d[2])));
  for (int i = 0; i < 3; ++i) // corners in one place have no direction: 0
    face[i] = largest > 0 ? static_cast<float>(d[i] * (1e30 / largest)) : 0.0f;
}

// The corners of the polygon's triangles: its fan, or its split when the
// fan would not cover it (the split itself is checked on its own).
std::vector<int> triangle_corners(const VYpolygon &polygon) {
  const int n = VYpolygon_nvertices(polygon);
  std::vector<float> positions(size_t(std::max(n, 0)) * 3);
  for (int k = 0; k < n; ++k)
    VYvertex_getposition(VYpolygon_getvertex(polygon, k), &positions[size_t(k) * 3], 0);
  std::vector<int> corners;
  PovSplitScratch scratch;
  if (n > 3 && pov_split_polygon(positions.data(), 3 * sizeof(float), n, &scratch, &corners) > 0)
    return corners;
  corners.clear();
  for (int k = 2; k < n; ++k)
    corners.insert(corners.end(), {0, k - 1, k});
  return corners;
}

void reference_polygon(FILE *file, const VYpolygon &polygon) {
  const std::vector<int> corners = triangle_corners(polygon);
  for (size_t t = 0; t < corners.size(); t += 3) {
    float p[3][3], normal[3][3];
    int has[3];
    const int *corner = &corners[t];
    for (int j = 0; j < 3; ++j) {
      VYvertex *v = VYpolygon_getvertex(polygon, corner[j]);
      VYvertex_getposition(v, p[j], 0);
      has[j] = VYvertex_getnormal(v, normal[j], 0);
    }
    float a[3], b[3];
    for (int i = 0; i < 3; ++i) {
      a[i] = p[2][i] - p[1][i];
      b[i] = p[0][i] - p[1][i];
    }
    float face[3] = {b[1] * a[2] - b[2] * a[1], b[2] * a[0] - b[0] * a[2], b[0] * a[1] - b[1] * a[0]};
    rescue_overflow(p, face);
    fprintf(file, "\tsmooth_triangle { ");
    for (int j = 0; j < 3; ++j) {
      const float *nv = has[j] ? normal[j] : face;
      fprintf(file, "< %.6g, %.6g, %.6g >, ", p[j][0], p[j][1], p[j][2]);
      fprintf(file, "< %.6g, %.6g, %.6g >%s", nv[0], nv[1], nv[2], j < 2 ? ", " : "");
    }
    fprintf(file, "\t}\n");
  }
}

std::string reference_text(VYobject *mesh, const char *name) {
  return capture_text([&](FILE *file) {
    LIST colours;
    std::vector<ZAL_COLOR> storage(100000);
    VYpolygon cursor;
    VYpolygon_initpoly(cursor, mesh);
    while (VYpolygon_nextpoly(cursor, cursor)) {
      ZAL_COLOR &c = storage[colours.count()];
      VYpolygon_getcolor(cursor, c.r, c.g, c.b);
      if (!colours.findcontents(&c, pov_compare_colour))
        colours.append(&c);
    }
    fprintf(file, "/* Object %s */\n", name);
    for (int i = 0; i < colours.count(); ++i) {
      const ZAL_COLOR *want = static_cast<ZAL_COLOR *>(colours.get(i + 1));
      std::string body = capture_text([&](FILE *mesh_file) {
        VYpolygon_initpoly(cursor, mesh);
        while (VYpolygon_nextpoly(cursor, cursor)) {
          ZAL_COLOR c;
          VYpolygon_getcolor(cursor, c.r, c.g, c.b);
          if (c.r == want->r && c.g == want->g && c.b == want->b)
            reference_polygon(mesh_file, cursor);
        }
      });
      if (body.empty()) // no triangle: the empty union that POV-Ray accepts
        fprintf(file, "#declare OKU_MESH_%d = union {\n}\n", i);
      else
        fprintf(file, "#declare OKU_MESH_%d = mesh {\n%s}\n", i, body.c_str());
    }
    if (colours.count() == 1) {
      fprintf(file, "#declare OKU_OBJECT = object {OKU_MESH_0}\n");
    } else {
      fprintf(file, "#declare OKU_OBJECT = union {\n");
      for (int j = 0; j < colours.count(); ++j)
        fprintf(file, "  object {OKU_MESH_%d}\n", j);
      fprintf(file, "}\n");
    }
  });
}

float random_number(std::mt19937 &random) {
  // Numbers of every size, both signs and zeros of both signs.
  switch (random() % 6) {
  case 0:
    return random() % 2 ? 0.0f : -0.0f;
  case 1:
    return float(int(random() % 201) - 100);
  case 2:
    return std::ldexp(float(random()) / 4294967296.0f - 0.5f, int(random() % 80) - 40);
  default:
    return float(random()) / 4294967296.0f * 20 - 10;
  }
}

class MeshReferenceTest : public GeometryTest {};

TEST_F(MeshReferenceTest, LargeRandomMeshMatchesOnePassPerColour) {
  std::mt19937 random(2024);
  std::vector<ZAL_COLOR> palette;
  for (int i = 0; i < 60; ++i)
    palette.push_back(
        {float(random() % 4) / 3, float(random() % 4) / 3, i == 7 ? -0.0f : float(random() % 3) / 2});
  palette.push_back({0, 0, 0});
  std::vector<TestPolygon> polygons;
  for (int i = 0; i < 20000; ++i) {
    // Runs of one colour, as materials give them, broken up now and then.
    const ZAL_COLOR &colour = palette[(i / (1 + random() % 5) + random() % 2) % palette.size()];
    TestPolygon polygon{colour, {}};
    int corners = int(random() % 8); // 0 to 7: lines and points too
    for (int k = 0; k < corners; ++k) {
      TestCorner c{random_number(random), random_number(random), random_number(random)};
      if (random() % 3 == 0) {
        c.has_normal = true;
        c.nx = random_number(random), c.ny = random_number(random), c.nz = random_number(random);
      }
      polygon.corners.push_back(c);
    }
    polygons.push_back(polygon);
  }
  MeshHolder mesh(make_mesh(polygons));
  PartRecord *record = new_record("oku_Random_9");
  ASSERT_EQ(pov_write_part_file(session, mesh.mesh, path("random.inc").c_str(), record), 1);
  std::string expected = reference_text(mesh.mesh, "oku_Random_9");
  std::string written = read_file(path("random.inc"));
  EXPECT_EQ(written.size(), expected.size());
  EXPECT_TRUE(written == expected) << "the include file differs from the one-pass-per-colour text";
  EXPECT_EQ(record->wrote_file, 1);
  pov_release_part(record);
}

// Numbers at the edges of the format in positions and normals: zeros of
// both signs, subnormals, the smallest normal, ties that round to even,
// the switches to exponent form, the largest floats, infinities and NaNs.
TEST_F(MeshReferenceTest, EdgeNumbersMatchPrintf) {
  const float edges[] = {0.0f,
                         -0.0f,
                         1e-45f,
                         -1.4e-45f,
                         5e-39f,
                         1.17549435e-38f,
                         123456.5f,
                         999999.5f,
                         1234565.f,
                         12345650.f,
                         99999.95f,
                         1e-5f,
                         9.99999e-5f,
                         9.999995e-5f,
                         1e-4f,
                         0.0001234565f,
                         1e10f,
                         -3.4028235e38f,
                         3.4028235e38f,
                         0.1f,
                         1.0f / 3,
                         -2.5f,
                         1e6f,
                         999999.4f,
                         std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::quiet_NaN()};
  const int count = int(sizeof edges / sizeof edges[0]);
  std::mt19937 random(11);
  std::vector<TestPolygon> polygons;
  const ZAL_COLOR colours[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, -0.0f}};
  for (const ZAL_COLOR &colour : colours) // a triangle that every colour keeps
    polygons.push_back(flat_polygon(colour, {{0, 1, 0}, {0, 0, 0}, {1, 0, 0}}));
  polygons.push_back(flat_polygon(colours[0], {{123456.5f, 999999.5f, 1234565.f}, {0, 0, 0}, {1, 0, 0}}));
  for (int i = 0; i < 3000; ++i) {
    TestPolygon polygon{colours[random() % 3], {}};
    for (int k = 0; k < 3 + int(random() % 3); ++k) {
      TestCorner c{edges[random() % count], edges[random() % count], edges[random() % count]};
      if (random() % 2) {
        c.has_normal = true;
        c.nx = edges[random() % count], c.ny = edges[random() % count], c.nz = edges[random() % count];
      }
      polygon.corners.push_back(c);
    }
    polygons.push_back(polygon);
  }
  MeshHolder mesh(make_mesh(polygons));
  PartRecord *record = new_record("oku_Edges_1");
  ASSERT_EQ(pov_write_part_file(session, mesh.mesh, path("edges.inc").c_str(), record), 1);
  std::string expected = reference_text(mesh.mesh, "oku_Edges_1");
  std::string written = read_file(path("edges.inc"));
  EXPECT_EQ(written.size(), expected.size());
  EXPECT_TRUE(written == expected) << "the include file differs from the printf text";
  EXPECT_NE(written.find("< 123456, 1e+06, 1.23456e+06 >"), std::string::npos);
  pov_release_part(record);
}

// A mesh whose corners share positions and normals, as closed meshes do, so
// that their text comes from the writer's cache; some corners have no
// normal. The second mesh reuses vertices at random over far more distinct
// positions than the cache holds, so that entries are replaced all the time.
TEST_F(MeshReferenceTest, SharedCornersMatchPrintfWhetherCachedOrNot) {
  for (int layout = 0; layout < 2; ++layout) {
    std::mt19937 random(5 + layout);
    VYobject *mesh = VYobject_create();
    const int side = 120, distinct = layout == 0 ? (side + 1) * (side + 1) : 200000;
    for (int i = 0; i < distinct; ++i) {
      VYobject_add_position(mesh, random_number(random), random_number(random), random_number(random));
      VYobject_add_normal(mesh, random_number(random), random_number(random), random_number(random));
    }
    const ZAL_COLOR colours[] = {{1, 1, 1}, {0.5f, 0.25f, 0}};
    for (int p = 0; p < side * side; ++p) {
      VYobject_begin_polygon(mesh, colours[layout == 0 ? p * 2 / (side * side) : p % 2]);
      const int y = p / side, x = p % side;
      int corners[4] = {y * (side + 1) + x, y * (side + 1) + x + 1, (y + 1) * (side + 1) + x + 1,
                        (y + 1) * (side + 1) + x};
      for (int &corner : corners) {
        if (layout == 1)
          corner = int(random() % distinct);
        VYobject_add_corner(mesh, corner, corner % 7 == 0 ? -1 : corner);
      }
    }
    MeshHolder holder(mesh);
    PartRecord *record = new_record("oku_Shared_2");
    ASSERT_EQ(pov_write_part_file(session, mesh, path("shared.inc").c_str(), record), 1);
    std::string expected = reference_text(mesh, "oku_Shared_2");
    std::string written = read_file(path("shared.inc"));
    EXPECT_EQ(written.size(), expected.size()) << "layout " << layout;
    EXPECT_TRUE(written == expected) << "layout " << layout;
    pov_release_part(record);
  }
}

// One polygon of thousands of corners: its fan is far longer than the block
// that pov_write_polygon puts lines together in.
TEST_F(MeshReferenceTest, LongPolygonWrittenAloneMatchesPrintf) {
  std::mt19937 random(3);
  TestPolygon polygon{{1, 1, 1}, {}};
  for (int k = 0; k < 3000; ++k) {
    TestCorner c{random_number(random), random_number(random), random_number(random)};
    c.has_normal = k % 3 != 0;
    c.nx = random_number(random), c.ny = random_number(random), c.nz = random_number(random);
    polygon.corners.push_back(c);
  }
  MeshHolder mesh(make_mesh({polygon}));
  VYpolygon cursor;
  VYpolygon_initpoly(cursor, mesh.mesh);
  ASSERT_TRUE(VYpolygon_nextpoly(cursor, cursor));
  std::string written = capture_text([&](FILE *file) { pov_write_polygon(file, cursor); });
  std::string expected = capture_text([&](FILE *file) { reference_polygon(file, cursor); });
  EXPECT_EQ(written.size(), expected.size());
  EXPECT_TRUE(written == expected);
}

} // namespace
