// The include file of a large random mesh against the plain reading of its
// format: one pass over all polygons per colour, every number with printf.
#include "geometry/geometry_test_util.h"

#include <cmath>
#include <random>

namespace {

void reference_polygon(FILE *file, const VYpolygon &polygon) {
  int n = VYpolygon_nvertices(polygon);
  for (int k = 2; k < n; ++k) {
    float p[3][3], normal[3][3];
    int has[3];
    const int corner[3] = {0, k - 1, k};
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
    const float face[3] = {b[1] * a[2] - b[2] * a[1], b[2] * a[0] - b[0] * a[2], b[0] * a[1] - b[1] * a[0]};
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
  ASSERT_EQ(pov_write_part_file(mesh.mesh, path("random.inc").c_str(), record), 1);
  std::string expected = reference_text(mesh.mesh, "oku_Random_9");
  std::string written = read_file(path("random.inc"));
  EXPECT_EQ(written.size(), expected.size());
  EXPECT_TRUE(written == expected) << "the include file differs from the one-pass-per-colour text";
  EXPECT_EQ(record->wrote_file, 1);
  pov_release_part(record);
}

} // namespace
