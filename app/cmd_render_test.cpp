// brightfold render, run as the user runs it: the built program, with a
// stand-in pvengine.exe that the test controls, and once with POV-Ray.
#include "preview/preview_test_support.h"

#include "zalvy.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char **environ;

namespace {

using namespace pvtest;

class RenderCommandTest : public PreviewFixture {
protected:
  void SetUp() override {
    PreviewFixture::SetUp();
    fs::create_directories(root_ / "tmp");
    tmp_env_ = std::make_unique<ScopedEnv>("TMPDIR", (root_ / "tmp").string());
    use_stand_in();
    // A camera looking down -z with +y up, a red ball to the right.
    write_file(work_ / "scene.json",
               R"({ "root": { "children": [
                 { "type": "camera", "name": "Camera", "position": [0, 0, 10], "look_at": [0, 0, 0] },
                 { "type": "light", "name": "Light", "position": [0, 0, 10] },
                 { "type": "object", "name": "Ball", "position": [3, 0, 0], "color": [1, 0, 0],
                   "geometry": { "primitive": "sphere", "radius": 1 } } ] } })");
  }
  void TearDown() override {
    tmp_env_.reset();
    PreviewFixture::TearDown();
  }
  pid_t start(std::vector<std::string> args) {
    std::string program = (fs::path(BF_BINARY_DIR) / "bin" / "brightfold").string();
    args.insert(args.begin(), "render");
    args.insert(args.begin(), program);
    std::vector<char *> argv;
    for (std::string &arg : args)
      argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::string log = (root_ / "stderr.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }
  // Runs the command; answers its exit code (128 + signal when killed).
  int run(const std::vector<std::string> &args) { return wait_for(start(args)); }
  static int wait_for(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  std::string messages() const { return read_file(root_ / "stderr.txt"); }
  bool tmp_is_empty() const { return fs::is_empty(root_ / "tmp"); }
  // A stand-in that starts, then waits up to ten seconds to be stopped.
  void slow_stand_in() {
    write_file(home_ / "bin" / "pvengine.exe",
               "#!/bin/sh\ntrap 'exit 3' INT TERM\ntouch '" + (home_ / "started").string() +
                   "'\ni=0; while [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done\n");
  }
  void wait_started() {
    for (int i = 0; i < 250 && !fs::exists(home_ / "started"); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(fs::exists(home_ / "started"));
  }

  std::unique_ptr<ScopedEnv> tmp_env_;
};

TEST_F(RenderCommandTest, RendersThroughThePreviewInAPrivateDirectory) {
  write_targa(home_ / "render.tga", 8, 6, 24, pattern);
  write_file(work_ / "okudefs.inc", "// the user's definitions\n");
  ASSERT_EQ(run({"scene.json", "out.tga", "--width", "8", "--height", "6", "--no-antialias", "--no-shadows",
                 "--draws", "3", "--keep-scene", "kept.pov"}),
            0)
      << messages();
  std::unique_ptr<VYbitmap> out(image_reader_invoke((work_ / "out.tga").c_str()));
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(out->width(), 8);
  ASSERT_EQ(out->height(), 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) {
      const unsigned char *p = out->data() + (y * 8 + x) * out->bytes_per_pixel();
      ASSERT_EQ(p[0], pattern(x, y).r);
      ASSERT_EQ(p[2], pattern(x, y).b);
    }
  // Written by the host's Targa writer: uncompressed, 24 bits, 18 + 8 * 6 * 3 bytes.
  const std::string tga = read_file(work_ / "out.tga");
  ASSERT_EQ(tga.size(), 18u + 8 * 6 * 3);
  EXPECT_EQ(tga[2], 2);
  EXPECT_EQ(tga[16], 24);
  EXPECT_EQ(lines_of(read_file(home_ / "last.ini"))[2], "Antialias = no");
  std::string kept = read_file(work_ / "kept.pov");
  EXPECT_NE(kept.find("NO_SHADOWS = 1"), std::string::npos);
  EXPECT_NE(kept.find("IMAGE_WIDTH = 8"), std::string::npos);
  EXPECT_EQ(kept, read_file(home_ / "last.pov")); // the scene POV-Ray was given
  // POV-Ray ran in a private directory beside the user's okudefs.inc, and
  // that directory is gone.
  fs::path ran_in = read_file(home_ / "cwd.txt").substr(0, read_file(home_ / "cwd.txt").size() - 1);
  EXPECT_EQ(ran_in.parent_path(), fs::canonical(root_ / "tmp"));
  EXPECT_TRUE(tmp_is_empty());
}

TEST_F(RenderCommandTest, WritesPngsOfEitherDepth) {
  write_targa(home_ / "render.tga", 5, 4, 32, pattern);
  for (const char *depth : {"24", "32"}) {
    ASSERT_EQ(run({"scene.json", "out.png", "--width", "5", "--height", "4", "--depth", depth}), 0)
        << messages();
    std::unique_ptr<VYbitmap> out(image_reader_invoke((work_ / "out.png").c_str()));
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->bytes_per_pixel(), 3); // no alpha: the render has none
    const unsigned char *last = out->data() + (3 * 5 + 4) * 3;
    EXPECT_EQ(last[0], pattern(4, 3).r);
    EXPECT_EQ(last[1], pattern(4, 3).g);
    EXPECT_EQ(last[2], pattern(4, 3).b);
  }
}

TEST_F(RenderCommandTest, SaysHowToInstallPovRayWhenTheSurfaceIsMissing) {
  set_registry("", "");
  EXPECT_EQ(run({"scene.json", "out.png"}), 1);
  EXPECT_NE(messages().find("POV-Ray was not found"), std::string::npos) << messages();
  EXPECT_NE(messages().find("apt-get install povray"), std::string::npos);
  EXPECT_FALSE(fs::exists(work_ / "out.png"));
}

TEST_F(RenderCommandTest, AFailedOrEmptyRenderIsNeverWrittenAsAPicture) {
  write_file(home_ / "exit_code", "1\n");
  write_targa(home_ / "render.tga", 640, 480, 24, pattern);
  EXPECT_EQ(run({"scene.json", "out.png"}), 1);
  EXPECT_NE(messages().find("POV-Ray failed (exit status 1)"), std::string::npos) << messages();

  fs::remove(home_ / "exit_code");
  fs::remove(home_ / "render.tga"); // exits 0 but leaves no image
  EXPECT_EQ(run({"scene.json", "out.png"}), 1);
  EXPECT_NE(messages().find("left no 640 x 480 picture"), std::string::npos) << messages();

  write_targa(home_ / "render.tga", 64, 48, 24, pattern); // of the wrong size
  EXPECT_EQ(run({"scene.json", "out.png"}), 1);

  set_registry("Software\\POV-Ray\\CurrentVersion\\Windows", "\"Home\"=\"\"");
  EXPECT_EQ(run({"scene.json", "out.png"}), 1);
  EXPECT_NE(messages().find("no usable \"Home\""), std::string::npos) << messages();
  EXPECT_FALSE(fs::exists(work_ / "out.png"));
  EXPECT_TRUE(tmp_is_empty());
}

TEST_F(RenderCommandTest, RefusesBadArguments) {
  EXPECT_EQ(run({"scene.json", "out.jpg"}), 2);
  EXPECT_EQ(run({"scene.json"}), 2);
  EXPECT_EQ(run({"scene.json", "out.png", "--width", "0"}), 2);
  EXPECT_EQ(run({"scene.json", "out.png", "--height", "12x"}), 2);
  EXPECT_EQ(run({"scene.json", "out.png", "--depth", "16"}), 2);
  EXPECT_EQ(run({"scene.json", "out.png", "--draws", "0"}), 2);
  EXPECT_EQ(run({"scene.json", "out.png", "--timeout", "-1"}), 2);
  EXPECT_EQ(run({"missing.json", "out.png"}), 2);
  EXPECT_TRUE(tmp_is_empty());
}

TEST_F(RenderCommandTest, CtrlCStopsTheRenderAndCleansUp) {
  slow_stand_in();
  pid_t pid = start({"scene.json", "out.png"});
  wait_started();
  kill(pid, SIGINT);
  EXPECT_EQ(wait_for(pid), 128 + SIGINT);
  EXPECT_NE(messages().find("interrupted"), std::string::npos) << messages();
  EXPECT_FALSE(fs::exists(work_ / "out.png"));
  EXPECT_TRUE(tmp_is_empty());
}

TEST_F(RenderCommandTest, ARenderPastItsTimeLimitIsStopped) {
  slow_stand_in();
  auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(run({"scene.json", "out.png", "--timeout", "0.5"}), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(8));
  EXPECT_NE(messages().find("did not finish within 0.5 seconds"), std::string::npos) << messages();
  EXPECT_TRUE(tmp_is_empty());
}

TEST_F(RenderCommandTest, RendersWithPovRayAndShowsItsErrors) {
  if (std::string(BF_POVRAY).empty())
    GTEST_SKIP() << "POV-Ray is not installed (apt-get install povray)";
  set_registry("Software\\POV-Ray\\CurrentVersion\\Windows", home_line(BF_BINARY_DIR));
  ASSERT_EQ(run({"scene.json", "out.png", "--width", "80", "--height", "60"}), 0) << messages();
  EXPECT_NE(messages().find("POV-Ray: rendering 100%"), std::string::npos) << messages();
  std::unique_ptr<VYbitmap> out(image_reader_invoke((work_ / "out.png").c_str()));
  ASSERT_NE(out, nullptr);
  const unsigned char *right = out->data() + (30 * 80 + 66) * 3, *left = out->data() + (30 * 80 + 14) * 3;
  EXPECT_GT(right[0], 100); // the red ball is on the right
  EXPECT_LT(right[1], 60);
  EXPECT_LT(left[0], 60);

  write_file(work_ / "okudefs.inc", "#declare Broken = ;\n");
  EXPECT_EQ(run({"scene.json", "bad.png", "--width", "80", "--height", "60"}), 1);
  EXPECT_NE(messages().find("Parse Error"), std::string::npos) << messages();
  EXPECT_FALSE(fs::exists(work_ / "bad.png"));
  EXPECT_TRUE(tmp_is_empty());
}

} // namespace
