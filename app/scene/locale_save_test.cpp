// A host may set a comma-decimal locale for its own texts before it saves:
// the demo scene, with its backdrop, materials and textures, saves to the
// same bytes (scene, include files and their names, Targa files) as in "C".
#include "app/scene/scene_loader.h"

#include "oku/scene_db.h"
#include "scene/pov_save.h"
#include "tests/support/module_scene.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

// Every file a save of the demo leaves in dir, by name; the save (not the
// loading, which is the host's) runs under a comma-decimal locale when
// `comma`. The converted pictures go to the working folder, as when the
// host saves.
std::map<std::string, std::string> save_demo(const fs::path &dir, bool comma) {
  fs::remove_all(dir);
  fs::create_directories(dir);
  bf::load_scene_file(BF_SOURCE_DIR "/examples/demo/scene.json");
  const fs::path home = fs::current_path();
  fs::current_path(dir);
  TestSession module; // a fresh module state: part names count from 1
  {
    CommaDecimalLocale locale;
    if (!comma)
      locale.restore();
    EXPECT_EQ(pov_save(module.state, "demo.pov", db_get_root(), 1), 1);
  }
  fs::current_path(home);
  scene_reset();
  std::map<std::string, std::string> files;
  for (const fs::directory_entry &entry : fs::directory_iterator(dir))
    files[entry.path().filename().string()] = read_file(entry.path().string());
  return files;
}

TEST(SaveUnderCommaLocale, DemoSavesTheSameBytesAsInTheCLocale) {
  if (!CommaDecimalLocale().available())
    GTEST_SKIP() << CommaDecimalLocale::kMissing;
  const fs::path dir = fs::path(::testing::TempDir()) / ("bf_locale_" + std::to_string(::getpid()));
  const std::map<std::string, std::string> plain = save_demo(dir, false);
  const std::map<std::string, std::string> comma = save_demo(dir, true);
  fs::remove_all(dir);
  ASSERT_GT(plain.size(), 5u); // the scene, part include files, converted pictures
  EXPECT_NE(plain.at("demo.pov").find(" scale <"), std::string::npos);
  for (const auto &[name, bytes] : plain) {
    ASSERT_EQ(comma.count(name), 1u) << name << " is missing or named differently";
    EXPECT_TRUE(comma.at(name) == bytes) << name << " differs";
  }
  EXPECT_EQ(comma.size(), plain.size());
}

} // namespace
