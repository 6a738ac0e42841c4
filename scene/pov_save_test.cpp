#include "geometry/pov_parts.h"
#include "tests/support/module_scene.h"
#include "texture/pov_texture.h"
#include "vy/mesh.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

namespace {

class SaveTest : public ::testing::Test {
protected:
  void SetUp() override {
    scene_reset();
    char pattern[] = "/tmp/pov_save_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::string dir;
  TestSession module;
  PovModuleState *const state = module.state;
};

// A ball without a shape, written inside a comment.
const char *const kBall = "/*\n"
                          "  object { // Ball\n"
                          "    pigment {color rgbt <0, 0, 1, 0>}\n"
                          "    finish {ambient <0, 0, 1> phong 0 phong_size 0}\n"
                          "    #if (NO_SHADOWS) no_shadow #end\n"
                          "  }\n"
                          "*/\n";

TEST_F(SaveTest, WritesTheSceneAndLeavesTheStateEmpty) {
  add_node(nullptr, OBJECT_TYPE_GEOMETRY, "Ball")->color = ZAL_COLOR{0, 0, 1};
  std::string path = dir + "/scene.pov";
  MessageLog log;
  EXPECT_EQ(pov_save(state, path.c_str(), db_get_root(), 1), 1);
  EXPECT_EQ(read_file(path), default_frame() + kBall);
  EXPECT_TRUE(log.messages.empty());
  EXPECT_EQ(state->parts_cache.count(), 0);
  EXPECT_EQ(state->texture_list.count(), 0);
  EXPECT_TRUE(state->files.staged.empty());
  EXPECT_EQ(state->files.staging, 0);

  // A null root means the database root; mode 0 writes the same text.
  std::string second = dir + "/second.pov";
  EXPECT_EQ(pov_save(state, second.c_str(), nullptr, 0), 1);
  EXPECT_EQ(read_file(second), read_file(path));
}

TEST_F(SaveTest, UnopenablePathAnswersZeroWithOneMessage) {
  state->parts_cache.add("left/over.inc", nullptr); // released like any record
  MessageLog log;
  std::string path = dir + "/no/such/dir/scene.pov";
  EXPECT_EQ(pov_save(state, path.c_str(), nullptr, 1), 0);
  ASSERT_EQ(log.messages.size(), 1u);
  EXPECT_EQ(log.messages[0], "POV Save: Cannot open file for writing.");
  EXPECT_EQ(state->parts_cache.count(), 0);
  EXPECT_EQ(state->texture_list.count(), 0);
  EXPECT_EQ(access(path.c_str(), F_OK), -1);
}

TEST_F(SaveTest, FullDiskAnswersZeroWithTheWriteError) {
  // Enough text that some of it is written before the close, and some at it.
  for (int i = 0; i < 500; ++i)
    add_node(nullptr, OBJECT_TYPE_GEOMETRY, "Ball");
  MessageLog log;
  EXPECT_EQ(pov_save(state, "/dev/full", nullptr, 0), 0);
  ASSERT_EQ(log.messages.size(), 1u);
  EXPECT_EQ(log.messages[0], "POV Save: Error writing file.");
  EXPECT_EQ(state->parts_cache.count(), 0);

  // Also when the whole scene fits the stream's buffer: the close finds it.
  scene_reset();
  log.messages.clear();
  EXPECT_EQ(pov_save(state, "/dev/full", nullptr, 1), 0);
  EXPECT_EQ(log.messages, std::vector<std::string>{"POV Save: Error writing file."});
}

TEST_F(SaveTest, SavedSceneIgnoresThePreviewOptions) {
  std::string path = dir + "/saved.pov";
  ASSERT_EQ(pov_save(state, path.c_str(), nullptr, 0), 1);
  std::string text = read_file(path);
  EXPECT_NE(text.find("#declare IMAGE_WIDTH = 640\n#declare IMAGE_HEIGHT = 480\n#declare NO_SHADOWS = 0\n"),
            std::string::npos);
}

TEST_F(SaveTest, PreviewWriteUsesItsOptionsAndKeepsTheParts) {
  add_node(nullptr, OBJECT_TYPE_GEOMETRY, "Ball")->color = ZAL_COLOR{0, 0, 1};
  // A record cached by an earlier preview write is declared again.
  char name[] = "oku_Cached_1";
  LIST colours;
  PartRecord record{name, &colours, 1, 1, nullptr};
  state->parts_cache.add("Cached.inc", &record);
  PovSession &session = module.session;
  session.parts_mode = 1;

  std::string path = dir + "/$$povuds.pov";
  SceneOptions options{320, 200, 0, 0};
  EXPECT_EQ(pov_write_preview_scene(session, path.c_str(), nullptr, &options), 1);
  EXPECT_EQ(read_file(path), default_frame("0, 0, 0", "0.2", 320, 200, 1) + kBall);
  EXPECT_EQ(record.written, 0);
  EXPECT_EQ(state->parts_cache.count(), 1); // the preview keeps its parts
  EXPECT_EQ(session.scene_file, nullptr);
  EXPECT_EQ(session.indent_depth, 0);
  state->parts_cache.clear(nullptr);

  MessageLog log;
  std::string bad = dir + "/missing/$$povuds.pov";
  EXPECT_EQ(pov_write_preview_scene(session, bad.c_str(), nullptr, &options), 0);
  EXPECT_EQ(log.messages, std::vector<std::string>{"POV Save: Cannot open file for writing."});

  log.messages.clear();
  EXPECT_EQ(pov_write_preview_scene(session, "/dev/full", nullptr, &options), 0);
  EXPECT_EQ(log.messages, std::vector<std::string>{"POV Save: Error writing file."});
  EXPECT_TRUE(state->files.staged.empty());
}

} // namespace

namespace {

// A real part through the real parts cache: one statement per mesh colour.
TEST_F(SaveTest, MultiColourPartSavedWithItsIncludeFile) {
  _object *knob = add_node(nullptr, OBJECT_TYPE_GEOMETRY, "Knob");
  knob->id = 4;
  VYobject *mesh = VYobject_create();
  const ZAL_COLOR colours[] = {{1, 0, 0}, {0, 1, 0}};
  for (const ZAL_COLOR &colour : colours) {
    VYobject_begin_polygon(mesh, colour);
    VYobject_add_corner(mesh, VYobject_add_position(mesh, 0, 0, 0), -1);
    VYobject_add_corner(mesh, VYobject_add_position(mesh, 1, 0, 0), -1);
    VYobject_add_corner(mesh, VYobject_add_position(mesh, 0, 1, 0), -1);
  }
  scene_add_geometry(knob)->set_mesh(mesh);
  std::string path = dir + "/scene.pov";
  int number = state->next_part_number;
  ASSERT_EQ(pov_save(state, path.c_str(), nullptr, 1), 1);
  std::string id = "oku_Knob4_" + std::to_string(number);
  std::string expected = default_frame() + "  #include \"Knob4.inc\"\n" + "  #declare " + id +
                         " = OKU_OBJECT\n" + "  #declare " + id + "_0 = OKU_MESH_0\n" + "  #declare " + id +
                         "_1 = OKU_MESH_1\n";
  const char *rgb[] = {"1, 0, 0", "0, 1, 0"};
  for (int i = 0; i < 2; ++i)
    expected += std::string("  object { // part of Knob\n") + "    " + id + "_" + std::to_string(i) + "\n" +
                "    pigment {color rgbt <" + rgb[i] + ", 0>}\n" + "    finish {ambient <" + rgb[i] +
                "> phong 0 phong_size 0}\n" + "    #if (NO_SHADOWS) no_shadow #end\n" + "  }\n";
  EXPECT_EQ(read_file(path), expected);
  EXPECT_EQ(access((dir + "/Knob4.inc").c_str(), F_OK), 0);
}

} // namespace
