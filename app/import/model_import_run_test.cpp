// Scene import through the built program: a model saved directly and its
// imported scene file saved give the same bytes, and POV-Ray's picture of
// an imported scene is neither mirrored nor upside down.
#include "tests/support/files.h"
#include "tests/support/gltf.h"
#include "tests/support/run.h"

#include "zalvy.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

namespace fs = std::filesystem;
using bftest::Gltf;

namespace {

const std::string kProgram = BF_BINARY_DIR "/bin/brightfold";

using bftest::read_file;

class ImportRun : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) / ("bf_import_run_" + std::to_string(::getpid()));
    fs::create_directories(dir_ / "direct");
    fs::create_directories(dir_ / "scenes" / "saved");
  }
  void TearDown() override { fs::remove_all(dir_); }
  // Runs brightfold with `args`; answers the exit code, keeps standard error.
  int brightfold(const std::vector<std::string> &args) {
    const bftest::RunResult result = bftest::run_program(kProgram, args);
    err_ = result.err;
    return result.status;
  }

  // A red cube right of the scene's middle and a green one above it; a
  // camera on +z looking down -z with +y up and a light beside it, or no
  // camera and no light.
  fs::path scene(bool with_views) {
    Gltf g;
    const int red = g.material({{"pbrMetallicRoughness", {{"baseColorFactor", {1, 0, 0, 1}}}}});
    const int green = g.material({{"pbrMetallicRoughness", {{"baseColorFactor", {0, 1, 0, 1}}}}});
    g.node({{"name", "Red"}, {"mesh", g.cube(red)}, {"translation", {3, 0, 0}}});
    g.node({{"name", "Green"}, {"mesh", g.cube(green)}, {"translation", {0, 3, 0}}});
    if (with_views) {
      g.doc()["cameras"] = {{{"type", "perspective"},
                             {"perspective", {{"yfov", 0.9}, {"aspectRatio", 4.0 / 3}, {"znear", 0.1}}}}};
      g.node({{"name", "Eye"}, {"camera", 0}, {"translation", {0, 0, 12}}});
      g.light({{"type", "directional"}, {"intensity", 1}});
      g.node({{"name", "Sun"}, {"extensions", {{"KHR_lights_punctual", {{"light", 0}}}}}});
    }
    const fs::path path = dir_ / (with_views ? "viewed.gltf" : "bare.gltf");
    g.write(path);
    return path;
  }

  // Pixels of colour `channel` (0 red, 1 green) in a rendered picture.
  struct Spots {
    long count = 0, on_border = 0;
    double mean_x = 0, mean_y = 0;
  };
  static Spots spots(const VYbitmap &picture, int channel) {
    Spots s;
    const int bpp = picture.bytes_per_pixel();
    for (int y = 0; y < picture.height(); ++y)
      for (int x = 0; x < picture.width(); ++x) {
        const unsigned char *p = picture.data() + (static_cast<size_t>(y) * picture.width() + x) * bpp;
        if (p[channel] < 80 || p[1 - channel] > p[channel] / 2 || p[2] > p[channel] / 2)
          continue;
        ++s.count, s.mean_x += x, s.mean_y += y;
        s.on_border += x == 0 || y == 0 || x == picture.width() - 1 || y == picture.height() - 1;
      }
    if (s.count > 0)
      s.mean_x /= s.count, s.mean_y /= s.count;
    return s;
  }
  std::unique_ptr<VYbitmap> render(const fs::path &model) {
    const fs::path out = dir_ / (model.stem().string() + ".tga");
    EXPECT_EQ(brightfold({"render", model.string(), out.string(), "--width", "160", "--height", "120"}), 0)
        << err_;
    return std::unique_ptr<VYbitmap>(image_reader_invoke(out.c_str()));
  }

  fs::path dir_;
  std::string err_;
};

TEST_F(ImportRun, SavingTheModelOrItsImportedSceneGivesTheSameBytes) {
  const fs::path model = scene(true);
  const fs::path imported = dir_ / "scenes" / "viewed.json";
  // The studio look as it comes, and as the options change it.
  for (const std::vector<std::string> &look :
       {std::vector<std::string>{}, {"--background", "#336699", "--floor", "off"}}) {
    const auto with_look = [&look](std::vector<std::string> args) {
      args.insert(args.end(), look.begin(), look.end());
      return args;
    };
    ASSERT_EQ(brightfold(with_look({"import", model.string(), imported.string()})), 0) << err_;
    EXPECT_NE(read_file(imported).find("\"part\": \"../viewed.gltf\""), std::string::npos)
        << read_file(imported);
    for (const char *version : {"3.0", "3.7"}) { // in each language
      ASSERT_EQ(brightfold(with_look({"save", model.string(), (dir_ / "direct" / "out.pov").string(),
                                      "--pov-version", version})),
                0)
          << err_;
      ASSERT_EQ(brightfold({"save", imported.string(), (dir_ / "scenes" / "saved" / "out.pov").string(),
                            "--pov-version", version}),
                0)
          << err_;
      size_t files = 0;
      for (const auto &entry : fs::directory_iterator(dir_ / "direct")) {
        const fs::path twin = dir_ / "scenes" / "saved" / entry.path().filename();
        EXPECT_EQ(read_file(entry.path()), read_file(twin)) << entry.path().filename() << " " << version;
        ++files;
      }
      EXPECT_EQ(files, 3u); // the scene and the include files of its two parts
    }
    EXPECT_EQ(read_file(imported).find("Studio floor") == std::string::npos, !look.empty());
  }
}

// The picture inside a .glb is laid on as its twin's image file is: saved
// alike from the model and from its imported scene (converted beside the
// scene in 3.7, where 3.0 shows the mean colour), and drawn alike.
TEST_F(ImportRun, APictureInsideTheModelIsLaidOnAsAFileBesideItIs) {
  const fs::path models = "/usr/share/assimp/models/glTF2";
  const fs::path glb = dir_ / "box" / "BoxTextured.glb", twin = dir_ / "twin" / "BoxTextured.gltf";
  fs::create_directories(glb.parent_path());
  fs::copy(models / "BoxTextured-glTF-Binary" / glb.filename(), glb);
  fs::copy(models / "BoxTextured-glTF", twin.parent_path());
  // The .gltf's sampler mirrors and clamps where the .glb's repeats: the
  // twin is made to repeat too.
  std::string text = read_file(twin);
  for (const char *mode : {"33648", "33071"})
    text.replace(text.find(mode), 5, "10497");
  bftest::write_file(twin, text);
  const fs::path imported = dir_ / "scenes" / "box.json";
  ASSERT_EQ(brightfold({"import", glb.string(), imported.string()}), 0) << err_;
  EXPECT_NE(read_file(imported).find("\"image\": \"../box/BoxTextured.glb#0\""), std::string::npos);
  for (const std::string version : {"3.0", "3.7"}) {
    const fs::path direct = dir_ / ("direct" + version), saved = dir_ / "scenes" / ("saved" + version);
    fs::create_directories(direct), fs::create_directories(saved);
    ASSERT_EQ(brightfold({"save", glb.string(), (direct / "out.pov").string(), "--pov-version", version}), 0)
        << err_;
    ASSERT_EQ(brightfold({"save", imported.string(), (saved / "out.pov").string(), "--pov-version", version}),
              0)
        << err_;
    size_t files = 0;
    for (const auto &entry : fs::directory_iterator(direct)) {
      EXPECT_EQ(read_file(entry.path()), read_file(saved / entry.path().filename())) << entry.path();
      ++files;
    }
    EXPECT_EQ(fs::exists(direct / "oku_BoxTextured.glb#0.tga"), version == "3.7");
    EXPECT_EQ(files, version == "3.7" ? 3u : 2u); // the scene, the box's include, its picture
  }
  if (std::string(BF_POVRAY).empty())
    GTEST_SKIP() << "POV-Ray is not installed";
  const auto picture = render(glb), file_twin = render(twin);
  ASSERT_TRUE(picture && file_twin);
  ASSERT_EQ(picture->data_size(), file_twin->data_size());
  long difference = 0, blue = 0; // the logo's blue, which the mean colour lacks
  for (size_t i = 0; i < picture->data_size(); ++i)
    difference += std::abs(picture->data()[i] - file_twin->data()[i]);
  for (size_t i = 0; i + 2 < picture->data_size(); i += picture->bytes_per_pixel())
    blue += picture->data()[i + 2] > picture->data()[i] + 60;
  EXPECT_LT(static_cast<double>(difference) / picture->data_size(), 1.0);
  EXPECT_GT(blue, 300);
}

TEST_F(ImportRun, TheFilesCameraSeesRedRightAndGreenUp) {
  if (std::string(BF_POVRAY).empty())
    GTEST_SKIP() << "POV-Ray is not installed";
  auto picture = render(scene(true));
  ASSERT_TRUE(picture);
  const Spots red = spots(*picture, 0), green = spots(*picture, 1);
  ASSERT_GT(red.count, 20);
  ASSERT_GT(green.count, 20);
  EXPECT_GT(red.mean_x, 80 + 15);   // right of the middle
  EXPECT_NEAR(red.mean_y, 60, 10);  // level with it
  EXPECT_LT(green.mean_y, 60 - 15); // above the middle
  EXPECT_NEAR(green.mean_x, 80, 10);
}

TEST_F(ImportRun, TheDefaultCameraFramesEverything) {
  if (std::string(BF_POVRAY).empty())
    GTEST_SKIP() << "POV-Ray is not installed";
  auto picture = render(scene(false));
  ASSERT_TRUE(picture);
  const Spots red = spots(*picture, 0), green = spots(*picture, 1);
  ASSERT_GT(red.count, 20);
  ASSERT_GT(green.count, 20);
  EXPECT_EQ(red.on_border + green.on_border, 0);
  EXPECT_GT(red.mean_x, green.mean_x); // seen from the front, right and above
  EXPECT_LT(green.mean_y, red.mean_y);
}

} // namespace

namespace {

// Colours that the file gives at the corners, and a glow on a black
// surface, show in the picture (both drew white or black before).
TEST_F(ImportRun, VertexColoursAndGlowsShow) {
  if (std::string(BF_POVRAY).empty())
    GTEST_SKIP() << "POV-Ray is not installed";
  std::ostringstream ply;
  ply << "ply\nformat ascii 1.0\nelement vertex 8\nproperty float x\nproperty float y\nproperty float z\n"
         "property uchar red\nproperty uchar green\nproperty uchar blue\nelement face 6\n"
         "property list uchar int vertex_indices\nend_header\n";
  for (int i = 0; i < 8; ++i)
    ply << (i & 1 ? 1 : -1) << ' ' << (i & 2 ? 1 : -1) << ' ' << (i & 4 ? 1 : -1) << ' ' << (i & 1) * 255
        << ' ' << (i & 2 ? 255 : 0) << ' ' << (i & 4 ? 255 : 0) << '\n';
  ply << "4 0 2 3 1\n4 4 5 7 6\n4 0 1 5 4\n4 2 6 7 3\n4 0 4 6 2\n4 1 3 7 5\n";
  std::ofstream(dir_ / "rainbow.ply") << ply.str();
  std::ofstream(dir_ / "glow.mtl") << "newmtl sign\nKd 0 0 0\nKe 1 1 0\n";
  std::ofstream(dir_ / "glow.obj") << "mtllib glow.mtl\nv -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\n"
                                   << "usemtl sign\nf 1 2 3 4\n";
  const auto count = [](const VYbitmap &picture, const std::function<bool(int, int, int)> &test) {
    long n = 0;
    for (long i = 0; i < static_cast<long>(picture.width()) * picture.height(); ++i) {
      const unsigned char *p = picture.data() + i * picture.bytes_per_pixel();
      n += test(p[0], p[1], p[2]);
    }
    return n;
  };
  auto rainbow = render(dir_ / "rainbow.ply");
  ASSERT_TRUE(rainbow);
  // Faces of many hues, not shades of grey.
  EXPECT_GT(count(*rainbow,
                  [](int r, int g, int b) {
                    return std::max({r, g, b}) - std::min({r, g, b}) > 80;
                  }),
            1000);
  auto glow = render(dir_ / "glow.obj");
  ASSERT_TRUE(glow);
  EXPECT_GT(count(*glow, [](int r, int g, int b) { return r > 200 && g > 200 && b < 80; }), 1000);
}

// A Collada camera's xfov spans the picture's width at any aspect: a bar
// 0.9 times as wide as the view at its distance covers 0.9 of the width.
TEST_F(ImportRun, AHorizontalAngleSpansThePictureWidth) {
  if (std::string(BF_POVRAY).empty())
    GTEST_SKIP() << "POV-Ray is not installed";
  const double half = 10 * std::tan(M_PI / 6) * 0.9;
  std::ofstream(dir_ / "bar.dae")
      << R"(<?xml version="1.0"?><COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
<library_cameras><camera id="c" name="c"><optics><technique_common><perspective><xfov>60</xfov>
<aspect_ratio>1.5</aspect_ratio><znear>0.1</znear><zfar>100</zfar></perspective></technique_common></optics></camera>
</library_cameras><library_effects><effect id="fx"><profile_COMMON><technique sid="t"><lambert>
<emission><color>1 1 1 1</color></emission><diffuse><color>0 0 0 1</color></diffuse></lambert></technique>
</profile_COMMON></effect></library_effects><library_materials><material id="m"><instance_effect url="#fx"/>
</material></library_materials><library_geometries><geometry id="g"><mesh><source id="p"><float_array id="a" count="12">)"
      << -half << " -1 0 " << half << " -1 0 " << half << " 1 0 " << -half << R"( 1 0</float_array>
<technique_common><accessor source="#a" count="4" stride="3"><param name="X" type="float"/><param name="Y" type="float"/>
<param name="Z" type="float"/></accessor></technique_common></source><vertices id="v"><input semantic="POSITION" source="#p"/>
</vertices><triangles count="2" material="s"><input semantic="VERTEX" source="#v" offset="0"/><p>0 1 2 0 2 3</p>
</triangles></mesh></geometry></library_geometries><library_visual_scenes><visual_scene id="s">
<node id="Eye"><translate>0 0 10</translate><instance_camera url="#c"/></node><node id="Bar"><instance_geometry url="#g">
<bind_material><technique_common><instance_material symbol="s" target="#m"/></technique_common></bind_material>
</instance_geometry></node></visual_scene></library_visual_scenes><scene><instance_visual_scene url="#s"/></scene></COLLADA>)";
  for (const int height : {100, 150}) {
    const fs::path out = dir_ / "bar.tga";
    ASSERT_EQ(brightfold({"render", (dir_ / "bar.dae").string(), out.string(), "--width", "200", "--height",
                          std::to_string(height)}),
              0)
        << err_;
    std::unique_ptr<VYbitmap> picture(image_reader_invoke(out.c_str()));
    ASSERT_TRUE(picture);
    int lit = 0;
    for (int x = 0; x < picture->width(); ++x)
      lit += picture->data()[(static_cast<size_t>(height / 2) * picture->width() + x) *
                             picture->bytes_per_pixel()] > 128;
    EXPECT_NEAR(lit, 180, 4) << "200 x " << height;
  }
}

TEST_F(ImportRun, ImportCommandRefusals) {
  const std::string model = scene(true).string(), out = (dir_ / "out.json").string();
  std::ofstream(dir_ / "locked.json") << "{}";
  fs::permissions(dir_ / "locked.json", fs::perms::owner_read);
  const struct {
    std::vector<std::string> args;
    int exit;
    std::string message;
  } cases[] = {
      {{"import", model}, 2, "import needs a model file and one scene file to write"},
      {{"import", model, (dir_ / "out.pov").string()}, 2, "the scene file to write must end in .json"},
      {{"import", model, out, "--up", "x"}, 2, "--up takes y or z, not \"x\""},
      {{"import", model, out, "--camera", "Nobody"},
       2,
       "no camera is named \"Nobody\" (its cameras: \"Eye\")"},
      {{"import", model, (dir_ / "locked.json").string()}, 1, "locked.json: it is read-only"},
      {{"import", (dir_ / "none.glb").string(), out}, 2, "none.glb: cannot read: No such file or directory"},
      {{"render", (dir_ / "locked.json").string(), (dir_ / "o.png").string(), "--camera", "Eye"},
       2,
       "--camera applies to model files"},
      {{"save", model, (dir_ / "o.pov").string(), "--up", "w"}, 2, "--up takes y or z, not \"w\""},
      {{"save", model, (dir_ / "o.pov").string(), "--camera", "Nobody"}, 2, "no camera is named \"Nobody\""},
      {{"save", model, (dir_ / "o.pov").string(), "--up", "z", "--camera", "Eye"}, 0, ""},
      {{"import", model, out, "--up", "z", "--camera", "Eye"}, 0, ""},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(brightfold(c.args), c.exit) << c.args.back() << ": " << err_;
    EXPECT_NE(err_.find(c.message), std::string::npos) << err_;
  }
  EXPECT_EQ(read_file(dir_ / "locked.json"), "{}");
  EXPECT_NE(read_file(out).find("\"viewpoint\": \"Eye\""), std::string::npos);
}

} // namespace
