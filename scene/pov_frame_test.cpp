#include "tests/support/module_scene.h"

#include <gtest/gtest.h>

namespace {

class FrameTest : public ::testing::Test {
protected:
  void SetUp() override { scene_reset(); }
  TestSession module;
};

TEST_F(FrameTest, DefaultSceneIsTheFrameAlone) {
  EXPECT_EQ(walk_text(module.session, db_get_root()), default_frame());
  EXPECT_EQ(module.session.indent_depth, 0);
}

TEST_F(FrameTest, RootWithoutColourTakesTheEnvironment) {
  scene_environment().background = ZAL_COLOR{0.1f, 0.1f, 0.15f};
  scene_environment().ambient = 0.25f;
  EXPECT_EQ(walk_text(db_get_root()), default_frame("0.1, 0.1, 0.15", "0.25"));
}

TEST_F(FrameTest, RootColourIsUsedEvenWhenBlack) {
  scene_environment().background = ZAL_COLOR{0.5f, 0.5f, 0.5f};
  db_get_root()->color = ZAL_COLOR{0, 0, 0};
  EXPECT_EQ(walk_text(db_get_root()), default_frame("0, 0, 0"));
  db_get_root()->color = ZAL_COLOR{1, 0.5f, 0.25f};
  EXPECT_EQ(walk_text(db_get_root()), default_frame("1, 0.5, 0.25"));
}

TEST_F(FrameTest, AmbientZeroIsWrittenAsOneThousandth) {
  scene_environment().ambient = 0;
  EXPECT_EQ(walk_text(db_get_root()), default_frame("0, 0, 0", "0.001"));
  scene_environment().ambient = 1e-7f;
  EXPECT_EQ(walk_text(db_get_root()), default_frame("0, 0, 0", "1e-07"));
}

TEST_F(FrameTest, OptionsGiveSizeAndShadowSwitch) {
  EXPECT_EQ(walk_text(db_get_root(), SceneOptions{320, 200, 0, 0}),
            default_frame("0, 0, 0", "0.2", 320, 200, 1));
  EXPECT_EQ(walk_text(db_get_root(), SceneOptions{800, 600, 1, 7}),
            default_frame("0, 0, 0", "0.2", 800, 600, 0));
}

TEST_F(FrameTest, WalkFromAnotherNodeWritesNoFrame) {
  _object *group = add_node(nullptr, OBJECT_TYPE_GROUP, "Product");
  _object *ball = add_node(group, OBJECT_TYPE_GEOMETRY, "Ball");
  ball->color = ZAL_COLOR{0, 0, 1};
  // The ball has no shape: it is written inside a comment.
  EXPECT_EQ(walk_text(group), "/*\n"
                              "  object { // Ball\n"
                              "    pigment {color rgbt <0, 0, 1, 0>}\n"
                              "    finish {ambient <0, 0, 1> phong 0 phong_size 0}\n"
                              "    #if (NO_SHADOWS) no_shadow #end\n"
                              "  }\n"
                              "*/\n");
  EXPECT_EQ(walk_text(ball).find("Brightfold"), std::string::npos);
}

TEST_F(FrameTest, NullNodeWritesNothing) {
  EXPECT_EQ(walk_text(module.session, nullptr), "");
  EXPECT_EQ(module.session.indent_depth, 0);
}

} // namespace
