// Scene import: the scene files that small generated glTF and Collada files
// give, and the odd files that must end in a message or a sensible scene.
#include "import_test_support.h"
#include "model_import.h"

#include "oku/scene_db.h"

#include <gtest/gtest.h>

#include <cmath>
#include <unistd.h>

namespace fs = std::filesystem;
using importtest::Gltf;
using json = nlohmann::json;

namespace {

class ModelImport : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) / ("bf_import_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    scene_reset();
    fs::remove_all(dir_);
  }
  // The scene file that importing `model` beside it gives, read back.
  json imported(const fs::path &model, const bf::ImportOptions &options = {}) {
    std::string error;
    auto file = bf::ModelFile::open(model.string(), error);
    EXPECT_TRUE(file) << error;
    return json::parse(bf::scene_text(bf::import_model(*file, options, dir_)));
  }
  // The node named `name` among `nodes` (the root's children by default).
  static json find(const json &nodes, const std::string &name) {
    for (const json &n : nodes)
      if (n.value("name", "") == name)
        return n;
    return json();
  }
  fs::path dir_;
};

void expect_near(const json &actual, const std::vector<double> &expected) {
  ASSERT_EQ(actual.size(), expected.size()) << actual;
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_NEAR(actual[i].get<double>(), expected[i], 1e-5) << actual;
}

// A hierarchy with a turned group, a scaled and an unscaled placement of
// one mesh, a mesh of points, a material, a camera and a light.
TEST_F(ModelImport, GltfHierarchyMaterialsCameraAndLight) {
  Gltf g;
  const int red =
      g.material({{"pbrMetallicRoughness",
                   {{"baseColorFactor", {1, 0, 0, 0.5}}, {"metallicFactor", 0.5}, {"roughnessFactor", 0.5}}},
                  {"emissiveFactor", {0, 0.5, 0}},
                  {"alphaMode", "BLEND"}});
  const int cube = g.cube(red);
  const int dots = g.mesh({0, 0, 0, 1, 1, 1}, {0, 1}, -1, 0);
  const double s = std::sqrt(0.5);
  const int arm = g.node({{"name", "Arm"}, {"translation", {1, 2, 3}}, {"rotation", {0, 0, s, s}}});
  g.node({{"name", "Hand"}, {"mesh", cube}, {"translation", {0, 1, 0}}, {"scale", {2, 2, 2}}}, arm);
  g.node({{"name", "Thumb"}, {"mesh", cube}, {"translation", {0, 0, 1}}}, arm);
  g.node({{"name", "Dots"}, {"mesh", dots}}, arm);
  g.doc()["cameras"] = {
      {{"type", "perspective"}, {"perspective", {{"yfov", 0.8}, {"aspectRatio", 1.5}, {"znear", 0.1}}}}};
  g.node({{"name", "Eye"}, {"camera", 0}, {"translation", {0, 0, 10}}});
  g.light({{"type", "spot"}, {"color", {1, 0.5, 0}}, {"intensity", 2}, {"spot", {{"outerConeAngle", 0.5}}}});
  g.node({{"name", "Lamp"},
          {"extensions", {{"KHR_lights_punctual", {{"light", 0}}}}},
          {"translation", {0, 5, 0}}});
  g.write(dir_ / "arm.gltf");

  const json scene = imported(dir_ / "arm.gltf");
  EXPECT_EQ(scene["viewpoint"], "Eye");
  const json &top = scene["root"]["children"];
  const json eye = find(top, "Eye");
  EXPECT_EQ(eye["type"], "camera");
  expect_near(eye["position"], {0, 0, 10});
  EXPECT_NEAR(eye["view_angle"].get<double>(), 0.8 * 180 / M_PI, 1e-4);
  expect_near(eye["sky"], {0, 1, 0});
  EXPECT_NEAR(eye["look_at"][0].get<double>(), 0, 1e-6);
  EXPECT_LT(eye["look_at"][2].get<double>(), 10); // looks down -z
  const json lamp = find(top, "Lamp");
  EXPECT_EQ(lamp["kind"], "spot");
  expect_near(lamp["position"], {0, 5, 0});
  expect_near(lamp["look_at"], {0, 5, -1}); // a glTF light shines down its -z
  expect_near(lamp["color"], {1, 0.5, 0});
  EXPECT_NEAR(lamp["cone_angle"].get<double>(), 0.5 * 180 / M_PI, 1e-4);

  const json arm_group = find(top, "Arm");
  EXPECT_EQ(arm_group["type"], "group");
  expect_near(arm_group["position"], {1, 2, 3});
  expect_near(arm_group["rotation"], {0, 0, 90});
  ASSERT_EQ(arm_group["children"].size(), 2u) << arm_group; // the points are left out
  const json hand = find(arm_group["children"], "Hand"), thumb = find(arm_group["children"], "Thumb");
  expect_near(hand["position"], {0, 1, 0});
  EXPECT_FALSE(hand.contains("rotation"));
  EXPECT_EQ(hand["geometry"],
            json::parse(R"({"part": "arm.gltf", "part_mesh": 0, "part_label": "arm_meshes_0",
                                            "part_transform": [[2, 0, 0], [0, 2, 0], [0, 0, 2]]})"));
  EXPECT_EQ(thumb["geometry"],
            json::parse(R"({"part": "arm.gltf", "part_mesh": 0, "part_label": "arm_meshes_0_2"})"));
  expect_near(hand["color"], {1, 0, 0});
  expect_near(hand["emission"], {0, 0.5, 0});
  EXPECT_NEAR(hand["opacity"].get<double>(), 0.5, 1e-6);
  EXPECT_NEAR(hand["reflectivity"].get<double>(), 0.25, 1e-6); // metallic 0.5, smooth 0.5
  EXPECT_EQ(thumb["color"], hand["color"]);
}

} // namespace
