// Parts: names, the cache, include files beside the scene and the lines
// that bring them into the scene file.
#include "geometry/pov_mesh_internal.h"
#include "tests/support/host_meshes.h"

#include <sys/stat.h>

namespace {

const ZAL_COLOR kRed{1, 0, 0}, kGreen{0, 1, 0};

VYobject *triangle_mesh(ZAL_COLOR colour = kRed, float z = 0) {
  return make_mesh({flat_polygon(colour, {{0, 1, z}, {0, 0, z}, {1, 0, z}})});
}

VYobject *two_colour_mesh() {
  return make_mesh({flat_polygon(kRed, {{0, 1, 0}, {0, 0, 0}, {1, 0, 0}}),
                    flat_polygon(kGreen, {{0, 1, 1}, {0, 0, 1}, {1, 0, 1}})});
}

class PartsTest : public GeometryTest {
protected:
  void SetUp() override {
    GeometryTest::SetUp();
    scene = path("scene.pov");
    session.scene_path = scene.c_str();
  }
  std::string declare(_object *node, int depth, PartRecord **record = nullptr) {
    return capture_text([&](FILE *f) {
      PartRecord *r = pov_declare_part(session, f, depth, node);
      if (record)
        *record = r;
    });
  }
  std::string scene;
};

TEST(PartNameTest, KeepsLettersDigitsAndUnderscoresAndCountsUp) {
  TestSession module;
  PovSession &session = module.session;
  session.next_part_number = 7;
  char out[64];
  EXPECT_STREQ(pov_make_part_name(session, "my part-2", out), "oku_mypart2_7");
  EXPECT_STREQ(pov_make_part_name(session, "Bra_cket\xc3\xa9!", out), "oku_Bra_cket_8");
  EXPECT_STREQ(pov_make_part_name(session, "", out), "oku__9");
  EXPECT_EQ(session.next_part_number, 10);
}

TEST(PartNameTest, LongNamesLeaveRoomForTheMeshNumber) {
  // POV-Ray takes identifiers of up to 255 characters, and the scene adds
  // "_" and a mesh number to the part's identifier.
  TestSession module;
  PovSession &session = module.session;
  session.next_part_number = 2147483647;
  std::string name(400, 'a');
  std::vector<char> out(name.size() + 21);
  pov_make_part_name(session, name.c_str(), out.data());
  std::string id = out.data();
  EXPECT_LE(id.size() + 11, 255u);
  EXPECT_EQ(id.substr(0, 8), "oku_aaaa");
  EXPECT_EQ(id.substr(id.size() - 11), "_2147483647");
  EXPECT_EQ(session.next_part_number, 1) << "the counter starts again rather than overflow";
}

TEST_F(PartsTest, FirstUseDeclaresThePartOnceAndWritesItsFileInPartsMode) {
  session.parts_mode = 1;
  session.next_part_number = 3;
  _object *a = add_part_object(nullptr, "Bracket", "/models/x/Bracket.obj", two_colour_mesh());
  PartRecord *record = nullptr;
  EXPECT_EQ(declare(a, 2, &record), "    #include \"Bracket.inc\"\n"
                                    "    #declare oku_Bracket_3 = OKU_OBJECT\n"
                                    "    #declare oku_Bracket_3_0 = OKU_MESH_0\n"
                                    "    #declare oku_Bracket_3_1 = OKU_MESH_1\n");
  ASSERT_NE(record, nullptr);
  EXPECT_STREQ(record->name, "oku_Bracket_3");
  EXPECT_EQ(record->colours->count(), 2);
  EXPECT_EQ(record->written, 1);
  EXPECT_EQ(record->wrote_file, 1);
  EXPECT_EQ(state->parts_cache.getvalue(path("Bracket.inc").c_str()), record);
  EXPECT_EQ(read_file(path("Bracket.inc")).rfind("/* Object oku_Bracket_3 */\n", 0), 0u);
  // Already declared in this scene file: nothing more.
  PartRecord *again = nullptr;
  EXPECT_EQ(declare(a, 2, &again), "");
  EXPECT_EQ(again, record);
  EXPECT_EQ(session.next_part_number, 4);
}

TEST_F(PartsTest, OneColourGetsNoMeshDeclarationsAndModeZeroWritesNoFile) {
  _object *a = add_part_object(nullptr, "Peg", "Peg.stl", triangle_mesh());
  PartRecord *record = nullptr;
  EXPECT_EQ(declare(a, 0, &record), "#include \"Peg.inc\"\n#declare oku_Peg_1 = OKU_OBJECT\n");
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->colours->count(), 1) << "colours are collected without the file";
  EXPECT_EQ(record->wrote_file, 0);
  EXPECT_FALSE(exists("Peg.inc"));
}

TEST_F(PartsTest, ObjectsWithoutAPartFileOrWithShapeParametersGetNoRecord) {
  _object *light = add_node(nullptr, OBJECT_TYPE_LIGHT, "Lamp");
  _object *empty = add_node(nullptr, OBJECT_TYPE_GEOMETRY, "Empty");
  _object *ball = add_node(nullptr, OBJECT_TYPE_GEOMETRY, "Ball");
  scene_add_geometry(ball);
  GeomParams sphere{};
  sphere.kind = 3;
  scene_set_params(ball, sphere);
  for (_object *node : {light, empty, ball}) {
    PartRecord *record = reinterpret_cast<PartRecord *>(1);
    EXPECT_EQ(declare(node, 1, &record), "");
    EXPECT_EQ(record, nullptr);
  }
  EXPECT_EQ(pov_declare_part(session, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(ball->id, 0) << "only mesh objects are given an id";
  EXPECT_EQ(state->parts_cache.count(), 0);
}

TEST_F(PartsTest, MeshObjectIsNamedByItsNameAndAnIdThatStaysOnIt) {
  session.parts_mode = 1;
  _object *knob = add_mesh_object(nullptr, "Knob", triangle_mesh());
  _object *dial = add_mesh_object(nullptr, "Dial", triangle_mesh());
  dial->id = 4;
  EXPECT_EQ(declare(knob, 0), "#include \"Knob1.inc\"\n#declare oku_Knob1_1 = OKU_OBJECT\n");
  EXPECT_EQ(declare(dial, 0), "#include \"Dial4.inc\"\n#declare oku_Dial4_2 = OKU_OBJECT\n");
  EXPECT_EQ(knob->id, 1);
  EXPECT_EQ(dial->id, 4);
  EXPECT_EQ(session.next_object_id, 2);
  EXPECT_TRUE(exists("Knob1.inc"));
  EXPECT_TRUE(exists("Dial4.inc"));
}

TEST_F(PartsTest, LongNamesOfBytesThatAreNoUtf8StillNameTheirOwnFile) {
  // Two objects whose names are long runs of continuation bytes (no UTF-8
  // at all): each keeps its name, cut to length, and its own include file,
  // rather than both being cut to nothing and sharing one.
  session.parts_mode = 1;
  const std::string garbage(300, '\x80');
  _object *a = add_mesh_object(nullptr, garbage.c_str(), triangle_mesh());
  _object *b = add_mesh_object(nullptr, garbage.c_str(), triangle_mesh());
  const std::string first = declare(a, 0), second = declare(b, 0);
  EXPECT_EQ(first.rfind("#include \"\x80\x80", 0), 0u) << first;
  EXPECT_NE(first.substr(0, first.find('\n')), second.substr(0, second.find('\n')));
}

TEST_F(PartsTest, FirstGeometryEntryAloneRepresentsTheObject) {
  session.parts_mode = 1;
  _object *a = add_part_object(nullptr, "Pair", "first/Left.obj", triangle_mesh(kRed));
  _geometry *second = scene_add_geometry(a);
  second->set_part_file("Right.obj");
  second->set_mesh(two_colour_mesh());
  PartRecord *record = nullptr;
  EXPECT_EQ(declare(a, 0, &record), "#include \"Left.inc\"\n#declare oku_Left_1 = OKU_OBJECT\n");
  EXPECT_FALSE(exists("Right.inc"));
}

TEST_F(PartsTest, SameFileNameInOtherDirectoriesSharesTheFirstMesh) {
  session.parts_mode = 1;
  _object *a = add_part_object(nullptr, "A", "/one/Bolt.obj", triangle_mesh(kRed, 5));
  _object *b = add_part_object(nullptr, "B", "/two/Bolt.stl", triangle_mesh(kGreen, 9));
  PartRecord *first = nullptr, *second = nullptr;
  declare(a, 0, &first);
  EXPECT_EQ(declare(b, 0, &second), "");
  EXPECT_EQ(first, second);
  EXPECT_EQ(state->parts_cache.count(), 1);
  std::string text = read_file(path("Bolt.inc"));
  EXPECT_NE(text.find("< 0, 1, 5 >"), std::string::npos);
  EXPECT_EQ(text.find("< 0, 1, 9 >"), std::string::npos);
}

TEST_F(PartsTest, LabelsThatLeaveNoNameFallBackToTheObject) {
  // "Rack/" and "Shelf\\" name a directory and no file: each part gets a
  // file of its own, named by its object, never one shared ".inc".
  session.parts_mode = 1;
  _object *a = add_part_object(nullptr, "Left", "/models/a.obj", triangle_mesh(kRed, 5));
  _object *b = add_part_object(nullptr, "Right", "/models/b.obj", triangle_mesh(kGreen, 9));
  const char *labels[] = {"Rack/", "Shelf\\"};
  _object *objects[] = {a, b};
  for (int i = 0; i < 2; ++i) {
    LIST_ITER it(obj_get_geolist(objects[i]));
    it.first();
    _part_info &info = static_cast<_geometry *>(it.getdata())->part_info();
    info.type_ = "obj";
    info.name_ = labels[i];
  }
  EXPECT_EQ(declare(a, 0), "#include \"Left1.inc\"\n#declare oku_Left1_1 = OKU_OBJECT\n");
  EXPECT_EQ(declare(b, 0), "#include \"Right2.inc\"\n#declare oku_Right2_2 = OKU_OBJECT\n");
  EXPECT_FALSE(exists(".inc"));
  EXPECT_NE(read_file(path("Right2.inc")).find("< 0, 1, 9 >"), std::string::npos);
}

TEST_F(PartsTest, LoaderNamesThePartByItsLabel) {
  session.parts_mode = 1;
  _object *a = add_part_object(nullptr, "A", "/models/ugly_file_name.obj", triangle_mesh());
  LIST_ITER it(obj_get_geolist(a));
  it.first();
  _part_info &info = static_cast<_geometry *>(it.getdata())->part_info();
  info.type_ = "obj";
  info.name_ = "Front panel";
  EXPECT_EQ(declare(a, 0), "#include \"Front panel.inc\"\n#declare oku_Frontpanel_1 = OKU_OBJECT\n");
  EXPECT_TRUE(exists("Front panel.inc"));
  // Without a label, or without a loader for the type, the file name counts.
  info.name_ = "";
  state->parts_cache.clear(pov_release_part);
  EXPECT_EQ(declare(a, 0), "#include \"ugly_file_name.inc\"\n#declare oku_ugly_file_name_2 = OKU_OBJECT\n");
  info.type_ = "nosuchtype";
  info.name_ = "Label";
  char base[256];
  LIST_ITER again(obj_get_geolist(a));
  again.first();
  pov_part_base_name(static_cast<_geometry *>(again.getdata()), base);
  EXPECT_STREQ(base, "ugly_file_name.obj");
}

TEST_F(PartsTest, SceneWithoutDirectoryPutsTheIncludeFileInTheCurrentOne) {
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  ASSERT_EQ(chdir(dir.c_str()), 0);
  session.scene_path = "$$povuds.pov";
  session.parts_mode = 1;
  _object *a = add_part_object(nullptr, "A", "Widget.obj", triangle_mesh());
  EXPECT_EQ(declare(a, 0), "#include \"Widget.inc\"\n#declare oku_Widget_1 = OKU_OBJECT\n");
  EXPECT_NE(state->parts_cache.getvalue("Widget.inc"), nullptr);
  ASSERT_EQ(chdir(here), 0);
  EXPECT_TRUE(exists("Widget.inc"));
}

} // namespace

namespace {

// Clearing with delete_files takes only the include files this module wrote;
// a file found beside the scene stays. Without it every file stays.
TEST_F(PartsTest, ClearingDeletesOnlyTheIncludeFilesTheModuleWrote) {
  for (int delete_files : {0, 1}) {
    const std::string written = path("written.inc"), found = path("found.inc");
    bftest::write_file(written, "made here");
    bftest::write_file(found, "saved earlier");
    PartRecord *made = pov_new_part_record("oku_made_1");
    PartRecord *old = pov_new_part_record("oku_found_2");
    ASSERT_TRUE(made && old);
    made->wrote_file = 1;
    state->parts_cache.add(written.c_str(), made);
    state->parts_cache.add(found.c_str(), old);
    pov_parts_clear(state, delete_files);
    EXPECT_EQ(state->parts_cache.count(), 0);
    EXPECT_EQ(exists("written.inc"), delete_files == 0) << delete_files;
    EXPECT_TRUE(exists("found.inc"));
  }
}

} // namespace
