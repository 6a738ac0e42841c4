// Frames through the built program and POV-Ray: a model's animation shows
// in its frames, its imported scene file gives the same frames, a
// turntable comes round, --resume keeps whole frames, Ctrl-C keeps the
// finished ones, bad options are refused, and the video.
#include "tests/support/files.h"
#include "tests/support/gltf.h"
#include "tests/support/run.h"

#include <gtest/gtest.h>

#include <stb_image.h>

#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kProgram = BF_BINARY_DIR "/bin/brightfold";
const std::vector<std::string> kSmall{"--width", "64", "--height", "48", "--no-antialias"};
// A camera looking down -z at a red ball to the right of the origin.
const char *kBallScene = R"({ "root": { "children": [
  { "type": "camera", "name": "Camera", "position": [0, 0, 10], "look_at": [0, 0, 0] },
  { "type": "light", "name": "Light", "position": [0, 5, 10] },
  { "type": "object", "name": "Ball", "position": [3, 0, 0], "color": [1, 0, 0],
    "geometry": { "primitive": "sphere", "radius": 1 } } ] } })";

std::vector<unsigned char> pixels(const fs::path &path) {
  int w = 0, h = 0, n = 0;
  std::unique_ptr<unsigned char, void (*)(void *)> data(stbi_load(path.c_str(), &w, &h, &n, 3),
                                                        stbi_image_free);
  return data ? std::vector<unsigned char>(data.get(), data.get() + w * h * 3) : std::vector<unsigned char>();
}

// The mean column of the pixels that differ from the top left one.
double centroid_x(const std::vector<unsigned char> &p, int width = 64) {
  double sum = 0, count = 0;
  for (size_t i = 0; i + 2 < p.size(); i += 3)
    if (std::abs(p[i] - p[0]) + std::abs(p[i + 1] - p[1]) + std::abs(p[i + 2] - p[2]) > 30)
      sum += static_cast<double>(i / 3 % width), ++count;
  return count > 0 ? sum / count : -1;
}

// How many nodes of the tree carry rotation keys.
int rotation_keys(const bftest::json &node) {
  int count = node.contains("animation") && node["animation"].contains("rotation");
  if (node.contains("children"))
    for (const auto &child : node["children"])
      count += rotation_keys(child);
  return count;
}

class Frames : public ::testing::Test {
protected:
  void SetUp() override {
    if (std::string(BF_POVRAY).empty())
      GTEST_SKIP() << "POV-Ray is not installed";
    bftest::write_file(dir_.path() / "ball.json", kBallScene);
    fs::create_directory(dir_.path() / "tmp");
  }
  bftest::RunResult render(std::vector<std::string> args, const std::vector<std::string> &env = {}) {
    args.insert(args.begin(), "render");
    args.insert(args.end(), kSmall.begin(), kSmall.end());
    std::vector<std::string> all_env{"TMPDIR=" + (dir_.path() / "tmp").string()};
    all_env.insert(all_env.end(), env.begin(), env.end());
    return bftest::run_program(kProgram, args, {dir_.path().string(), all_env, 120});
  }
  std::vector<unsigned char> frame(const std::string &name) const { return pixels(dir_.path() / name); }
  // Nothing temporary is left: no partial file, no private folder.
  void expect_no_leftovers() const {
    for (const auto &entry : fs::directory_iterator(dir_.path()))
      EXPECT_EQ(entry.path().filename().string().rfind(".bf-", 0), std::string::npos) << entry.path();
    EXPECT_TRUE(fs::is_empty(dir_.path() / "tmp"));
  }
  bftest::ScratchDir dir_{"bf_frames"};
};

TEST_F(Frames, AModelsAnimationMovesAndItsImportedSceneGivesTheSameFrames) {
  bftest::Gltf model;
  const int box = model.node({{"mesh", model.cube()}});
  model.animate(box, "translation", {0, 1}, {-2, 0, 0, 2, 0, 0});
  model.animate(box, "rotation", {0, 1}, {0, 0, 0, 1, 0, 0, 0.3826834f, 0.9238795f}); // 45 degrees about z
  model.write(dir_.path() / "box.gltf");
  const std::vector<std::string> bare{"--floor", "off", "--background", "none"};
  auto run =
      render({"box.gltf", "model.png", "--frames", "0-2", "--fps", "2", bare[0], bare[1], bare[2], bare[3]});
  ASSERT_EQ(run.status, 0) << run.err;
  const double left = centroid_x(frame("model_0000.png")), middle = centroid_x(frame("model_0001.png")),
               right = centroid_x(frame("model_0002.png"));
  EXPECT_LT(left + 5, middle);
  EXPECT_LT(middle + 5, right);

  std::vector<std::string> import{"import", dir_.file("box.gltf"), dir_.file("box.json")};
  import.insert(import.end(), bare.begin(), bare.end());
  ASSERT_EQ(bftest::run_program(kProgram, import).status, 0);
  EXPECT_EQ(rotation_keys(bftest::json::parse(bftest::read_file(dir_.path() / "box.json"))["root"]), 1);
  run = render({"box.json", "scene%03d.png", "--frames", "0-2", "--fps", "2"});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char *n : {"000", "001", "002"})
    EXPECT_EQ(bftest::read_file(dir_.path() / ("scene" + std::string(n) + ".png")),
              bftest::read_file(dir_.path() / ("model_0" + std::string(n) + ".png")))
        << n;
  expect_no_leftovers();
}

TEST_F(Frames, AnimatedScaleIsNamedAsNotKept) {
  bftest::Gltf model;
  const int box = model.node({{"mesh", model.cube()}});
  model.animate(box, "scale", {0, 1}, {1, 1, 1, 2, 2, 2});
  model.write(dir_.path() / "grow.gltf");
  const auto run = bftest::run_program(kProgram, {"import", dir_.file("grow.gltf"), dir_.file("grow.json")});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.err.find("is scaled by its animation"), std::string::npos) << run.err;
}

TEST_F(Frames, ColladaRotationKeysImportAndTurnTheBoxes) {
  const std::string model = "/usr/share/assimp/models/Collada/anims_with_full_rotations_between_keys.DAE";
  ASSERT_EQ(bftest::run_program(kProgram, {"import", model, dir_.file("spin.json")}).status, 0);
  EXPECT_GT(rotation_keys(bftest::json::parse(bftest::read_file(dir_.path() / "spin.json"))["root"]), 0);
  const auto run = render({model, "spin.png", "--frames", "1-2", "--fps", "1"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(frame("spin_0001.png"), frame("spin_0002.png"));
}

TEST_F(Frames, ATurntableComesRoundOneStepAfterItsLastFrame) {
  ASSERT_EQ(render({"ball.json", "still.png"}).status, 0);
  auto run = render({"ball.json", "turn.png", "--turntable", "1", "--fps", "4"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(fs::exists(dir_.path() / "turn_0005.png")); // one orbit: frames 1 to 4
  EXPECT_EQ(frame("turn_0004.png"), frame("still.png"));   // the last is the starting view
  EXPECT_NE(frame("turn_0001.png"), frame("turn_0004.png"));
  // The ball seen from the side after a quarter turn: in the middle.
  EXPECT_NEAR(centroid_x(frame("turn_0001.png")), 32, 3);
  ASSERT_EQ(render({"ball.json", "next.png", "--turntable", "1", "--fps", "4", "--frames", "5"}).status, 0);
  EXPECT_EQ(frame("next_0005.png"), frame("turn_0001.png"));
}

TEST_F(Frames, ResumeRendersOnlyTheFramesThatAreNotThereWhole) {
  ASSERT_EQ(render({"ball.json", "r.png", "--turntable", "1", "--fps", "3"}).status, 0);
  struct stat first, after;
  ASSERT_EQ(stat(dir_.file("r_0001.png").c_str(), &first), 0);
  bftest::write_file(dir_.path() / "r_0002.png", "not a picture");
  // A link at a frame's name is replaced, never written through.
  fs::remove(dir_.path() / "r_0003.png");
  bftest::write_file(dir_.path() / "theirs.txt", "keep");
  fs::create_symlink(dir_.path() / "theirs.txt", dir_.path() / "r_0003.png");
  const auto run = render({"ball.json", "r.png", "--turntable", "1", "--fps", "3", "--resume"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("2 of 3 frames"), std::string::npos) << run.err;
  ASSERT_EQ(stat(dir_.file("r_0001.png").c_str(), &after), 0);
  EXPECT_EQ(first.st_ino, after.st_ino); // left as it was
  EXPECT_FALSE(frame("r_0002.png").empty());
  EXPECT_FALSE(frame("r_0003.png").empty());
  EXPECT_FALSE(fs::is_symlink(dir_.path() / "r_0003.png"));
  EXPECT_EQ(bftest::read_file(dir_.path() / "theirs.txt"), "keep");
}

TEST_F(Frames, AnInterruptedRunKeepsItsWholeFramesAndNoTemporaryFile) {
  std::vector<std::string> args{"render", "ball.json", "i.png", "--turntable", "100"};
  args.insert(args.end(), kSmall.begin(), kSmall.end());
  bftest::RunOptions options{dir_.path().string(), {"TMPDIR=" + (dir_.path() / "tmp").string()}, 120};
  const pid_t pid = bftest::start_program(kProgram, args, options, "/dev/null", "/dev/null");
  for (int i = 0; i < 600 && !fs::exists(dir_.path() / "i_0002.png"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  kill(pid, SIGTERM);
  EXPECT_EQ(bftest::wait_program(pid), 128 + SIGTERM);
  int whole = 0;
  for (const auto &entry : fs::directory_iterator(dir_.path()))
    if (entry.path().filename().string().rfind("i_", 0) == 0) {
      EXPECT_EQ(pixels(entry.path()).size(), 64u * 48 * 3) << entry.path();
      ++whole;
    }
  EXPECT_GE(whole, 2);
  EXPECT_LT(whole, 2400);
  expect_no_leftovers();
}

TEST_F(Frames, BadFrameOptionsAreRefusedBeforeAnythingIsWritten) {
  const std::vector<std::vector<std::string>> rows{
      {"--frames", "5-2"},  {"--frames", "-1-3"},      {"--frames", "1-"},
      {"--frames", "a"},    {"--frames", "1-1000000"}, {"--frames", "1-3", "--fps", "0"},
      {"--turntable", "0"}, {"--turntable", "nan"},    {"--frames", "1-3", "--video", "v.avi"},
      {"--resume"},         {"--fps", "30"},           {"--frames", "1-3", "--watch"},
  };
  for (const auto &row : rows) {
    std::vector<std::string> args{"ball.json", "bad.png"};
    args.insert(args.end(), row.begin(), row.end());
    const auto run = render(args);
    EXPECT_EQ(run.status, 2) << row[0] << " " << run.err;
    EXPECT_NE(run.err.find(row[0] == "--frames" && row.size() > 2 ? row[2] : row[0]), std::string::npos)
        << run.err;
  }
  EXPECT_EQ(render({"ball.json", "-", "--frames", "1-2"}).status, 2);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()),
            2); // ball.json, tmp
}

TEST_F(Frames, TheFramesBecomeAVideoOrTheMissingFfmpegIsNamed) {
  auto run = render({"ball.json", "v.png", "--frames", "1-2", "--video", "v.gif"},
                    {"BRIGHTFOLD_FFMPEG=" + dir_.file("no-ffmpeg")});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("ffmpeg"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_.path() / "v_0001.png")); // refused before rendering
  if (!fs::exists("/usr/bin/ffmpeg"))
    GTEST_SKIP() << "ffmpeg is not installed";
  run = render({"ball.json", "v.png", "--turntable", "1", "--fps", "3", "--video", "v.gif"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(bftest::read_file(dir_.path() / "v.gif").substr(0, 4), "GIF8");
  expect_no_leftovers();
}

} // namespace
