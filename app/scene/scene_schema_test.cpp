// The scene file's key table against the program: every key given at the
// default the table states saves the same scene as the key left out.
#include "app/scene/scene_schema.h"

#include "tests/support/files.h"
#include "tests/support/run.h"
#include "tests/support/targa.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <map>

namespace fs = std::filesystem;
namespace sk = bf::scene_keys;
using ojson = nlohmann::ordered_json;

namespace {

const std::string kProgram = BF_BINARY_DIR "/bin/brightfold";

// A scene with a place for every table's keys: objects of each primitive,
// a part file, an inline mesh and a texture, lights and a camera.
const char *kScene = R"({"environment": {}, "root": {"children": [
  {"type": "object", "geometry": {"primitive": "box"}, "texture": {"image": "pic.tga"}},
  {"type": "object", "geometry": {"primitive": "cylinder"}, "texture": {}},
  {"type": "object", "geometry": {"primitive": "sphere"}},
  {"type": "object", "geometry": {"primitive": "rectangle"}},
  {"type": "object", "geometry": {"part": "tri.obj"}},
  {"type": "object", "geometry": {"mesh": {"vertices": [[0, 0, 0], [1, 0, 0], [0, 1, 0]],
                                           "polygons": [{"v": [0, 1, 2]}]}}},
  {"type": "object", "geometry": {"mesh": {}}},
  {"type": "light", "position": [2, 3, -4]},
  {"type": "light", "kind": "spot", "position": [0, 5, 0], "look_at": [0, 0, 0]},
  {"type": "camera", "position": [0, 1, -6]}]}})";

// Where each table's keys are tried (JSON pointers into kScene).
const std::map<std::string, std::vector<std::string>> kPlaces = {
    {"environment", {"/environment"}},
    {"node", {"/root/children/0", "/root/children/8", "/root/children/9"}},
    {"primitive",
     {"/root/children/0/geometry", "/root/children/1/geometry", "/root/children/2/geometry",
      "/root/children/3/geometry"}},
    {"part file", {"/root/children/4/geometry"}},
    {"mesh", {"/root/children/5/geometry/mesh", "/root/children/6/geometry/mesh"}},
    {"texture", {"/root/children/0/texture", "/root/children/1/texture"}},
    {"animation", {"/root/children/0/animation"}}, // a still shows the node as it is
};

class SceneSchema : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) / ("bf_schema_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    bftest::write_file(dir_ / "tri.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    bftest::write_targa(dir_ / "pic.tga", 2, 2, 24, [](int, int) { return bftest::Rgba{200, 100, 50, 255}; });
  }
  void TearDown() override { fs::remove_all(dir_); }
  // The saved scene of `scene`; "" when the save fails.
  std::string saved(const ojson &scene) {
    bftest::write_file(dir_ / "scene.json", scene.dump());
    const bftest::RunResult r =
        bftest::run_program(kProgram, {"save", "scene.json", "out.pov"}, {dir_.string(), {}, 60});
    return r.status == 0 ? bftest::read_file(dir_ / "out.pov") : "";
  }
  fs::path dir_;
};

TEST_F(SceneSchema, EveryKeyAtItsDefaultSavesTheSameScene) {
  const ojson base = ojson::parse(kScene);
  const std::string expected = saved(base);
  ASSERT_NE(expected, "");
  for (const sk::Table *table : sk::all_tables())
    for (const sk::Key *key : table->keys) {
      const ojson fallback = ojson::parse(key->fallback, nullptr, false);
      if (fallback.is_discarded())
        continue; // no single value
      const auto places = kPlaces.find(table->name);
      ASSERT_NE(places, kPlaces.end()) << "no place to try the " << table->name << " key " << key->name;
      int tried = 0;
      for (const std::string &place : places->second) {
        ojson scene = base;
        ojson &target = scene[ojson::json_pointer(place)];
        if (target.contains(key->name))
          continue;
        target[key->name] = fallback;
        const std::string got = saved(scene);
        if (got.empty())
          continue; // the key does not go there (sky without look_at)
        ++tried;
        EXPECT_EQ(got, expected) << key->name << ": " << key->fallback << " at " << place;
      }
      EXPECT_GT(tried, 0) << key->name << " was taken nowhere";
    }
}

} // namespace
