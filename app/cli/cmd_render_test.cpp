// brightfold render, run as the user runs it: the built program, with a
// stand-in pvengine.exe that the test controls, and once with POV-Ray.
#include "tests/support/render_command.h"

#include "zalvy.h"

#include <chrono>
#include <csignal>
#include <memory>
#include <sys/wait.h>
#include <thread>

namespace {

using namespace pvtest;

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
    const int bpp = depth[0] == '3' ? 4 : 3; // depth 32: the render's alpha too
    EXPECT_EQ(out->bytes_per_pixel(), bpp);
    const unsigned char *last = out->data() + (3 * 5 + 4) * bpp;
    EXPECT_EQ(last[0], pattern(4, 3).r);
    EXPECT_EQ(last[1], pattern(4, 3).g);
    EXPECT_EQ(last[2], pattern(4, 3).b);
    if (bpp == 4) {
      EXPECT_EQ(last[3], pattern(4, 3).a);
    }
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
  EXPECT_EQ(run({"scene.json", "out.gif"}), 2);
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
  EXPECT_EQ(messages().find("POV-Ray: rendering"), std::string::npos) << messages(); // a terminal's only
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
