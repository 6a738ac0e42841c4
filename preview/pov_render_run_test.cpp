#include "preview/pov_preview_surface.h"
#include "tests/support/preview_home.h"

#include "hostlib/oku/scene_db.h"
#include "tests/support/module_state.h"

#include <memory>

namespace {

using namespace pvtest;

class RenderRunTest : public PreviewFixture {
protected:
  void SetUp() override {
    PreviewFixture::SetUp();
    scene_reset();
    use_stand_in();
  }
  std::unique_ptr<PovPreviewSurface> surface(int width, int height, int depth = 24, int antialias = 1) {
    VYsurfaceOptions options{1, antialias};
    return std::make_unique<PovPreviewSurface>(module.state, nullptr, width, height, depth, &options);
  }
  std::string home_string() const { return home_.string(); }
  TestSession module;
};

TEST_F(RenderRunTest, WritesTheIniFileWithAndWithoutAntialiasing) {
  VYbitmapInfo size = vy_bitmap_info(640, 480, 24);
  ASSERT_EQ(pov_write_preview_ini("a.ini", size, 1), 1);
  EXPECT_EQ(read_file(work_ / "a.ini"), "Width = 640\n"
                                        "Height = 480\n"
                                        "Antialias = yes\n"
                                        "Antialias_Threshold = 0.3\n"
                                        "Jitter = no\n"
                                        "Input_File_Name = $$povuds.pov\n"
                                        "Output_File_Name = $$povuds.tga\n"
                                        "Output_File_Type = T\n");
  ASSERT_EQ(pov_write_preview_ini("b.ini", vy_bitmap_info(7, 5, 24), 0), 1);
  EXPECT_EQ(read_file(work_ / "b.ini"), "Width = 7\n"
                                        "Height = 5\n"
                                        "Antialias = no\n"
                                        "Jitter = no\n"
                                        "Input_File_Name = $$povuds.pov\n"
                                        "Output_File_Name = $$povuds.tga\n"
                                        "Output_File_Type = T\n");
  EXPECT_EQ(pov_write_preview_ini("missing-dir/c.ini", size, 1), 0);
}

TEST_F(RenderRunTest, StartsPvengineWithTheIniAndExitInTheCurrentDirectory) {
  auto s = surface(4, 3, 24, 0);
  s->draw();
  s->bitmap();
  // A script sees the program's path as started (Home + "\bin\pvengine.exe"
  // with its backslashes turned into slashes), then the two arguments.
  EXPECT_EQ(lines_of(read_file(home_ / "args.txt")),
            (std::vector<std::string>{home_string() + "/bin/pvengine.exe", "$$povuds.ini", "/EXIT"}));
  EXPECT_EQ(read_file(home_ / "cwd.txt"), fs::canonical(work_).string() + "\n");
  EXPECT_EQ(lines_of(read_file(home_ / "last.ini")).size(), 7u); // the INI existed while it ran
  EXPECT_NE(read_file(home_ / "last.pov").find("NO_SHADOWS"), std::string::npos); // and so did the scene
  EXPECT_TRUE(work_entries().empty()); // the three temporary files are gone
}

TEST_F(RenderRunTest, ReadsBack24And32BitImagesPixelForPixel) {
  for (int bits : {24, 32}) {
    write_targa(home_ / "render.tga", 5, 4, bits, pattern);
    auto s = surface(5, 4);
    s->draw();
    const VYbitmap *picture = s->bitmap();
    ASSERT_NE(picture, nullptr);
    ASSERT_EQ(picture->width(), 5);
    ASSERT_EQ(picture->height(), 4);
    ASSERT_EQ(picture->bytes_per_pixel(), 3);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) {
        const unsigned char *p = picture->data() + (y * 5 + x) * 3;
        Rgba want = pattern(x, y);
        ASSERT_EQ(p[0], want.r) << bits << " bits at " << x << "," << y;
        ASSERT_EQ(p[1], want.g);
        ASSERT_EQ(p[2], want.b);
      }
    EXPECT_TRUE(work_entries().empty());
  }
}

TEST_F(RenderRunTest, AnImageOfAnotherSizeLeavesThePictureBlank) {
  write_targa(home_ / "render.tga", 6, 4, 24, pattern);
  auto s = surface(5, 4);
  s->draw();
  const VYbitmap *picture = s->bitmap();
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->width(), 5);
  EXPECT_EQ(picture->height(), 4);
  for (size_t i = 0; i < picture->data_size(); ++i)
    ASSERT_EQ(picture->data()[i], 0);
  EXPECT_TRUE(work_entries().empty());
}

TEST_F(RenderRunTest, ThePictureIsCachedUntilReleasedOrRedrawn) {
  write_targa(home_ / "render.tga", 2, 2, 24, pattern);
  auto s = surface(2, 2);
  s->draw();
  const VYbitmap *first = s->bitmap();
  EXPECT_EQ(s->bitmap(), first);
  EXPECT_EQ(runs(), 1);

  // Released without a new draw: the program runs on a missing scene, and
  // the picture is blank, of the surface's size.
  s->release_bitmap();
  fs::remove(home_ / "render.tga");
  const VYbitmap *again = s->bitmap();
  EXPECT_EQ(runs(), 2);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->width(), 2);
  EXPECT_EQ(again->data()[0], 0);
  EXPECT_TRUE(work_entries().empty());
  EXPECT_EQ(read_file(home_ / "scene_seen.txt"), "no\n");
}

// An observer that asks for the picture when told of a draw, as a host view does.
struct PictureTaker : VYsurfaceObserver {
  void surface_drawn(VYuniverseDisplaySurface *surface) override {
    seen = surface;
    const VYbitmap *picture = surface->bitmap();
    first_byte = picture && picture->data() ? picture->data()[0] : -1;
    ++calls;
  }
  VYuniverseDisplaySurface *seen = nullptr;
  int first_byte = -2;
  int calls = 0;
};

TEST_F(RenderRunTest, ObserversGetThePictureOfEachDrawWhichIsThenDropped) {
  write_targa(home_ / "render.tga", 3, 2, 24, pattern);
  auto s = surface(3, 2);
  PictureTaker a, b;
  s->add_observer(&a);
  s->add_observer(&b);
  s->draw();
  EXPECT_EQ(a.seen, s.get());
  EXPECT_EQ(a.first_byte, pattern(0, 0).r);
  EXPECT_EQ(b.first_byte, pattern(0, 0).r);
  EXPECT_EQ(runs(), 1); // the second observer got the cached picture
  s->repaint();
  s->redraw();
  EXPECT_EQ(a.calls, 3);
  EXPECT_EQ(runs(), 3);
  EXPECT_EQ(s->draw_count_value(), 3);
  s->bitmap();
  EXPECT_EQ(runs(), 4); // each draw drops the picture
}

TEST_F(RenderRunTest, OtherSurfaceDepthsStayInsideThePicture) {
  write_targa(home_ / "render.tga", 3, 2, 32, pattern);
  for (int depth : {32, 16, 8, 1, 0}) {
    auto s = surface(3, 2, depth);
    s->draw();
    const VYbitmap *picture = s->bitmap();
    ASSERT_NE(picture, nullptr) << depth;
    int bpp = picture->bytes_per_pixel();
    ASSERT_EQ(picture->data_size(), static_cast<size_t>(3 * 2 * bpp));
    for (int i = 0; i < 6; ++i) {
      Rgba want = pattern(i % 3, i / 3);
      const unsigned char *p = picture->data() + i * bpp;
      EXPECT_EQ(p[0], want.r) << depth;
      if (bpp >= 2) {
        EXPECT_EQ(p[1], want.g) << depth;
      }
      if (bpp >= 3) {
        EXPECT_EQ(p[2], want.b) << depth;
      }
      if (bpp == 4) {
        EXPECT_EQ(p[3], 0) << depth; // the image's alpha is not taken
      }
    }
  }
}

TEST(RenderCopy, CopiesAtMostThreeChannelsAndNeverPastEitherBitmap) {
  VYbitmap grey(4, 2, 8, nullptr), rgb(4, 2, 24, nullptr), rgba(4, 2, 32, nullptr), other(4, 3, 24, nullptr);
  for (size_t i = 0; i < grey.data_size(); ++i)
    grey.data()[i] = static_cast<unsigned char>(i + 1);
  EXPECT_EQ(pov_copy_render(&grey, &rgb), 1);
  EXPECT_EQ(rgb.data()[3], 2); // pixel 1 got the one byte of image pixel 1
  EXPECT_EQ(rgb.data()[4], 0);
  for (size_t i = 0; i < rgba.data_size(); ++i)
    rgba.data()[i] = static_cast<unsigned char>(i);
  EXPECT_EQ(pov_copy_render(&rgba, &rgb), 1);
  EXPECT_EQ(rgb.data()[3], 4);
  EXPECT_EQ(rgb.data()[5], 6);
  EXPECT_EQ(pov_copy_render(&rgb, &other), 0);
  EXPECT_EQ(pov_copy_render(nullptr, &rgb), 0);
  EXPECT_EQ(pov_copy_render(&rgb, nullptr), 0);
}

class HomeLookupTest : public RenderRunTest {
protected:
  // Runs a render and answers whether a program was started.
  bool started() {
    fs::remove(home_ / "runs.txt");
    write_targa(home_ / "render.tga", 2, 2, 24, pattern);
    write_targa(work_ / "$$povuds.tga", 2, 2, 24, pattern); // left from an earlier run
    auto s = surface(2, 2);
    s->draw();
    const VYbitmap *picture = s->bitmap();
    EXPECT_NE(picture, nullptr);
    EXPECT_TRUE(work_entries().empty());
    bool ran = fs::exists(home_ / "runs.txt");
    // Without a run the picture is the blank one, never the stale image.
    if (!ran && picture) {
      EXPECT_EQ(picture->data()[0], 0);
    }
    return ran;
  }
};

TEST_F(HomeLookupTest, ReadsHomeFromTheFirstKeyThatExists) {
  set_registry("Software\\POV-Ray\\Windows", home_line(home_string()));
  EXPECT_TRUE(started());
  std::string both = "Windows Registry Editor Version 5.00\r\n"
                     "[HKEY_LOCAL_MACHINE\\Software\\POV-Ray\\CurrentVersion\\Windows]\r\n" +
                     home_line(home_string()) +
                     "\r\n[HKEY_LOCAL_MACHINE\\Software\\POV-Ray\\Windows]\r\n\"Home\"=\"/nowhere\"\r\n";
  write_file(root_ / "registry.reg", both);
  EXPECT_TRUE(started());
}

TEST_F(HomeLookupTest, StartsNothingWithoutAUsableHome) {
  // Planted where an empty Home would lead: it must never run.
  set_registry("", "");
  EXPECT_FALSE(started());
  set_registry("Software\\POV-Ray\\CurrentVersion\\Windows", "\"Home\"=\"\"");
  EXPECT_FALSE(started());
  set_registry("Software\\POV-Ray\\CurrentVersion\\Windows", "\"Other\"=\"x\"");
  EXPECT_FALSE(started());
  set_registry("Software\\POV-Ray\\CurrentVersion\\Windows", "\"Home\"=dword:00000001");
  EXPECT_FALSE(started());
  set_registry("Software\\POV-Ray\\CurrentVersion\\Windows", home_line(std::string(1000, 'x')));
  EXPECT_FALSE(started());
}

TEST_F(HomeLookupTest, FindsTheProgramBehindAHomeOfAnyLengthThatFits) {
  char program[1100];
  std::string longest(999, 'h');
  set_registry("Software\\POV-Ray\\CurrentVersion\\Windows", home_line(longest));
  ASSERT_EQ(pov_find_pvengine(program, sizeof program), 1);
  EXPECT_EQ(std::string(program), longest + "\\bin\\pvengine.exe");
  EXPECT_EQ(pov_find_pvengine(program, 1000), 0); // no room for the program's name
  EXPECT_STREQ(program, "");
}

} // namespace
