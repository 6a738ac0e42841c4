// Scene import of image textures and vertex colours: the scene file names
// an image file beside the model and lays it on by the mesh's texture
// coordinates; the host mesh's corners carry those coordinates and colours.
#include "app/import/model_import.h"
#include "app/scene/scene_loader.h"
#include "tests/support/gltf.h"
#include "tests/support/png.h"

#include "oku/scene_db.h"
#include "vy/image_bounds.h"
#include "vy/mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;
using bftest::Gltf;
using json = nlohmann::json;

namespace {

const fs::path kModels = "/usr/share/assimp/models";

class ImportTexture : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) / ("bf_import_texture_" + std::to_string(::getpid()));
    fs::create_directories(dir_ / "model" / "maps");
  }
  void TearDown() override {
    scene_reset();
    fs::remove_all(dir_);
  }
  // The objects of the scene file that importing `model` into dir_ gives,
  // at any depth.
  json objects(const fs::path &model) {
    std::string error;
    auto file = bf::ModelFile::open(model.string(), error);
    EXPECT_TRUE(file) << error;
    json out = json::object();
    if (!file)
      return out;
    const json scene = json::parse(bf::scene_text(bf::import_model(*file, {}, dir_)));
    std::function<void(const json &)> walk = [&](const json &parent) {
      for (const json &node : parent.value("children", json::array())) {
        if (node.value("type", "") == "object")
          out[node.value("name", "")] = node;
        walk(node);
      }
    };
    walk(scene["root"]);
    return out;
  }
  // The host node of that name, the model loaded as save and render load it.
  static _object *node(const std::string &name) {
    for (const auto &n : db_get_root()->children)
      if (name == obj_get_name(n.get()))
        return n.get();
    ADD_FAILURE() << "no node " << name;
    return nullptr;
  }
  fs::path dir_;
};

// Each corner of the mesh: its position, its texture coordinates and colour
// when it has them (NAN when not).
struct Corner {
  float p[3], uv[2] = {NAN, NAN}, rgb[3] = {NAN, NAN, NAN};
};
std::vector<Corner> corners(VYobject *mesh) {
  std::vector<Corner> out;
  VYpolygon poly;
  VYpolygon_initpoly(poly, mesh);
  while (VYpolygon_nextpoly(poly, poly))
    for (int k = 0; k < VYpolygon_nvertices(poly); ++k) {
      VYvertex *v = VYpolygon_getvertex(poly, k);
      Corner c;
      VYvertex_getposition(v, c.p, 0);
      VYvertex_getuv(v, c.uv);
      VYvertex_getcolor(v, c.rgb[0], c.rgb[1], c.rgb[2]);
      out.push_back(c);
    }
  return out;
}

// A unit quad in z = 0 whose texture coordinates put the image upright on
// it (glTF counts v down the image), beside one with vertex colours only
// (one above 1, one not a number).
TEST_F(ImportTexture, AQuadKeepsItsImageCoordinatesAndColours) {
  ASSERT_TRUE(bftest::write_png((dir_ / "model" / "maps" / "quad.png").string(), 2, 2,
                                {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255}));
  const std::vector<float> square{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
  const std::vector<float> down_the_image{0, 1, 1, 1, 1, 0, 0, 0};
  Gltf g;
  const int quad = g.mesh(square, {0, 1, 2, 0, 2, 3},
                          g.material({{"pbrMetallicRoughness",
                                       {{"baseColorTexture", {{"index", g.texture("maps/quad.png")}}}}}}));
  g.attribute(quad, "TEXCOORD_0", down_the_image, 2);
  const int painted = g.mesh(square, {0, 1, 2, 0, 2, 3});
  g.attribute(painted, "COLOR_0", {1, 0, 0, 0, 1, 0, 2, -1, 0, NAN, 0, 0}, 3);
  g.node({{"name", "Quad"}, {"mesh", quad}});
  g.node({{"name", "Painted"}, {"mesh", painted}, {"translation", {2, 0, 0}}});
  const fs::path model = dir_ / "model" / "quad.gltf";
  g.write(model);

  const json found = objects(model);
  EXPECT_EQ(found["Quad"]["texture"], json({{"image", "model/maps/quad.png"}, {"mapping", "uv"}}));
  EXPECT_EQ(found["Quad"]["color"], json({0.5, 0.5, 0.5})) << "the image's mean, as before";
  EXPECT_FALSE(found["Painted"].contains("texture"));

  bf::load_scene_input(model.string());
  _object *q = node("Quad");
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(obj_get_texturemapping(q), 1);
  EXPECT_EQ(obj_get_texturename(q), (dir_ / "model" / "maps" / "quad.png").string());
  const std::vector<Corner> quad_corners = corners(obj_get_geometry(q));
  ASSERT_EQ(quad_corners.size(), 6u);
  for (const Corner &c : quad_corners) { // u right, v up: the image's bottom left at [0, 0]
    EXPECT_EQ(c.uv[0], c.p[0]);
    EXPECT_EQ(c.uv[1], c.p[1]);
    EXPECT_TRUE(std::isnan(c.rgb[0]));
  }
  // Corners in the file's order (0 1 2, 0 2 3), colours held to 0..1; the
  // corner whose colour is not a number has none, nor texture coordinates.
  std::ostringstream painted_corners;
  for (const Corner &c : corners(obj_get_geometry(node("Painted"))))
    painted_corners << c.rgb[0] << ' ' << c.rgb[1] << ' ' << c.rgb[2] << ' ' << c.uv[0] << ", ";
  EXPECT_EQ(painted_corners.str(),
            "1 0 0 nan, 0 1 0 nan, 1 0 0 nan, 1 0 0 nan, 1 0 0 nan, nan nan nan nan, ");
}

// Real files of each format: the texture file beside the model, or the
// picture inside it by the name the host holds it under (MODEL#N), laid on
// by the coordinates that reach the host mesh.
TEST_F(ImportTexture, RealFilesNameTheirImageFiles) {
  const struct {
    const char *model, *image;
    bool painted = false; // corner colours: the part's, no "color" key
  } files[] = {
      {"glTF2/BoxTextured-glTF/BoxTextured.gltf", "CesiumLogoFlat.png"},
      {"Collada/duck.dae", "duckCM.tga"},
      {"OBJ/spider.obj", "SpiderTex.jpg"},
      {"3DS/cube_with_diffuse_texture.3DS", "test.png"},
      {"glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", "BoxTextured.glb#0"},
      {"glTF2/BoxTextured-glTF-Embedded/BoxTextured.gltf", "BoxTextured.gltf#0"},
      {"FBX/box_orphant_embedded_texture.fbx", "box_orphant_embedded_texture.fbx#0"},
      // Its material names coordinate set 1 (3ds Max's "CHANNEL1"), its one set.
      {"Collada/kwxport_test_vcolors.dae", "updown.tga", true},
  };
  for (const auto &f : files) {
    const fs::path model = kModels / f.model;
    if (!fs::exists(model)) {
      ADD_FAILURE() << model << " is missing (assimp-testmodels)";
      continue;
    }
    std::string textured; // an object with that image
    const json found = objects(model);
    for (auto it = found.begin(); it != found.end(); ++it)
      if (const json &object = it.value(); object.contains("texture")) {
        EXPECT_EQ(object["texture"]["mapping"], "uv") << f.model;
        EXPECT_NE(object.contains("color"), f.painted) << f.model;
        if (fs::path(object["texture"]["image"].get<std::string>()).filename() == f.image)
          textured = it.key();
      }
    ASSERT_FALSE(textured.empty()) << f.model << " names no " << f.image;
    bf::load_scene_input(model.string());
    _object *n = node(textured);
    ASSERT_NE(n, nullptr) << f.model;
    EXPECT_EQ(obj_get_texturemapping(n), 1) << f.model;
    std::unique_ptr<VYbitmap> picture(image_reader_invoke(obj_get_texturename(n)));
    EXPECT_NE(picture, nullptr) << f.model << ": " << vy_image_reader_failure();
    long with_uv = 0;
    const std::vector<Corner> all = corners(obj_get_geometry(n));
    for (const Corner &c : all)
      with_uv += !std::isnan(c.uv[0]);
    EXPECT_EQ(with_uv, static_cast<long>(all.size())) << f.model;
    scene_reset();
  }
}

// The wrap modes and KHR_texture_transform of real glTF files as the
// texture's keys: glTF's offset o, rotation r and scale s (v down) become,
// with v up, the angle r, the scale s and the position (o.u + s.v sin r,
// 1 - o.v - s.v cos r); a sampler that magnifies linearly gives "quality"
// 1. A file that repeats, moves and filters nothing adds no key.
TEST_F(ImportTexture, RealGltfWrapModesAndTransformsBecomeKeys) {
  const double r = 0.3, s = 1.5;
  const struct {
    const char *model, *object;
    json keys; // beyond image and mapping
  } files[] = {
      {"glTF2/BoxTextured-glTF/BoxTextured.gltf",
       "nodes[1]",
       {{"wrap", {"mirror", "clamp"}}, {"quality", 1}}},
      {"glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", "nodes[1]", {{"quality", 1}}},
      {"glTF2/textureTransform/TextureTransformTest.gltf",
       "Offset V",
       {{"wrap", {"clamp", "clamp"}}, {"quality", 1}, {"position", {0, -0.5}}}},
      {"glTF2/textureTransform/TextureTransformTest.gltf",
       "Scale",
       {{"wrap", {"clamp", "clamp"}}, {"quality", 1}, {"scale", {s, s}}, {"position", {0, 1 - s}}}},
      {"glTF2/textureTransform/TextureTransformTest.gltf",
       "All",
       {{"wrap", {"clamp", "clamp"}},
        {"quality", 1},
        {"scale", {s, s}},
        {"angle", r * 180 / M_PI},
        {"position", {-0.2 + s * std::sin(r), 1 + 0.1 - s * std::cos(r)}}}},
      {"glTF2/textureTransform/TextureTransformTest.gltf", "All - Correct", json::object()},
  };
  for (const auto &f : files) {
    json texture = objects(kModels / f.model)[f.object]["texture"];
    ASSERT_TRUE(texture.is_object()) << f.model << " " << f.object;
    texture.erase("image"), texture.erase("mapping");
    EXPECT_EQ(texture.size(), f.keys.size()) << f.object << ": " << texture.dump();
    for (auto it = f.keys.begin(); it != f.keys.end(); ++it) {
      const json &got = texture[it.key()], &want = it.value();
      if (want.is_array() && want[0].is_number())
        for (size_t i = 0; i < 2; ++i)
          EXPECT_NEAR(got.at(i).get<double>(), want[i].get<double>(), 1e-5) << f.object << " " << it.key();
      else if (want.is_number())
        EXPECT_NEAR(got.get<double>(), want.get<double>(), 1e-4) << f.object << " " << it.key();
      else
        EXPECT_EQ(got, want) << f.object << " " << it.key();
    }
  }
}

// A picture inside the model beyond the pixel budget (its header alone) is
// refused with the reader's reason: the material keeps its colour, the
// scene loads.
TEST_F(ImportTexture, APictureInsideTheModelBeyondTheBudgetKeepsThePlainColour) {
  Gltf g;
  const int huge = g.texture("data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAIAEAACAACAIAAAAAAAAA");
  const int quad =
      g.mesh({0, 0, 0, 1, 0, 0, 1, 1, 0}, {0, 1, 2},
             g.material({{"pbrMetallicRoughness",
                          {{"baseColorFactor", {1, 1, 1, 1}}, {"baseColorTexture", {{"index", huge}}}}}}));
  g.attribute(quad, "TEXCOORD_0", {0, 0, 1, 0, 1, 1}, 2);
  g.node({{"name", "Quad"}, {"mesh", quad}});
  const fs::path model = dir_ / "model" / "huge.gltf";
  g.write(model);
  const json found = objects(model);
  EXPECT_FALSE(found["Quad"].contains("texture"));
  EXPECT_EQ(found["Quad"]["color"], json({1, 1, 1}));
  EXPECT_NO_THROW(bf::load_scene_input(model.string()));
}

} // namespace
