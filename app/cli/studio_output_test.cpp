// A model's studio look and the pictures a render writes, through the built
// program and POV-Ray: the backdrop is not black, the floor is darker in the
// model's shadow, --alpha leaves the backdrop clear, JPEG and standard
// output read back, progress stays off a log, -q and -v.
#include "tests/support/files.h"
#include "tests/support/run.h"

#include <gtest/gtest.h>

#include <stb_image.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kProgram = BF_BINARY_DIR "/bin/brightfold";
const std::string kBox = "/usr/share/assimp/models/OBJ/box.obj";
constexpr int kW = 80, kH = 60;

struct Picture {
  int width = 0, height = 0, channels = 0;
  std::vector<unsigned char> pixels; // 4 channels a pixel
  const unsigned char *at(int x, int y) const { return &pixels[(static_cast<size_t>(y) * width + x) * 4]; }
};

Picture decode(const std::string &bytes) {
  Picture p;
  std::unique_ptr<unsigned char, void (*)(void *)> data(
      stbi_load_from_memory(reinterpret_cast<const unsigned char *>(bytes.data()),
                            static_cast<int>(bytes.size()), &p.width, &p.height, &p.channels, 4),
      stbi_image_free);
  if (data)
    p.pixels.assign(data.get(), data.get() + static_cast<size_t>(p.width) * p.height * 4);
  return p;
}

class StudioOutput : public ::testing::Test {
protected:
  void SetUp() override {
    if (std::string(BF_POVRAY).empty())
      GTEST_SKIP() << "POV-Ray is not installed";
  }
  // Renders the box with `more` options to `out`; the picture read back.
  Picture render(const std::string &out, std::vector<std::string> more) {
    std::vector<std::string> args{"render",          kBox, out, "--width", std::to_string(kW), "--height",
                                  std::to_string(kH)};
    args.insert(args.end(), more.begin(), more.end());
    result_ = bftest::run_program(kProgram, args, {dir_.path().string(), {}, 120});
    EXPECT_EQ(result_.status, 0) << result_.err;
    return decode(out == "-" ? result_.out : bftest::read_file(dir_.path() / out));
  }
  bftest::ScratchDir dir_{"bf_studio"};
  bftest::RunResult result_;
};

TEST_F(StudioOutput, TheBackdropIsGreyAndTheFloorCatchesTheShadow) {
  const Picture lit = render("lit.png", {}), unshadowed = render("flat.png", {"--no-shadows"});
  ASSERT_EQ(lit.width, kW);
  const unsigned char *corner = lit.at(0, 0);
  EXPECT_GT(corner[0] + corner[1] + corner[2], 3 * 100);
  // Where the box's shadow falls the floor is darker than it is lit.
  int shadowed = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      shadowed += lit.at(x, y)[1] + 30 < unshadowed.at(x, y)[1];
  EXPECT_GT(shadowed, 20);

  const Picture bare = render("bare.png", {"--background", "none", "--floor", "off"});
  EXPECT_EQ(bare.at(0, 0)[0] + bare.at(0, 0)[1] + bare.at(0, 0)[2], 0);
  const Picture white = render("white.png", {"--background", "#ffffff", "--floor", "off", "-q"});
  EXPECT_EQ(white.at(0, 0)[0], 255);
  EXPECT_EQ(result_.err, ""); // -q: nothing but errors
}

TEST_F(StudioOutput, AlphaJpegAndStandardOutputReadBack) {
  const Picture clear = render("a.png", {"--alpha", "--floor", "off"});
  ASSERT_EQ(clear.channels, 4);
  EXPECT_EQ(clear.at(0, 0)[3], 0);             // the backdrop
  EXPECT_EQ(clear.at(kW / 2, kH / 2)[3], 255); // the box
  const Picture targa = render("a.tga", {"--depth", "32", "--floor", "off"});
  ASSERT_EQ(targa.channels, 4);
  EXPECT_EQ(targa.pixels, clear.pixels);

  const Picture jpeg = render("o.jpg", {"--quality", "80"});
  ASSERT_EQ(jpeg.width, kW);
  EXPECT_EQ(bftest::read_file(dir_.path() / "o.jpg").substr(0, 2), "\xFF\xD8");
  EXPECT_GT(jpeg.at(0, 0)[0], 100);

  const Picture piped = render("-", {"--format", "jpeg", "-v"});
  EXPECT_EQ(piped.width, kW);
  EXPECT_EQ(result_.out.substr(0, 2), "\xFF\xD8");
  EXPECT_NE(result_.err.find("Render Statistics"), std::string::npos) << result_.err;
  EXPECT_EQ(result_.err.find("POV-Ray: rendering"), std::string::npos); // no progress in a log
  EXPECT_EQ(render("-", {}).channels, 3);                               // PNG by default
}

// On a terminal (script gives the program one) the progress is one line
// rewritten in place and cleared before the next message.
TEST_F(StudioOutput, ProgressOnATerminalIsClearedAtTheEnd) {
  if (!std::filesystem::exists("/usr/bin/script"))
    GTEST_SKIP() << "script (util-linux) is not installed";
  const std::string command = kProgram + " render " + kBox + " o.png --width 40 --height 30";
  const bftest::RunResult r =
      bftest::run_program("/usr/bin/script", {"-qec", command, "tty.log"}, {dir_.path().string(), {}, 120});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string log = bftest::read_file(dir_.path() / "tty.log");
  EXPECT_NE(log.find("\r\033[KPOV-Ray: rendering 100%\r\033[Kbrightfold: rendered "), std::string::npos)
      << log;
}

} // namespace
