// Include files of mesh parts: golden texts, colour grouping and faults.
#include "tests/support/host_meshes.h"

#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/resource.h>

namespace {

const ZAL_COLOR kRed{1, 0, 0}, kGreen{0, 1, 0}, kBlue{0, 0, 1}, kWhite{1, 1, 1};

class MeshExportTest : public GeometryTest {
protected:
  // Writes the mesh as the part `name` and answers the include file's text.
  std::string export_text(const std::vector<TestPolygon> &polygons, const char *name = "oku_Tri_1",
                          int *result = nullptr) {
    MeshHolder mesh(make_mesh(polygons));
    PartRecord *record = new_record(name);
    int ok = pov_write_part_file(session, mesh.mesh, path("part.inc").c_str(), record);
    if (result)
      *result = ok;
    else
      EXPECT_EQ(ok, 1);
    colours = record->colours->count();
    pov_release_part(record);
    return read_file(path("part.inc"));
  }

  int colours = 0;
};

TEST_F(MeshExportTest, OneTriangleWithoutNormalsGetsTheFaceNormal) {
  std::string text = export_text({flat_polygon(kWhite, {{0, 1, 0}, {0, 0, 0}, {1, 0, 0}})});
  EXPECT_EQ(text, "/* Object oku_Tri_1 */\n"
                  "#declare OKU_MESH_0 = mesh {\n"
                  "\tsmooth_triangle { < 0, 1, 0 >, < 0, 0, -1 >, < 0, 0, 0 >, < 0, 0, -1 >, "
                  "< 1, 0, 0 >, < 0, 0, -1 >\t}\n"
                  "}\n"
                  "#declare OKU_OBJECT = object {OKU_MESH_0}\n");
  EXPECT_EQ(colours, 1);
}

TEST_F(MeshExportTest, HostNormalsAreKeptAndMixWithTheFaceNormal) {
  TestCorner a{0, 1, 0, true, 0.5f, 0.25f, 1e-7f};
  TestCorner b{0, 0, 0};
  TestCorner c{2, 0, 0, true, -0.f, 1.f / 3, 123456789.f};
  std::string text = export_text({flat_polygon(kWhite, {a, b, c})});
  EXPECT_NE(text.find("\tsmooth_triangle { < 0, 1, 0 >, < 0.5, 0.25, 1e-07 >, < 0, 0, 0 >, < 0, 0, -2 >, "
                      "< 2, 0, 0 >, < -0, 0.333333, 1.23457e+08 >\t}\n"),
            std::string::npos)
      << text;
}

TEST_F(MeshExportTest, CubeOfSixQuadsIsOneMeshOfTwelveTriangles) {
  const float v[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                         {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
  const int faces[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                           {2, 3, 7, 6}, {1, 2, 6, 5}, {0, 4, 7, 3}};
  std::vector<TestPolygon> cube;
  for (const auto &face : faces) {
    TestPolygon quad{kRed, {}};
    for (int k : face)
      quad.corners.push_back({v[k][0], v[k][1], v[k][2]});
    cube.push_back(quad);
  }
  std::string text = export_text(cube, "oku_Cube_2");
  size_t triangles = 0;
  for (size_t at = text.find("smooth_triangle"); at != std::string::npos;
       at = text.find("smooth_triangle", at + 1))
    ++triangles;
  EXPECT_EQ(triangles, 12u);
  EXPECT_EQ(text.rfind("/* Object oku_Cube_2 */\n#declare OKU_MESH_0 = mesh {\n", 0), 0u);
  // The quad (0, 3, 2, 1) gives the fan (0, 3, 2) and (0, 2, 1).
  EXPECT_NE(text.find("mesh {\n\tsmooth_triangle { < 0, 0, 0 >, < -0, 0, 1 >, < 0, 1, 0 >, < -0, 0, 1 >, "
                      "< 1, 1, 0 >, < -0, 0, 1 >\t}\n"
                      "\tsmooth_triangle { < 0, 0, 0 >, < 0, 0, 1 >, < 1, 1, 0 >, < 0, 0, 1 >, "
                      "< 1, 0, 0 >, < 0, 0, 1 >\t}\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.substr(text.size() - 44), "}\n#declare OKU_OBJECT = object {OKU_MESH_0}\n");
}

TEST_F(MeshExportTest, PentagonIsAFanAroundItsFirstCorner) {
  std::string text =
      export_text({flat_polygon(kWhite, {{0, 0, 0}, {1, 0, 0}, {2, 1, 0}, {1, 2, 0}, {0, 1, 0}})});
  EXPECT_EQ(text, "/* Object oku_Tri_1 */\n"
                  "#declare OKU_MESH_0 = mesh {\n"
                  "\tsmooth_triangle { < 0, 0, 0 >, < 0, 0, -1 >, < 1, 0, 0 >, < 0, 0, -1 >, "
                  "< 2, 1, 0 >, < 0, 0, -1 >\t}\n"
                  "\tsmooth_triangle { < 0, 0, 0 >, < -0, 0, -3 >, < 2, 1, 0 >, < -0, 0, -3 >, "
                  "< 1, 2, 0 >, < -0, 0, -3 >\t}\n"
                  "\tsmooth_triangle { < 0, 0, 0 >, < 0, 0, -1 >, < 1, 2, 0 >, < 0, 0, -1 >, "
                  "< 0, 1, 0 >, < 0, 0, -1 >\t}\n"
                  "}\n"
                  "#declare OKU_OBJECT = object {OKU_MESH_0}\n");
}

TEST_F(MeshExportTest, ThreeColoursInOrderOfFirstUseAndAUnion) {
  TestPolygon red = flat_polygon(kRed, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  TestPolygon green = flat_polygon(kGreen, {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}});
  TestPolygon blue = flat_polygon(kBlue, {{0, 0, 2}, {1, 0, 2}, {0, 1, 2}});
  TestPolygon red2 = flat_polygon(kRed, {{5, 0, 0}, {6, 0, 0}, {5, 1, 0}});
  std::string text = export_text({green, red, green, blue, red2}, "oku_Three_4");
  auto tri = [](const char *z, const char *x0 = "0", const char *x1 = "1") {
    return std::string("\tsmooth_triangle { < ") + x0 + ", 0, " + z + " >, < 0, 0, -1 >, < " + x1 + ", 0, " +
           z + " >, < 0, 0, -1 >, < " + x0 + ", 1, " + z + " >, < 0, 0, -1 >\t}\n";
  };
  EXPECT_EQ(text, "/* Object oku_Three_4 */\n"
                  "#declare OKU_MESH_0 = mesh {\n" +
                      tri("1") + tri("1") +
                      "}\n"
                      "#declare OKU_MESH_1 = mesh {\n" +
                      tri("0") + tri("0", "5", "6") +
                      "}\n"
                      "#declare OKU_MESH_2 = mesh {\n" +
                      tri("2") +
                      "}\n"
                      "#declare OKU_OBJECT = union {\n"
                      "  object {OKU_MESH_0}\n"
                      "  object {OKU_MESH_1}\n"
                      "  object {OKU_MESH_2}\n"
                      "}\n");
  EXPECT_EQ(colours, 3);
}

TEST_F(MeshExportTest, NoPolygonsGiveTheEmptyUnion) {
  EXPECT_EQ(export_text({}, "oku_Empty_5"), "/* Object oku_Empty_5 */\n"
                                            "#declare OKU_OBJECT = union {\n"
                                            "}\n");
  EXPECT_EQ(colours, 0);
}

TEST_F(MeshExportTest, ColourWithoutTrianglesKeepsItsNumberAsAnEmptyUnion) {
  // Red has only a line and a point; blue only triangles of zero area.
  TestPolygon line = flat_polygon(kRed, {{0, 0, 0}, {1, 0, 0}});
  TestPolygon point = flat_polygon(kRed, {{0, 0, 0}});
  TestPolygon green = flat_polygon(kGreen, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  TestPolygon flat = flat_polygon(kBlue, {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {3, 3, 3}});
  TestPolygon same = flat_polygon(kBlue, {{4, 4, 4}, {4, 4, 4}, {4, 4, 4}});
  std::string text = export_text({line, green, point, flat, same}, "oku_Odd_6");
  EXPECT_EQ(text, "/* Object oku_Odd_6 */\n"
                  "#declare OKU_MESH_0 = union {\n"
                  "}\n"
                  "#declare OKU_MESH_1 = mesh {\n"
                  "\tsmooth_triangle { < 0, 0, 0 >, < 0, 0, -1 >, < 1, 0, 0 >, < 0, 0, -1 >, "
                  "< 0, 1, 0 >, < 0, 0, -1 >\t}\n"
                  "}\n"
                  "#declare OKU_MESH_2 = union {\n"
                  "}\n"
                  "#declare OKU_OBJECT = union {\n"
                  "  object {OKU_MESH_0}\n"
                  "  object {OKU_MESH_1}\n"
                  "  object {OKU_MESH_2}\n"
                  "}\n");
}

TEST_F(MeshExportTest, ZeroAreaIsDecidedOnTheNumbersAsPrinted) {
  // Both triangles are nearly in line; POV-Ray keeps the first and drops
  // the second, by the exact cross product of the corners as it reads them.
  TestPolygon kept = flat_polygon(kRed, {{0.151692f, -0.357508f, 0.261896f},
                                         {-0.401916f, -0.060495f, 0.051692f},
                                         {-0.955524f, 0.236518f, -0.158512f}});
  TestPolygon dropped = flat_polygon(kGreen, {{0.224169f, -0.361153f, 0.0827135f},
                                              {-0.438714f, -0.63573f, -0.781636f},
                                              {0.887052f, -0.086576f, 0.947063f}});
  // Corners that differ only beyond the sixth digit print as one point.
  TestPolygon point = flat_polygon(kBlue, {{1, 1, 0}, {1.0000001f, 1, 0}, {1, 1.0000001f, 0}});
  std::string text = export_text({kept, dropped, point});
  EXPECT_NE(text.find("#declare OKU_MESH_0 = mesh {\n\tsmooth_triangle { < 0.151692,"), std::string::npos);
  EXPECT_NE(text.find("#declare OKU_MESH_1 = union {\n}\n#declare OKU_MESH_2 = union {\n}\n"),
            std::string::npos)
      << text;
}

TEST_F(MeshExportTest, ZeroAreaTrianglesStayInAMeshThatHasOthers) {
  TestPolygon flat = flat_polygon(kRed, {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}});
  TestPolygon good = flat_polygon(kRed, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  std::string text = export_text({flat, good});
  EXPECT_EQ(text.find("union"), std::string::npos);
  EXPECT_NE(text.find("< 0, 0, 0 >, < 0, 0, 0 >, < 1, 1, 1 >"), std::string::npos) << text;
}

TEST_F(MeshExportTest, ColoursMatchExactlyButBothZerosAreOne) {
  const float next = std::nextafter(1.0f, 0.0f);
  TestPolygon a = flat_polygon({0, 0.5f, 1}, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  TestPolygon b = flat_polygon({-0.f, 0.5f, 1}, {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}});
  TestPolygon c = flat_polygon({0, 0.5f, next}, {{0, 0, 2}, {1, 0, 2}, {0, 1, 2}});
  std::string text = export_text({a, b, c});
  EXPECT_EQ(colours, 2);
  size_t second_mesh = text.find("OKU_MESH_1 = mesh");
  ASSERT_NE(second_mesh, std::string::npos);
  EXPECT_LT(text.find("< 0, 0, 1 >, < 0, 0, -1 >, < 1, 0, 1 >"), second_mesh);
  EXPECT_GT(text.find("< 0, 0, 2 >, < 0, 0, -1 >, < 1, 0, 2 >"), second_mesh);
}

TEST_F(MeshExportTest, NullMeshGivesAPartWithoutPolygons) {
  // An empty file would leave OKU_OBJECT undefined, or bound to the part
  // included before it.
  PartRecord *record = new_record("oku_Lost_7");
  EXPECT_EQ(pov_write_part_file(session, nullptr, path("lost.inc").c_str(), record), 1);
  EXPECT_EQ(record->colours->count(), 0);
  EXPECT_EQ(record->wrote_file, 1);
  pov_release_part(record);
  EXPECT_EQ(read_file(path("lost.inc")), "/* Object oku_Lost_7 */\n#declare OKU_OBJECT = union {\n}\n");
}

TEST_F(MeshExportTest, UnopenableFileAnswersZeroAndCollectsNothing) {
  MeshHolder mesh(make_mesh({flat_polygon(kRed, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}})}));
  PartRecord *record = new_record("oku_X_1");
  EXPECT_EQ(pov_write_part_file(session, mesh.mesh, path("no/such/dir/x.inc").c_str(), record), 0);
  EXPECT_EQ(record->colours->count(), 0);
  EXPECT_EQ(record->wrote_file, 0);
  pov_release_part(record);
}

TEST_F(MeshExportTest, WriteErrorsAnswerZero) {
  if (access("/dev/full", W_OK) != 0)
    GTEST_SKIP() << "no /dev/full";
  std::vector<TestPolygon> many;
  for (int i = 0; i < 20000; ++i)
    many.push_back(flat_polygon(kRed, {{0, 0, float(i)}, {1, 0, 0}, {0, 1, 0}}));
  MeshHolder mesh(make_mesh(many));
  PartRecord *record = new_record("oku_Full_1");
  EXPECT_EQ(pov_write_part_file(session, mesh.mesh, "/dev/full", record), 0);
  // Small enough to sit in the stream buffer: the error shows at the close.
  MeshHolder small(make_mesh({many[0]}));
  EXPECT_EQ(pov_write_part_file(session, small.mesh, "/dev/full", record), 0);
  pov_release_part(record);
}

// A disk that fills up part-way leaves the include file of an earlier save
// as it was, and no temporary file behind.
TEST_F(MeshExportTest, AFailedWriteKeepsTheEarlierFileWhole) {
  const std::string target = path("Knob1.inc");
  { std::ofstream(target) << "earlier include file\n"; }
  std::vector<TestPolygon> many;
  for (int i = 0; i < 2000; ++i)
    many.push_back(flat_polygon(kRed, {{0, 0, float(i)}, {1, 0, 0}, {0, 1, 0}}));
  MeshHolder mesh(make_mesh(many));
  PartRecord *record = new_record("oku_Knob1_1");
  struct rlimit old_limit;
  getrlimit(RLIMIT_FSIZE, &old_limit);
  auto old_handler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = old_limit;
  limit.rlim_cur = 4000;
  setrlimit(RLIMIT_FSIZE, &limit);
  int answer = pov_write_part_file(session, mesh.mesh, target.c_str(), record);
  setrlimit(RLIMIT_FSIZE, &old_limit);
  signal(SIGXFSZ, old_handler);
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(record->wrote_file, 0);
  EXPECT_EQ(read_file(target), "earlier include file\n");
  int entries = 0;
  for (auto &entry : std::filesystem::directory_iterator(std::filesystem::path(target).parent_path())) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 1);
  pov_release_part(record);
}

TEST_F(MeshExportTest, CollectingAloneGivesTheSameColoursInTheSameOrder) {
  MeshHolder mesh(make_mesh({flat_polygon(kBlue, {{0, 0, 0}}), flat_polygon(kRed, {{0, 0, 0}}),
                             flat_polygon(kBlue, {{0, 0, 0}}), flat_polygon({-0.f, 0, 1}, {{0, 0, 0}})}));
  PartRecord *record = new_record("oku_C_1");
  pov_collect_part_colours(mesh.mesh, record);
  ASSERT_EQ(record->colours->count(), 2);
  EXPECT_EQ(pov_compare_colour(record->colours->get(1), &kBlue), 0);
  EXPECT_EQ(pov_compare_colour(record->colours->get(2), &kRed), 0);
  pov_collect_part_colours(nullptr, record); // nothing happens
  EXPECT_EQ(record->colours->count(), 2);
  pov_release_part(record);
  pov_release_part(nullptr);
}

TEST(ColourTest, ComparisonIsLexicographicOnFloats) {
  const ZAL_COLOR a{0.5f, 0.2f, 0.1f}, b{0.5f, 0.3f, 0.0f}, c{0.4f, 0.9f, 0.9f};
  EXPECT_EQ(pov_compare_colour(&a, &b), -1);
  EXPECT_EQ(pov_compare_colour(&b, &a), 1);
  EXPECT_EQ(pov_compare_colour(&c, &a), -1);
  EXPECT_EQ(pov_compare_colour(&a, &a), 0);
  const ZAL_COLOR z{0, -0.f, 0}, p{-0.f, 0, -0.f};
  EXPECT_EQ(pov_compare_colour(&z, &p), 0);
  const ZAL_COLOR d{0.5f, 0.2f, 0.2f};
  EXPECT_EQ(pov_compare_colour(&a, &d), -1);
}

TEST(ColourTest, AddingAgreesWithASearchOfTheList) {
  PartRecord *record = new_record("oku_A_1");
  // Entries put into the list directly are found like the ones added.
  ZAL_COLOR *listed = static_cast<ZAL_COLOR *>(malloc(sizeof(ZAL_COLOR)));
  *listed = ZAL_COLOR{0.25f, 0.5f, 0.75f};
  record->colours->append(listed);
  std::mt19937 random(7);
  std::vector<ZAL_COLOR> palette = {{0.25f, 0.5f, 0.75f}, {0, 0, 0}, {-0.f, 0, -0.f}, {1, 1, 1}};
  for (int i = 0; i < 2000; ++i)
    palette.push_back({float(random() % 17) / 16, float(random() % 5) / 4, float(random() % 3) / 2});
  for (const ZAL_COLOR &colour : palette) {
    int before = record->colours->findcontents(&colour, pov_compare_colour);
    int count = record->colours->count();
    pov_add_colour(record, &colour);
    EXPECT_EQ(record->colours->count(), before ? count : count + 1);
    EXPECT_EQ(record->colours->findcontents(&colour, pov_compare_colour), before ? before : count + 1);
  }
  pov_release_part(record);
}

} // namespace
