// What a new user meets in a first hour, through the built program: each
// command's --help, the line after a save, standard output as an output, and
// the traps that used to pass in silence or without a reason.
#include "tests/support/files.h"
#include "tests/support/run.h"

#include "zalvy.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kProgram = BF_BINARY_DIR "/bin/brightfold";
const std::string kExample = BF_SOURCE_DIR "/examples/basic/scene.json";
const std::string kBox = "/usr/share/assimp/models/OBJ/box.obj";
const std::string kNoCamera = R"({"root": {"children": [
  {"type": "light", "position": [5, 8, 6]},
  {"type": "object", "geometry": {"primitive": "sphere", "radius": 2}, "color": [1, 0.5, 0]}]}})";

struct Row {
  std::string name;
  std::vector<std::string> args;
  int status;
  std::string err;         // standard error, whole
  std::string out = "";    // standard output starts with it
  bool err_prefix = false; // err is only the start
};

const std::string kHeader = "/* Brightfold generated POV 3.0 scene file */\n";
const std::string kSmall[] = {"--width", "16", "--height", "12"};

std::vector<Row> rows() {
  const auto render = [](std::vector<std::string> more) {
    std::vector<std::string> args{"render", kExample, "o.png", "--width", "16", "--height", "12"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  };
  return {
      {"SaveHelp", {"save", "--help"}, 0, "", "Usage: brightfold save SCENE"},
      {"RenderHelp", {"render", "-h"}, 0, "", "Usage: brightfold render SCENE"},
      {"ImportHelp", {"import", "--help"}, 0, "", "Usage: brightfold import MODEL"},
      {"ListHelp", {"list", "--help"}, 0, "", "Usage: brightfold list"},
      {"SaveSaysHowToRender",
       {"save", kExample, "out.pov"},
       0,
       "brightfold: saved out.pov; render it with: povray +MV3.0 +Iout.pov\n"},
      {"Save37SaysPlainPovray",
       {"save", kExample, "out.pov", "--pov-version", "3.7"},
       0,
       "brightfold: saved out.pov; render it with: povray +Iout.pov\n"},
      {"BadPovVersion", render({"--pov-version", "3.5"}), 2,
       "brightfold: --pov-version needs 3.0 or 3.7, not \"3.5\"", "", true},
      {"SaveElsewhereSaysWhere",
       {"save", kExample, "sub/o ut.pov"},
       0,
       "brightfold: saved sub/o ut.pov; render it with: cd sub && povray +MV3.0 +I'o ut.pov'\n"},
      {"SaveIntoMissingFolder",
       {"save", kExample, "nodir/x.pov"},
       1,
       "brightfold: cannot save to nodir/x.pov: No such file or directory\n"},
      {"SaveToDash", {"save", kExample, "-"}, 0, "", kHeader},
      {"SaveToDevStdout", {"save", kExample, "/dev/stdout"}, 0, "", kHeader},
      {"SaveToPicture",
       {"save", kExample, "OUT.JPG"},
       2,
       "brightfold: cannot save to OUT.JPG: the name of a picture (.jpg)",
       "",
       true},
      {"ImportUpperCaseJson", {"import", kBox, "OUT.JSON"}, 0, ""},
      {"BackslashInPartPath",
       {"save", "slash.json", "out.pov"},
       2,
       "brightfold: slash.json: /root/children/0/geometry/part: cannot load",
       "",
       true},
      {"TimeoutInfinite", render({"--timeout", "inf"}), 0, "", "", true},
      {"TimeoutBeyondAnyRender", render({"--timeout", "1e10"}), 0, "", "", true},
      {"TimeoutZero", render({"--timeout", "0"}), 2,
       "brightfold: --timeout needs a number of seconds above 0, not \"0\"", "", true},
      {"FloorForASceneFile", render({"--floor", "off"}), 2,
       "brightfold: --floor applies to model files; a scene file keeps its own background and objects\n", "",
       true},
      {"BadBackground",
       {"save", kBox, "o.pov", "--background", "pink"},
       2,
       "brightfold: --background takes #RRGGBB, R,G,B (each 0 to 1) or none, not \"pink\"\n",
       "",
       true},
      {"JpegWithAlpha",
       {"render", kExample, "o.jpg", "--alpha"},
       2,
       "brightfold: --alpha (or --depth 32) needs a PNG or Targa picture",
       "",
       true},
      {"FormatForAFile", render({"--format", "jpeg"}), 2,
       "brightfold: --format applies to - (standard output)", "", true},
      {"QuietSave", {"-q", "save", kExample, "out.pov"}, 0, ""},
  };
}

class FirstHour : public ::testing::TestWithParam<Row> {
protected:
  bftest::ScratchDir dir_{"bf_first_hour"};
};

TEST_P(FirstHour, SaysWhatHappened) {
  const Row &row = GetParam();
  fs::create_directory(dir_.path() / "sub");
  bftest::write_file(
      dir_.path() / "slash.json",
      R"({"root": {"children": [{"type": "object", "geometry": {"part": "meshes\\box.obj"}}]}})");
  const bftest::RunResult r = bftest::run_program(kProgram, row.args, {dir_.path().string(), {}, 60});
  EXPECT_EQ(r.status, row.status) << r.err;
  EXPECT_EQ(row.err_prefix ? r.err.substr(0, row.err.size()) : r.err, row.err);
  EXPECT_EQ(r.out.substr(0, row.out.size()), row.out);
  EXPECT_FALSE(fs::exists(dir_.path() / "-"));
  if (row.name == "BackslashInPartPath") {
    EXPECT_NE(r.err.find("(paths in a scene file use forward slashes: a/b.obj)\n"), std::string::npos)
        << r.err;
  }
}

INSTANTIATE_TEST_SUITE_P(Table, FirstHour, ::testing::ValuesIn(rows()),
                         [](const auto &row) { return row.param.name; });

// A scene file without a camera is seen through the one that frames it: the
// sphere fills the middle of the picture, the corners stay background.
TEST(FirstHourRender, SceneWithoutCameraIsFramed) {
  bftest::ScratchDir dir("bf_no_camera");
  bftest::write_file(dir.path() / "scene.json", kNoCamera);
  const bftest::RunResult r =
      bftest::run_program(kProgram, {"render", "scene.json", "o.png", "--width", "40", "--height", "30"},
                          {dir.path().string(), {}, 60});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.rfind("brightfold: note: scene.json has no camera; rendering through one that frames", 0),
            0u);
  std::unique_ptr<VYbitmap> picture(image_reader_invoke(dir.file("o.png").c_str()));
  ASSERT_TRUE(picture);
  const auto red = [&](int x, int y) { return picture->data()[(y * 40 + x) * picture->bytes_per_pixel()]; };
  EXPECT_GT(red(20, 15), 100);
  EXPECT_EQ(red(0, 0), 0);
}

// A scene saved in 3.7 renders with POV-Ray given nothing but its name.
TEST(FirstHourRender, Saved37SceneRendersWithPlainPovray) {
  bftest::ScratchDir dir("bf_save37");
  bftest::RunResult r = bftest::run_program(kProgram, {"save", kExample, "s.pov", "--pov-version", "3.7"},
                                            {dir.path().string(), {}, 60});
  ASSERT_EQ(r.status, 0) << r.err;
  r = bftest::run_program(BF_POVRAY, {"-D", "s.pov", "+W16", "+H12"}, {dir.path().string(), {}, 60});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir.path() / "s.png"));
}

// A kept scene renders in plain POV-Ray beside the files it names; a
// read-only file standing at one of their names is refused and kept.
TEST(FirstHourRender, KeptSceneRendersWhereItStands) {
  bftest::ScratchDir dir("bf_keep");
  fs::create_directory(dir.path() / "k");
  std::vector<std::string> args{"render", kExample, "o.png", "--keep-scene", "k/k.pov"};
  args.insert(args.end(), std::begin(kSmall), std::end(kSmall));
  bftest::RunResult r = bftest::run_program(kProgram, args, {dir.path().string(), {}, 60});
  ASSERT_EQ(r.status, 0) << r.err;
  // render writes the 3.7 language: POV-Ray needs no dialect switch.
  r = bftest::run_program(BF_POVRAY, {"-D", "k.pov", "+W16", "+H12"}, {dir.file("k"), {}, 60});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir.path() / "k/k.png"));

  fs::remove(dir.path() / "k/k.pov");
  bftest::write_file(dir.path() / "k/Wedge.inc", "mine\n");
  chmod(dir.file("k/Wedge.inc").c_str(), 0444);
  r = bftest::run_program(kProgram, args, {dir.path().string(), {}, 60});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot keep " + dir.file("k/Wedge.inc") + " beside the scene: it is read-only"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(bftest::read_file(dir.path() / "k/Wedge.inc"), "mine\n");
  EXPECT_FALSE(fs::exists(dir.path() / "k/k.pov"));
}

} // namespace
