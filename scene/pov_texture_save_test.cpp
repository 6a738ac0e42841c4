// A save and the texture list: the list is empty after it, whether the
// save succeeded or not.
#include "tests/support/textured_scenes.h"

#include <gtest/gtest.h>

namespace {

using textest::ScratchCwd;
using textest::textured;

TEST(TextureSave, LeavesTheTextureListEmpty) {
  ScratchCwd dir;
  ASSERT_TRUE(textest::write_png(dir.file("wood.png"), 2, 2, textest::pattern(2, 2)));
  textured(nullptr, dir.file("wood.png"));
  ASSERT_EQ(pov_save(dir.state, dir.file("scene.pov").c_str(), nullptr, 0), 1);
  EXPECT_EQ(dir.state->texture_list.count(), 0);
  EXPECT_TRUE(dir.exists("oku_wood.tga"));
  // A save that cannot open its file empties the list too.
  textest::write_targa_header(dir.file("oku_wood.tga"), 2, 2);
  int usable = 0;
  texture_acquire(dir.session, textured(nullptr, dir.file("wood.png")), &usable);
  ASSERT_EQ(dir.state->texture_list.count(), 1);
  std::vector<std::string> messages;
  esd_set_sink([](const char *m, void *user) { static_cast<std::vector<std::string> *>(user)->push_back(m); },
               &messages);
  EXPECT_EQ(pov_save(dir.state, dir.file("no/such/dir/scene.pov").c_str(), nullptr, 0), 0);
  esd_set_sink(nullptr, nullptr);
  EXPECT_EQ(messages, std::vector<std::string>{"POV Save: Cannot open file for writing."});
  EXPECT_EQ(dir.state->texture_list.count(), 0);
}

} // namespace
