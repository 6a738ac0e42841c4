// Parts through whole saves and the tree walk: shared parts, both savers,
// the id and name rules across saves, multi-colour objects, and names that
// would break the scene or the file system.
#include "tests/support/host_meshes.h"

#include <sys/stat.h>

#include <filesystem>

namespace {

const ZAL_COLOR kRed{1, 0, 0}, kGreen{0, 1, 0}, kBlue{0, 0, 1};

VYobject *triangle_mesh(ZAL_COLOR colour = kRed) {
  return make_mesh({flat_polygon(colour, {{0, 1, 0}, {0, 0, 0}, {1, 0, 0}})});
}

VYobject *coloured_mesh(std::initializer_list<ZAL_COLOR> colours) {
  std::vector<TestPolygon> polygons;
  float z = 0;
  for (const ZAL_COLOR &c : colours)
    polygons.push_back(flat_polygon(c, {{0, 1, z}, {0, 0, z}, {1, 0, z}})), z += 1;
  return make_mesh(polygons);
}

int count_of(const std::string &text, const std::string &what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++n;
  return n;
}

class PartsSaveTest : public GeometryTest {
protected:
  void SetUp() override { GeometryTest::SetUp(); }
  std::string save(const std::string &name, int mode) {
    EXPECT_EQ(pov_save(state, path(name).c_str(), nullptr, mode), 1);
    return read_file(path(name));
  }
  std::string walk(_object *node, int depth) {
    session.indent_depth = depth;
    std::string text = walk_text(session, node);
    session.indent_depth = 0;
    return text;
  }
};

TEST_F(PartsSaveTest, ThreeObjectsShareOneIncludeFileAndOneIdentifier) {
  for (const char *name : {"Left", "Middle", "Right"})
    add_part_object(nullptr, name, "/parts/Leg.obj", triangle_mesh())->color = kBlue;
  std::string text = save("table.pov", 1);
  EXPECT_EQ(count_of(text, "#include \"Leg.inc\"\n"), 1);
  EXPECT_EQ(count_of(text, "#declare oku_Leg_1 = OKU_OBJECT\n"), 1);
  EXPECT_EQ(count_of(text, "    oku_Leg_1\n"), 3);
  EXPECT_LT(text.find("#include \"Leg.inc\""), text.find("object { // Left"));
  EXPECT_TRUE(exists("Leg.inc"));
  EXPECT_EQ(state->parts_cache.count(), 0) << "a save leaves the cache empty";

  // The scene-only saver writes the same lines and no include file.
  ASSERT_EQ(unlink(path("Leg.inc").c_str()), 0);
  std::string alone = save("alone.pov", 0);
  EXPECT_FALSE(exists("Leg.inc"));
  std::string expected = text;
  for (size_t at; (at = expected.find("oku_Leg_1")) != std::string::npos;)
    expected.replace(at, 9, "oku_Leg_2");
  EXPECT_EQ(alone, expected);
}

TEST_F(PartsSaveTest, PartFileWithTwoDotsLosesOnlyItsLastExtension) {
  add_part_object(nullptr, "Wedge", "/parts/wedge.v2.obj", triangle_mesh())->color = kBlue;
  std::string text = save("wedge.pov", 1);
  EXPECT_NE(text.find("  #include \"wedge.v2.inc\"\n  #declare oku_wedgev2_1 = OKU_OBJECT\n"),
            std::string::npos)
      << text;
  EXPECT_TRUE(exists("wedge.v2.inc"));
}

TEST_F(PartsSaveTest, MeshObjectKeepsItsIncludeFileAcrossSavesButNotItsIdentifier) {
  _object *knob = add_mesh_object(nullptr, "Knob", triangle_mesh());
  std::string first = save("panel.pov", 1);
  EXPECT_NE(first.find("  #include \"Knob1.inc\"\n  #declare oku_Knob1_1 = OKU_OBJECT\n"), std::string::npos);
  EXPECT_EQ(knob->id, 1);
  std::string inc = read_file(path("Knob1.inc"));
  EXPECT_EQ(inc.rfind("/* Object oku_Knob1_1 */\n", 0), 0u);
  std::string second = save("panel.pov", 1);
  EXPECT_NE(second.find("  #include \"Knob1.inc\"\n  #declare oku_Knob1_2 = OKU_OBJECT\n"),
            std::string::npos);
  EXPECT_EQ(knob->id, 1);
  EXPECT_EQ(state->next_object_id, 2);
  EXPECT_EQ(read_file(path("Knob1.inc")).rfind("/* Object oku_Knob1_2 */\n", 0), 0u);
}

TEST_F(PartsSaveTest, AnIdHandedOutIsNoneThatAnObjectOfTheSameNameHolds) {
  _object *held = add_mesh_object(nullptr, "Knob", triangle_mesh(kRed));
  held->id = 1;
  _object *fresh = add_mesh_object(nullptr, "Knob", triangle_mesh(kBlue));
  std::string text = save("panel.pov", 1);
  EXPECT_EQ(fresh->id, 2) << "Knob1.inc belongs to the Knob that holds id 1";
  EXPECT_EQ(count_of(text, "#include \"Knob1.inc\""), 1);
  EXPECT_EQ(count_of(text, "#include \"Knob2.inc\""), 1);
  EXPECT_TRUE(exists("Knob1.inc") && exists("Knob2.inc"));
}

TEST_F(PartsSaveTest, BracketWithItsOwnColourIsOneStatementNamingTheWholePart) {
  _object *bracket = add_part_object(nullptr, "Bracket", "/cad/Bracket.obj", coloured_mesh({kRed, kGreen}));
  bracket->color = kRed;
  bracket->specular = {0.5f, 0.5f, 0.5f};
  bracket->shininess = 40;
  bracket->position = {10, 0, 5};
  bracket->rotation = {0, 0, 90};
  VYobject_set_pivot(obj_get_geometry(bracket), 0.5f, 0, 0);
  std::string where = path("scene.pov");
  session.scene_path = where.c_str();
  session.next_part_number = 3;
  session.parts_mode = 1;
  EXPECT_EQ(walk(bracket, 1), "  #include \"Bracket.inc\"\n"
                              "  #declare oku_Bracket_3 = OKU_OBJECT\n"
                              "  #declare oku_Bracket_3_0 = OKU_MESH_0\n"
                              "  #declare oku_Bracket_3_1 = OKU_MESH_1\n"
                              "  object { // Bracket\n"
                              "    oku_Bracket_3\n"
                              "    pigment {color rgbt <1, 0, 0, 0>}\n"
                              "    translate <-0.5, -0, -0>\n"
                              "    rotate <0, 0, 90>\n"
                              "    translate <10, 0, 5>\n"
                              "    finish {ambient <1, 0, 0> phong 0.5 phong_size 40}\n"
                              "    #if (NO_SHADOWS) no_shadow #end\n"
                              "  }\n");
  EXPECT_TRUE(exists("Bracket.inc"));
}

TEST_F(PartsSaveTest, PartWithoutObjectColourIsOneStatementPerMeshColour) {
  _object *part = add_part_object(nullptr, "Bracket", "Bracket.obj", coloured_mesh({kRed, kGreen, kBlue}));
  part->position = {1, 2, 3};
  std::string text = save("scene.pov", 1);
  const char *statement = "  object { // part of Bracket\n"
                          "    oku_Bracket_1_%d\n"
                          "    pigment {color rgbt <%s, 0>}\n"
                          "    translate <1, 2, 3>\n"
                          "    finish {ambient <%s> phong 0 phong_size 0}\n"
                          "    #if (NO_SHADOWS) no_shadow #end\n"
                          "  }\n";
  std::string expected = "  #include \"Bracket.inc\"\n"
                         "  #declare oku_Bracket_1 = OKU_OBJECT\n"
                         "  #declare oku_Bracket_1_0 = OKU_MESH_0\n"
                         "  #declare oku_Bracket_1_1 = OKU_MESH_1\n"
                         "  #declare oku_Bracket_1_2 = OKU_MESH_2\n";
  const char *colours[] = {"1, 0, 0", "0, 1, 0", "0, 0, 1"};
  for (int i = 0; i < 3; ++i) {
    char buffer[512];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    snprintf(buffer, sizeof buffer, statement, i, colours[i], colours[i]);
#pragma GCC diagnostic pop
    expected += buffer;
  }
  EXPECT_EQ(text, default_frame() + expected);
}

TEST_F(PartsSaveTest, QuotesBackslashesAndControlCharactersNeverReachTheIncludeLine) {
  add_mesh_object(nullptr, "Say \"hi\"\tnow", triangle_mesh())->color = kRed;
  std::string text = save("scene.pov", 1);
  EXPECT_NE(text.find("  #include \"Say _hi__now1.inc\"\n  #declare oku_Sayhinow1_1 = OKU_OBJECT\n"),
            std::string::npos)
      << text;
  EXPECT_TRUE(exists("Say _hi__now1.inc"));
}

TEST_F(PartsSaveTest, DotsAndSlashesInObjectNamesDoNotMergeTheirMeshes) {
  add_mesh_object(nullptr, "Part.A", triangle_mesh(kRed));
  add_mesh_object(nullptr, "Part.B", triangle_mesh(kGreen));
  add_mesh_object(nullptr, "left/right", triangle_mesh(kBlue));
  std::string text = save("scene.pov", 1);
  EXPECT_NE(text.find("#include \"Part_A1.inc\""), std::string::npos) << text;
  EXPECT_NE(text.find("#include \"Part_B2.inc\""), std::string::npos);
  EXPECT_NE(text.find("#include \"left_right3.inc\""), std::string::npos);
  EXPECT_TRUE(exists("Part_A1.inc") && exists("Part_B2.inc") && exists("left_right3.inc"));
}

TEST_F(PartsSaveTest, LongNamesAreCutButKeepTheirIdAndFitEveryLimit) {
  std::string name(300, 'n');
  _object *a = add_mesh_object(nullptr, name.c_str(), coloured_mesh({kRed, kGreen}));
  _object *b = add_mesh_object(nullptr, name.c_str(), triangle_mesh());
  a->id = 1234567;
  std::string text = save("scene.pov", 1);
  std::string file_a = std::string(251 - 7, 'n') + "1234567";
  std::string file_b = std::string(250, 'n') + "1";
  EXPECT_EQ(b->id, 1);
  EXPECT_NE(text.find("#include \"" + file_a + ".inc\""), std::string::npos);
  EXPECT_NE(text.find("#include \"" + file_b + ".inc\""), std::string::npos);
  EXPECT_TRUE(exists(file_a + ".inc"));
  EXPECT_TRUE(exists(file_b + ".inc"));
  // Every identifier, with its mesh number, stays within POV-Ray's 255.
  size_t at = text.find("#declare oku_");
  ASSERT_NE(at, std::string::npos);
  for (; at != std::string::npos; at = text.find("#declare oku_", at + 1)) {
    size_t start = at + 9;
    EXPECT_LE(text.find(' ', start) - start, 255u);
  }
}

TEST_F(PartsSaveTest, DeepSceneDirectoryGetsItsIncludeFileBesideTheScene) {
  std::string deep = dir;
  for (int i = 0; i < 6; ++i) {
    deep += "/" + std::string(60, 'd');
    ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
  }
  add_part_object(nullptr, "Gear", "Gear.obj", triangle_mesh())->color = kRed;
  std::string scene = deep + "/scene.pov";
  ASSERT_EQ(pov_save(state, scene.c_str(), nullptr, 1), 1);
  EXPECT_EQ(access((deep + "/Gear.inc").c_str(), F_OK), 0);
}

TEST_F(PartsSaveTest, IncludeFileThatCannotBeWrittenFailsTheSaveAndWritesNothing) {
  ASSERT_EQ(mkdir(path("Bolt.inc").c_str(), 0755), 0); // in the way of the file
  { std::ofstream(path("scene.pov")) << "the earlier scene\n"; }
  add_part_object(nullptr, "Own colour", "Bolt.obj", triangle_mesh())->color = kBlue;
  MessageLog log;
  EXPECT_EQ(pov_save(state, path("scene.pov").c_str(), nullptr, 1), 0);
  EXPECT_EQ(log.messages, std::vector<std::string>{"POV Save: Cannot write " + path("Bolt.inc") +
                                                   ": it is not a regular file."});
  EXPECT_EQ(read_file(path("scene.pov")), "the earlier scene\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 2) << "no temporary file is left";
}

} // namespace
