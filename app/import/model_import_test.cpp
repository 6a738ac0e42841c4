// Scene import: the scene files that small generated glTF and Collada files
// give, and the odd files that must end in a message or a sensible scene.
#include "app/import/import_parts.h"
#include "app/import/load_progress.h"
#include "app/import/model_import.h"
#include "app/scene/scene_loader.h"
#include "tests/support/gltf.h"

#include "oku/scene_db.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <tuple>
#include <unistd.h>

namespace fs = std::filesystem;
using bftest::Gltf;
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
    if (!file)
      return json::object(); // the test's own checks then fail, instead of a crash
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
  // Linear light as shown; the green glow beside the red.
  expect_near(hand["color"], {1, 0, 0});
  expect_near(hand["emission"], {0, std::pow(0.5, 1 / 2.2), 0});
  EXPECT_NEAR(hand["opacity"].get<double>(), 0.5, 1e-6);
  EXPECT_NEAR(hand["reflectivity"].get<double>(), 0.25, 1e-6); // metallic 0.5, smooth 0.5
  EXPECT_EQ(thumb["color"], hand["color"]);
}

} // namespace

namespace {

// A Collada file: a turned and moved node with a Phong material, a camera
// with a horizontal angle and an aspect, a point light.
const char *kCollada = R"(<?xml version="1.0"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
 <asset><unit meter="1"/><up_axis>Y_UP</up_axis></asset>
 <library_cameras><camera id="cam" name="cam"><optics><technique_common><perspective>
  <xfov>60</xfov><aspect_ratio>1.5</aspect_ratio><znear>0.1</znear><zfar>100</zfar>
 </perspective></technique_common></optics></camera></library_cameras>
 <library_lights><light id="lamp" name="lamp"><technique_common><point><color>0.5 0.25 0.5</color>
  <constant_attenuation>1</constant_attenuation></point></technique_common></light></library_lights>
 <library_effects><effect id="fx"><profile_COMMON><technique sid="t"><phong>
  <diffuse><color>0.2 0.4 0.6 1</color></diffuse><specular><color>1 1 1 1</color></specular>
  <shininess><float>20</float></shininess></phong></technique></profile_COMMON></effect></library_effects>
 <library_materials><material id="mat" name="mat"><instance_effect url="#fx"/></material></library_materials>
 <library_geometries><geometry id="tri" name="tri"><mesh>
  <source id="p"><float_array id="pa" count="9">0 0 0 1 0 0 0 1 0</float_array>
   <technique_common><accessor source="#pa" count="3" stride="3"><param name="X" type="float"/>
   <param name="Y" type="float"/><param name="Z" type="float"/></accessor></technique_common></source>
  <vertices id="v"><input semantic="POSITION" source="#p"/></vertices>
  <triangles count="1" material="m"><input semantic="VERTEX" source="#v" offset="0"/><p>0 1 2</p></triangles>
 </mesh></geometry></library_geometries>
 <library_visual_scenes><visual_scene id="s" name="s">
  <node id="Turned" name="Turned"><translate>1 2 3</translate><rotate>0 1 0 90</rotate>
   <instance_geometry url="#tri"><bind_material><technique_common>
    <instance_material symbol="m" target="#mat"/></technique_common></bind_material></instance_geometry></node>
  <node id="Eye" name="Eye"><translate>1 2 9</translate><instance_camera url="#cam"/></node>
  <node id="Bulb" name="Bulb"><translate>0 4 0</translate><instance_light url="#lamp"/></node>
 </visual_scene></library_visual_scenes>
 <scene><instance_visual_scene url="#s"/></scene>
</COLLADA>)";

TEST_F(ModelImport, ColladaPlacementMaterialCameraAndLight) {
  std::ofstream(dir_ / "turned.dae") << kCollada;
  const json scene = imported(dir_ / "turned.dae");
  const json &top = scene["root"]["children"];
  const json turned = find(top, "Turned");
  EXPECT_EQ(turned["type"], "object");
  expect_near(turned["position"], {1, 2, 3});
  expect_near(turned["rotation"], {0, 90, 0});
  EXPECT_EQ(turned["geometry"],
            json::parse(R"({"part": "turned.dae", "part_mesh": 0, "part_label": "turned_tri"})"));
  expect_near(turned["color"], {0.2, 0.4, 0.6});
  expect_near(turned["specular"], {1, 1, 1});
  EXPECT_EQ(turned["shininess"], 20);
  const json eye = find(top, "Eye");
  expect_near(eye["position"], {1, 2, 9});
  // xfov is horizontal: kept across the default 4:3 picture.
  EXPECT_NEAR(eye["view_angle"].get<double>(), 2 * std::atan(std::tan(M_PI / 6) * 0.75) * 180 / M_PI, 1e-4);
  EXPECT_EQ(scene["viewpoint"], "Eye");
  const json bulb = find(top, "Bulb");
  EXPECT_EQ(bulb["kind"], "point");
  expect_near(bulb["position"], {0, 4, 0});
  expect_near(bulb["color"], {1, 0.5, 1});
  EXPECT_NEAR(bulb["intensity"].get<double>(), 0.5, 1e-6);
  EXPECT_FALSE(bulb.contains("fade_distance")); // constant attenuation
}

// glTF's lights fall with the square of the distance: a point or spot light
// keeps its strength at the scene's centre, 6 away, and fades from there; a
// directional light does not fade.
TEST_F(ModelImport, GltfLightsFadeFromTheScenesCentre) {
  Gltf g;
  g.node({{"name", "Box"}, {"mesh", g.cube()}});
  for (const char *type : {"point", "spot", "directional"}) {
    json l = {{"type", type}, {"intensity", 9}};
    if (std::string(type) == "spot")
      l["spot"] = {{"outerConeAngle", 0.5}};
    const int light = g.light(l);
    g.node({{"name", type},
            {"extensions", {{"KHR_lights_punctual", {{"light", light}}}}},
            {"translation", {0, 0, 6}}});
  }
  g.write(dir_ / "lamps.gltf");
  const json scene = imported(dir_ / "lamps.gltf");
  const json &top = scene["root"]["children"];
  for (const char *type : {"point", "spot"}) {
    const json lamp = find(top, type);
    EXPECT_NEAR(lamp["intensity"].get<double>(), 9.0 / 36, 1e-6) << lamp;
    EXPECT_NEAR(lamp.value("fade_distance", 0.0), 6, 1e-6) << lamp;
  }
  const json sun = find(top, "directional");
  EXPECT_NEAR(sun["intensity"].get<double>(), 9, 1e-6) << sun;
  EXPECT_FALSE(sun.contains("fade_distance")) << sun;
}

// A material of an OBJ file (its MTL lines) and the keys it gives.
TEST_F(ModelImport, HighlightsAndGlowsOfMaterials) {
  const struct {
    const char *mtl;
    json expected; // keys that must be there, with their values
    std::vector<std::string> absent;
  } cases[] = {
      // The glow as the file gives it, the colour too.
      {"Kd 0 0 0\nKe 1 1 1", {{"color", {0, 0, 0}}, {"emission", {1, 1, 1}}}, {}},
      {"Kd 0 1 1\nKe 1 1 0", {{"color", {0, 1, 1}}, {"emission", {1, 1, 0}}}, {}},
      {"Kd 0.2 0.2 0.2\nKe 0.1 0 0", {{"color", {0.2, 0.2, 0.2}}, {"emission", {0.1, 0, 0}}}, {}},
      // A specular colour without an exponent gets a highlight of its own.
      {"Kd 1 1 1\nKs 0.5 0.5 0.5", {{"specular", {0.5, 0.5, 0.5}}, {"shininess", 40}}, {}},
      {"Kd 1 1 1\nKs 1 1 1\nNs 0.5", {{"shininess", 64}}, {}}, // 0..1 scaled
      {"Kd 1 1 1\nKs 1 1 1\nNs 200", {{"shininess", 200}}, {}},
      {"Kd 1 1 1", {{"color", {1, 1, 1}}}, {"specular", "shininess", "emission"}},
  };
  int n = 0;
  for (const auto &c : cases) {
    const std::string name = "m" + std::to_string(++n);
    std::ofstream(dir_ / (name + ".mtl")) << "newmtl paint\n" << c.mtl << "\n";
    std::ofstream(dir_ / (name + ".obj")) << "mtllib " << name << ".mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\n"
                                          << "usemtl paint\nf 1 2 3\n";
    bf::ImportOptions no_floor;
    no_floor.studio.floor = false;
    const json object = imported(dir_ / (name + ".obj"), no_floor)["root"]["children"].back();
    for (const auto &[key, value] : c.expected.items()) {
      ASSERT_TRUE(object.contains(key)) << c.mtl << ": " << object;
      if (value.is_array())
        expect_near(object[key], value.get<std::vector<double>>());
      else
        EXPECT_NEAR(object[key].get<double>(), value.get<double>(), 1e-6) << c.mtl;
    }
    for (const auto &key : c.absent)
      EXPECT_FALSE(object.contains(key)) << c.mtl << ": " << object;
  }
  // glTF's metal and roughness: a weak highlight, none when fully rough.
  Gltf g;
  const int plastic =
      g.material({{"pbrMetallicRoughness", {{"metallicFactor", 0}, {"roughnessFactor", 0.5}}}});
  const int chalk = g.material({{"pbrMetallicRoughness", {{"metallicFactor", 0}, {"roughnessFactor", 1}}}});
  g.node({{"name", "Plastic"}, {"mesh", g.cube(plastic)}});
  g.node({{"name", "Chalk"}, {"mesh", g.cube(chalk)}, {"translation", {3, 0, 0}}});
  g.write(dir_ / "pbr.gltf");
  const json top = imported(dir_ / "pbr.gltf")["root"]["children"];
  expect_near(find(top, "Plastic")["specular"], {0.1, 0.1, 0.1});
  EXPECT_NEAR(find(top, "Plastic")["shininess"].get<double>(), 30, 1e-6);
  EXPECT_FALSE(find(top, "Chalk").contains("specular")) << find(top, "Chalk");
}

// One camera statement: the view point's; the file's other cameras stand
// by, and --camera or an edited "viewpoint" picks one of them.
TEST_F(ModelImport, OneCameraWritesTheOthersStandBy) {
  const fs::path model = "/usr/share/assimp/models/glTF2/cameras/Cameras.gltf";
  if (!fs::exists(model))
    GTEST_SKIP() << "assimp-testmodels is not installed";
  const auto cameras = [] {
    std::vector<std::string> names;
    std::vector<_object *> pending{db_get_root()};
    while (!pending.empty()) {
      _object *node = pending.back();
      pending.pop_back();
      if (obj_get_type(node) == OBJECT_TYPE_CAMERA)
        names.push_back(obj_get_name(node));
      for (const auto &child : node->children)
        pending.push_back(child.get());
    }
    return names;
  };
  for (const std::string chosen : {"", "nodes[2]"}) {
    bf::ImportOptions options;
    options.camera = chosen;
    json scene = imported(model, options);
    const std::string view = chosen.empty() ? "nodes[1]" : chosen; // the first is the perspective one
    EXPECT_EQ(scene["viewpoint"], view);
    EXPECT_EQ(find(scene["root"]["children"], "nodes[2]")["standby"], true);
    bf::load_scene_text(scene.dump(), (dir_ / "cameras.json").string());
    EXPECT_EQ(cameras(), std::vector<std::string>{view});
    // An edit of the view point alone moves the camera.
    scene["viewpoint"] = chosen.empty() ? "nodes[2]" : "nodes[1]";
    bf::load_scene_text(scene.dump(), (dir_ / "cameras.json").string());
    EXPECT_EQ(cameras(), std::vector<std::string>{scene["viewpoint"].get<std::string>()});
  }
}

// The view angle as each format fixes it, in a 4:3 picture and a 2:1 one.
TEST_F(ModelImport, CamerasFitAsTheirFormatSays) {
  const auto collada = [this](const std::string &optics) {
    std::string text = kCollada;
    const size_t from = text.find("<xfov>"), to = text.find("</perspective>");
    text.replace(from, to - from, optics + "<znear>0.1</znear>");
    std::ofstream(dir_ / "fit.dae") << text;
    return dir_ / "fit.dae";
  };
  const auto gltf = [this](const json &perspective) {
    Gltf g;
    g.node({{"name", "Box"}, {"mesh", g.cube()}});
    g.doc()["cameras"] = {{{"type", "perspective"}, {"perspective", perspective}}};
    g.node({{"name", "Eye"}, {"camera", 0}, {"translation", {0, 0, 10}}});
    g.write(dir_ / "fit.gltf");
    return dir_ / "fit.gltf";
  };
  const auto deg = [](double radians) { return radians * 180 / M_PI; };
  const auto across = [&](double degrees, double aspect) {
    return deg(2 * std::atan(std::tan(degrees * M_PI / 360) / aspect));
  };
  const fs::path spider = "/usr/share/assimp/models/FBX/spider.fbx";
  const struct {
    const char *rule;
    std::function<fs::path()> file;
    double at_4_3, at_2_1; // the vertical angle
  } cases[] = {
      {"glTF yfov with an aspect",
       [&] {
         return gltf({{"yfov", 0.8}, {"aspectRatio", 1.5}, {"znear", 0.1}});
       },
       deg(0.8), deg(0.8)},
      {"glTF yfov alone",
       [&] {
         return gltf({{"yfov", 0.8}, {"znear", 0.1}});
       },
       deg(0.8), deg(0.8)},
      {"Collada xfov alone", [&] { return collada("<xfov>60</xfov>"); }, across(60, 4.0 / 3), across(60, 2)},
      {"Collada xfov and aspect", [&] { return collada("<xfov>60</xfov><aspect_ratio>2</aspect_ratio>"); },
       across(60, 4.0 / 3), across(60, 2)},
      {"Collada yfov alone", [&] { return collada("<yfov>40</yfov>"); }, 40, 40},
      {"Collada yfov and aspect", [&] { return collada("<yfov>40</yfov><aspect_ratio>2</aspect_ratio>"); },
       40, 40},
      {"FBX horizontal gate fit", [&] { return spider; }, across(49.13434, 4.0 / 3), across(49.13434, 2)},
  };
  for (const auto &c : cases) {
    const fs::path file = c.file();
    if (!fs::exists(file))
      continue; // the test models are not installed
    for (const double aspect : {4.0 / 3, 2.0}) {
      bf::ImportOptions options;
      options.aspect = aspect;
      const json scene = imported(file, options);
      const json eye = find(scene["root"]["children"], scene["viewpoint"].get<std::string>());
      EXPECT_NEAR(eye["view_angle"].get<double>(), aspect == 2 ? c.at_2_1 : c.at_4_3, 1e-3) << c.rule;
    }
  }
}

// Odd files: each gives a message that says what is wrong, or a scene.
TEST_F(ModelImport, OddFiles) {
  const auto deep = [](int levels) {
    Gltf g;
    const int cube = g.cube();
    int parent = g.node({{"name", "level 0"}});
    for (int i = 1; i < levels; ++i)
      parent = g.node({{"name", "level " + std::to_string(i)}, {"translation", {0, 0.001, 0}}}, parent);
    g.node({{"name", "Leaf"}, {"mesh", cube}}, parent);
    return g;
  };
  const auto many = [] {
    Gltf g;
    const int cube = g.cube();
    for (int i = 0; i < 10000; ++i)
      g.node({{"name", "n" + std::to_string(i)},
              {"mesh", cube},
              {"translation", {i % 100 * 3, i / 100 * 3, 0}}});
    return g;
  };
  Gltf empty, cameras, lights, points, bare, huge;
  empty.node({{"name", "Nothing"}});
  cameras.doc()["cameras"] = {{{"type", "perspective"}, {"perspective", {{"yfov", 0.8}, {"znear", 0.1}}}}};
  cameras.node({{"name", "Eye"}, {"camera", 0}});
  lights.light({{"type", "point"}});
  lights.node({{"name", "Bulb"}, {"extensions", {{"KHR_lights_punctual", {{"light", 0}}}}}});
  points.node({{"name", "Dots"}, {"mesh", points.mesh({0, 0, 0, 1, 0, 0}, {0, 1}, -1, 0)}});
  points.node({{"name", "Line"}, {"mesh", points.mesh({0, 0, 0, 1, 0, 0}, {0, 1}, -1, 1)}});
  bare.node({{"name", "Bare"}, {"mesh", bare.mesh({0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2})}});
  const int far = huge.node({{"name", "Far"}, {"scale", {1e20, 1e20, 1e20}}});
  huge.node({{"name", "Farther"}, {"mesh", huge.cube()}, {"scale", {1e20, 1e20, 1e20}}}, far);
  huge.node({{"name", "Near"}, {"mesh", huge.cube()}});
  struct Case {
    const char *name;
    Gltf file;
    const char *message; // "" when the file gives a scene
    size_t objects;      // nodes of the scene's root that are not cameras or lights, the floor too
  } cases[] = {
      {"empty", empty, "nothing to draw: the file places no mesh with polygons", 0},
      {"cameras", cameras, "nothing to draw: the file places no mesh with polygons (it holds 1 camera)", 0},
      {"lights", lights, "(it holds 1 light)", 0},
      {"points", points, "(it holds 2 meshes of points or lines only)", 0},
      {"bare", bare, "", 2},
      {"huge", huge, "", 2},
      {"many", many(), "", 10001},
      {"deep", deep(1000), "", 2},
  };
  for (Case &c : cases) {
    const fs::path path = dir_ / (std::string(c.name) + ".gltf");
    c.file.write(path);
    std::string message;
    try {
      bf::load_scene_input(path.string());
    } catch (const bf::SceneError &e) {
      message = e.what();
    }
    if (*c.message) {
      EXPECT_NE(message.find(c.message), std::string::npos) << c.name << ": " << message;
      EXPECT_EQ(message.find(path.string()), 0u) << c.name << ": " << message;
      continue;
    }
    ASSERT_EQ(message, "") << c.name;
    size_t objects = 0;
    for (const auto &node : db_get_root()->children)
      objects += node->type == OBJECT_TYPE_GEOMETRY || node->type == OBJECT_TYPE_GROUP;
    EXPECT_EQ(objects, c.objects) << c.name;
  }
  // Assimp's own refusals (a node that is its own child, not a model)
  // name the file too.
  const fs::path recursive = "/usr/share/assimp/models/glTF2/RecursiveNodes/RecursiveNodes.gltf";
  std::ofstream(dir_ / "text.obj") << "hello\n";
  // A few bytes that announce billions of vertices are refused before
  // Assimp's reader sets aside room for them.
  std::ofstream(dir_ / "huge.off") << "OFF\n353535235358 6 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";
  for (const fs::path &path : {recursive, dir_ / "text.obj", dir_ / "huge.off", dir_ / "missing.glb"}) {
    if (!fs::exists(path.parent_path()))
      continue;
    try {
      bf::load_scene_input(path.string());
      ADD_FAILURE() << path << " loaded";
    } catch (const bf::SceneError &e) {
      const std::string why =
          path.extension() == ".glb" ? ": cannot read: No such file or directory" : ": cannot import: ";
      EXPECT_EQ(std::string(e.what()).find(path.string() + why), 0u) << e.what();
    }
  }
}

} // namespace

namespace {

// Progress appears only on a terminal and only after its delay, and its
// line is cleared when the load ends.
TEST(LoadProgress, QuietOffATerminalAndBeforeItsDelay) {
  ::testing::internal::CaptureStderr();
  {
    bf::LoadProgress quiet("reading x.glb"); // standard error is a file here
    quiet.update(0.5);
    EXPECT_FALSE(quiet.shown());
    bf::LoadProgress::set_always_for_tests(true, 60);
    bf::LoadProgress early("reading x.glb");
    early.update(0.5);
    EXPECT_FALSE(early.shown());
    bf::LoadProgress::set_always_for_tests(true, 0);
    bf::LoadProgress shown("reading x.glb");
    shown.update(0.25);
    shown.update(0.251); // the same percent: no new line
    EXPECT_TRUE(shown.shown());
  }
  bf::LoadProgress::set_always_for_tests(false, 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "\r\033[Kbrightfold: reading x.glb: 25%\r\033[K");
}

} // namespace

namespace {

// Scene-file entries that name a mesh of a model: shared, transformed, and
// refused with the place of the bad value.
TEST_F(ModelImport, PartMeshEntries) {
  Gltf g;
  g.node({{"name", "Cube"}, {"mesh", g.cube()}});
  g.write(dir_ / "cube.gltf");
  const auto object = [](const std::string &geometry) {
    return R"({ "type": "object", "geometry": )" + geometry + " }";
  };
  const std::string plain = object(R"({ "part": "cube.gltf", "part_mesh": 0 })");
  const std::string doubled = object(
      R"({ "part": "cube.gltf", "part_mesh": 0, "part_transform": [[2, 0, 0], [0, 2, 0], [0, 0, 2]] })");
  bf::load_scene_text(R"({ "root": { "children": [)" + plain + "," + plain + "," + doubled + "] } }",
                      (dir_ / "s.json").string());
  const auto &nodes = db_get_root()->children;
  ASSERT_EQ(nodes.size(), 3u);
  VYobject *first = obj_get_geometry(nodes[0].get()), *second = obj_get_geometry(nodes[1].get()),
           *third = obj_get_geometry(nodes[2].get());
  EXPECT_EQ(first, second); // read once, shared
  EXPECT_NE(first, third);
  float small[6], large[6];
  VYobject_getextents(first, small);
  VYobject_getextents(third, large);
  EXPECT_EQ(small[0], 2);
  EXPECT_EQ(large[0], 4);

  const struct {
    std::string geometry, message;
  } bad[] = {
      {R"({ "part": "cube.gltf", "part_mesh": 7 })",
       "/part_mesh: \"" + (dir_ / "cube.gltf").string() + "\" holds no mesh 7 with polygons"},
      {R"({ "part": "cube.gltf", "part_mesh": 0, "part_transform": [[1, 0, 0], [0, 1, 0]] })",
       "/part_transform: expected three rows of three numbers"},
      {R"({ "part": "gone.gltf", "part_mesh": 0 })",
       "/part: cannot load \"" + (dir_ / "gone.gltf").string() + "\": No such file or directory"},
      {R"({ "part": "cube.gltf", "part_mesh": 0, "part_size": 1 })", "part_size"},
  };
  for (const auto &b : bad) {
    try {
      bf::load_scene_text(R"({ "root": { "children": [)" + object(b.geometry) + "] } }",
                          (dir_ / "s.json").string());
      ADD_FAILURE() << b.geometry;
    } catch (const bf::SceneError &e) {
      EXPECT_NE(std::string(e.what()).find(b.message), std::string::npos) << e.what();
    }
  }
}

} // namespace

namespace {

// Without a camera or lights: a camera on the side of front, above and
// right of the up axis given, looking at the middle, three lights, and the
// studio floor under the cube along that axis.
TEST_F(ModelImport, DefaultViewsFollowTheUpAxis) {
  Gltf g;
  g.node({{"name", "Box"}, {"mesh", g.cube()}, {"translation", {10, 0, 0}}});
  g.write(dir_ / "box.gltf");
  const double k = 1 / std::sqrt(3.0);
  for (const auto &[up, sky, towards] :
       {std::tuple<char, std::vector<double>, std::vector<double>>{0, {0, 1, 0}, {k, k, k}},
        {'z', {0, 0, 1}, {k, -k, k}}}) {
    bf::ImportOptions options;
    options.up = up;
    const json scene = imported(dir_ / "box.gltf", options);
    EXPECT_EQ(scene["viewpoint"], "Default camera");
    const json &top = scene["root"]["children"];
    const json camera = find(top, "Default camera");
    expect_near(camera["look_at"], {10, 0, 0});
    expect_near(camera["sky"], sky);
    EXPECT_EQ(camera["view_angle"], 45);
    std::vector<double> offset(3);
    double distance = 0;
    for (int i = 0; i < 3; ++i)
      offset[i] = camera["position"][i].get<double>() - camera["look_at"][i].get<double>(),
      distance += offset[i] * offset[i];
    distance = std::sqrt(distance);
    // The sphere around the cube (radius sqrt(3)) fits the vertical 45 degrees.
    EXPECT_GT(distance, std::sqrt(3.0) / std::sin(M_PI / 8));
    for (double &v : offset)
      v /= distance;
    expect_near(json(offset), towards);
    EXPECT_EQ(find(top, "Key light")["kind"], "point");
    EXPECT_EQ(find(top, "Fill light")["intensity"], 0.4);
    EXPECT_EQ(find(top, "Rim light")["intensity"], 0.5);
    for (const char *name : {"Key light", "Fill light", "Rim light"}) { // fading from the centre
      const json light = find(top, name);
      double d2 = 0;
      for (int i = 0; i < 3; ++i)
        d2 += std::pow(light["position"][i].get<double>() - camera["look_at"][i].get<double>(), 2);
      EXPECT_NEAR(light.value("fade_distance", 0.0), std::sqrt(d2), 1e-4) << light;
    }
    const json floor = find(top, "Studio floor");
    const int along = up == 'z' ? 2 : 1;
    EXPECT_LT(floor["geometry"]["size"][along].get<double>(), 0.1); // thin along the up axis
    EXPECT_GT(floor["geometry"]["size"][3 - along].get<double>(), 100);
    const double top_face =
        floor["position"][along].get<double>() + floor["geometry"]["size"][along].get<double>() / 2;
    EXPECT_NEAR(top_face, -1, 1e-5); // where the cube's lowest point is
  }
}

} // namespace

namespace {

// The up axis from the file's metadata (FBX files carry one), unless
// --up says otherwise; the right is the front crossed with the up.
TEST(SceneAxes, FromMetadataUnlessOverridden) {
  using bf::import::Vec3;
  const auto expect_axis = [](const Vec3 &v, const std::vector<double> &e) {
    EXPECT_EQ(std::vector<double>({v.x, v.y, v.z}), e);
  };
  aiScene scene;
  expect_axis(bf::import::scene_axes(scene, 0).up, {0, 1, 0}); // no metadata
  scene.mMetaData = aiMetadata::Alloc(4);
  scene.mMetaData->Set(0, "UpAxis", int32_t(2));
  scene.mMetaData->Set(1, "UpAxisSign", int32_t(1));
  scene.mMetaData->Set(2, "FrontAxis", int32_t(1));
  scene.mMetaData->Set(3, "FrontAxisSign", int32_t(-1));
  const bf::import::Axes z = bf::import::scene_axes(scene, 0);
  expect_axis(z.up, {0, 0, 1});
  expect_axis(z.front, {0, -1, 0});
  expect_axis(z.right, {1, 0, 0});
  expect_axis(bf::import::scene_axes(scene, 'y').up, {0, 1, 0});
  scene.mMetaData->Set(1, "UpAxisSign", int32_t(-1));
  expect_axis(bf::import::scene_axes(scene, 0).up, {0, 0, -1});
}

} // namespace
