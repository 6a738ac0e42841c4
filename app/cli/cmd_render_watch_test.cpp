// brightfold render --watch: edits of the scene, a part and an image between
// draws, each reaching the next picture; once with POV-Ray.
#include "tests/support/gltf.h"
#include "tests/support/png.h"
#include "tests/support/render_command.h"

#include "zalvy.h"

#include <csignal>

#include <sys/stat.h>

namespace {

using namespace pvtest;

class WatchTest : public RenderCommandTest {
protected:
  void SetUp() override {
    RenderCommandTest::SetUp();
    write_file(work_ / "wedge.mtl", "newmtl red\nKd 1 0 0\n");
    write_file(work_ / "wedge.obj", "mtllib wedge.mtl\nusemtl red\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    image("wood.tga", {255, 0, 0, 255});
    write_file(work_ / "scene.json", scene(0.25));
    // Keeps what each draw gave POV-Ray: draw<N>/ holds the scene, the
    // include files and the converted images; answers home/render.tga.
    std::string h = home_.string();
    write_file(home_ / "bin" / "pvengine.exe",
               "#!/bin/sh\nh='" + h + "'\necho run >> \"$h/runs.txt\"\nn=$(wc -l < \"$h/runs.txt\")\n" +
                   "mkdir \"$h/draw$n\"; cp '$$povuds.pov' *.inc oku_* \"$h/draw$n/\" 2>/dev/null\n" +
                   "cp \"$h/render.tga\" '$$povuds.tga'\nexit 0\n");
  }
  static std::string scene(double background, const std::string &image = "wood.tga") {
    return R"({ "environment": { "background": [)" + std::to_string(background) + R"(, 0, 0] }, "root": {
      "children": [ { "type": "camera", "name": "Camera", "position": [0, 0, 10], "look_at": [0, 0, 0] },
        { "type": "object", "name": "Wedge", "geometry": { "part": "wedge.obj" } },
        { "type": "object", "name": "Ball", "texture": { "image": ")" +
           image + R"(" },
          "geometry": { "primitive": "sphere", "radius": 1 } } ] } })";
  }
  void image(const std::string &name, Rgba colour) {
    write_targa(work_ / name, 4, 4, 24, [colour](int, int) { return colour; });
  }
  // What the next render answers: a picture of one colour.
  void next_picture(unsigned char red) {
    write_targa(home_ / "render.tga", 8, 6, 24, [red](int, int) { return Rgba{red, 0, 0, 255}; });
  }
  static bool wait_until(const std::function<bool()> &done) {
    for (int i = 0; i < 500 && !done(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return done();
  }
  int pictures() const {
    int n = 0;
    for (const std::string &line : lines_of(messages()))
      n += line.find(" in ") != std::string::npos && line.find("(POV-Ray ") != std::string::npos;
    return n;
  }
  // Waits for the picture of draw n and checks that out.tga is it.
  void expect_picture(int n, unsigned char red) {
    ASSERT_TRUE(wait_until([&] { return pictures() == n; })) << messages();
    EXPECT_EQ(runs(), n);
    std::unique_ptr<VYbitmap> out(image_reader_invoke((work_ / "out.tga").c_str()));
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->data()[0], red);
  }
  std::string drawn(int n, const std::string &file) const {
    return read_file(home_ / ("draw" + std::to_string(n)) / file);
  }
  std::string drawn_targa(int n) const {
    for (const auto &entry : fs::directory_iterator(home_ / ("draw" + std::to_string(n))))
      if (entry.path().filename().string().rfind("oku_wood", 0) == 0)
        return read_file(entry.path());
    return "";
  }
  // Edits the scene, the part and the image in turn, checking each picture.
  void edit_while_watching(bool poll) {
    ScopedEnv mode("BRIGHTFOLD_WATCH_POLL", poll ? "1" : "");
    next_picture(10);
    pid_t pid =
        start({"scene.json", "out.tga", "--width", "8", "--height", "6", "--watch", "--pov-version", "3.0"});
    expect_picture(1, 10);
    EXPECT_NE(drawn(1, "$$povuds.pov").find("#include \"wedge.inc\""), std::string::npos);
    EXPECT_EQ(messages().find("(polling)") != std::string::npos, poll) << messages();

    next_picture(20); // a burst of writes: one draw of the last text
    for (double background : {0.5, 0.625, 0.75})
      write_file(work_ / "scene.json", scene(background));
    expect_picture(2, 20);
    EXPECT_NE(drawn(2, "$$povuds.pov").find("<0.75, 0, 0>"), std::string::npos) << drawn(2, "$$povuds.pov");

    next_picture(30); // an editor that saves by renaming a new file over the old one
    write_file(work_ / "wedge.new", "mtllib wedge.mtl\nusemtl red\nv 0 0 0\nv 7 0 0\nv 0 1 0\nf 1 2 3\n");
    fs::rename(work_ / "wedge.new", work_ / "wedge.obj");
    expect_picture(3, 30);
    EXPECT_NE(drawn(3, "wedge.inc").find("< 7, 0, 0 >"), std::string::npos) << drawn(3, "wedge.inc");

    next_picture(40); // the image, and the user's definitions beside the scene
    image("wood.tga", {0, 0, 255, 255});
    write_file(work_ / "okudefs.inc", "// defined\n");
    expect_picture(4, 40);
    EXPECT_EQ(drawn(4, "okudefs.inc"), "// defined\n");
    std::string targa = drawn_targa(4);
    ASSERT_GT(targa.size(), 18u);
    EXPECT_EQ(static_cast<unsigned char>(targa[18]), 255); // blue, the first byte of a pixel
    EXPECT_NE(drawn(4, "wedge.inc").find("< 7, 0, 0 >"), std::string::npos);

    next_picture(50); // the part's material library
    write_file(work_ / "wedge.mtl", "newmtl red\nKd 0 0 1\n");
    expect_picture(5, 50);
    EXPECT_NE(drawn(5, "$$povuds.pov").find("rgbt <0, 0, 1, 0>"), std::string::npos)
        << drawn(5, "$$povuds.pov");

    // Unchanged bytes draw nothing; a scene that fails to load keeps the
    // last picture; fixed, it is drawn again.
    std::string picture = read_file(work_ / "out.tga");
    write_file(work_ / "scene.json", scene(0.75));
    fs::last_write_time(work_ / "scene.json",
                        fs::last_write_time(work_ / "scene.json") + std::chrono::seconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_EQ(runs(), 5);
    write_file(work_ / "scene.json", "{ \"root\": ");
    ASSERT_TRUE(wait_until([&] { return messages().find("keeping the last picture") != std::string::npos; }));
    EXPECT_NE(messages().find("scene.json:1:"), std::string::npos) << messages();
    EXPECT_EQ(runs(), 5);
    EXPECT_EQ(read_file(work_ / "out.tga"), picture);
    next_picture(60);
    write_file(work_ / "scene.json", scene(0.75));
    expect_picture(6, 60);

    kill(pid, SIGINT);
    EXPECT_EQ(wait_for(pid), 0);
    EXPECT_NE(messages().find("stopped watching"), std::string::npos);
    EXPECT_TRUE(tmp_is_empty());
    std::vector<std::string> left{"okudefs.inc", "out.tga",   "scene.json",
                                  "wedge.mtl",   "wedge.obj", "wood.tga"};
    EXPECT_EQ(work_entries(), left); // no temporary picture
  }
};

TEST_F(WatchTest, DrawsAgainWhenTheSceneAPartOrAnImageChanges) { edit_while_watching(false); }
TEST_F(WatchTest, PollsWhereNoChangeEventsCome) { edit_while_watching(true); }

TEST_F(WatchTest, AnEditThatMakesThePictureAnInputKeepsThePicture) {
  next_picture(10);
  pid_t pid =
      start({"scene.json", "out.tga", "--width", "8", "--height", "6", "--watch", "--pov-version", "3.0"});
  expect_picture(1, 10);
  std::string picture = read_file(work_ / "out.tga");
  write_file(work_ / "scene.json", scene(0.25, "out.tga"));
  ASSERT_TRUE(wait_until([&] { return messages().find("keeping the last picture") != std::string::npos; }));
  EXPECT_NE(messages().find("a file that the scene reads"), std::string::npos) << messages();
  EXPECT_EQ(read_file(work_ / "out.tga"), picture);
  EXPECT_EQ(runs(), 1);
  kill(pid, SIGINT);
  EXPECT_EQ(wait_for(pid), 0);
}

// A model file given in place of the scene is imported again when it or
// its material library changes.
TEST_F(WatchTest, WatchesAModelFileAndItsMaterials) {
  next_picture(10);
  pid_t pid = start({"wedge.obj", "out.tga", "--width", "8", "--height", "6", "--watch"});
  expect_picture(1, 10);
  next_picture(20);
  write_file(work_ / "wedge.mtl", "newmtl red\nKd 0 0 1\n");
  expect_picture(2, 20);
  EXPECT_NE(drawn(2, "$$povuds.pov").find("<0, 0, 1"), std::string::npos) << drawn(2, "$$povuds.pov");
  kill(pid, SIGINT);
  EXPECT_EQ(wait_for(pid), 0);
}

// A model given in place of the scene whose picture inside changes: the
// picture's Targa file is converted again.
TEST_F(WatchTest, ConvertsAgainThePictureInsideAChangedModel) {
  const auto model = [this](unsigned char red) {
    ASSERT_TRUE(bftest::write_png((work_ / "p.png").string(), 1, 1, {red, 0, 0, 255}));
    bftest::Gltf g;
    const bftest::json map = {
        {"baseColorTexture", {{"index", g.embedded_texture(read_file(work_ / "p.png"))}}}};
    const int quad =
        g.mesh({0, 0, 0, 1, 0, 0, 1, 1, 0}, {0, 1, 2}, g.material({{"pbrMetallicRoughness", map}}));
    g.attribute(quad, "TEXCOORD_0", {0, 0, 1, 0, 1, 1}, 2);
    g.node({{"name", "Quad"}, {"mesh", quad}});
    g.write(work_ / "model.new");
    fs::rename(work_ / "model.new", work_ / "model.gltf");
  };
  const auto targa_red = [this](int n) {
    const std::string targa = drawn(n, "oku_model.gltf#0.tga");
    return targa.size() > 20 ? static_cast<unsigned char>(targa[20]) : -1; // blue, green, red
  };
  model(200);
  next_picture(10);
  pid_t pid = start({"model.gltf", "out.tga", "--width", "8", "--height", "6", "--watch"});
  expect_picture(1, 10);
  EXPECT_EQ(targa_red(1), 200);
  next_picture(20);
  model(100);
  expect_picture(2, 20);
  EXPECT_EQ(targa_red(2), 100);
  kill(pid, SIGINT);
  EXPECT_EQ(wait_for(pid), 0);
}

// Only regular files are read: a FIFO or a link to /dev/zero among the
// watched files neither blocks nor spins, and one Ctrl-C ends the watch.
TEST_F(WatchTest, FifosAndEndlessFilesNeitherBlockNorSpin) {
  ASSERT_EQ(mkfifo((work_ / "okudefs.inc").c_str(), 0600), 0);
  next_picture(10);
  pid_t pid = start({"scene.json", "out.tga", "--width", "8", "--height", "6", "--watch"});
  expect_picture(1, 10);
  EXPECT_NE(messages().find("okudefs.inc: not a regular file"), std::string::npos) << messages();
  auto kept = [&](size_t n) {
    return wait_until([&] {
      size_t count = 0;
      for (size_t at = 0; (at = messages().find("keeping the last picture", at)) != std::string::npos; ++at)
        ++count;
      return count >= n;
    });
  };
  fs::remove(work_ / "scene.json"); // the scene swapped for a FIFO
  ASSERT_EQ(mkfifo((work_ / "scene.json").c_str(), 0600), 0);
  ASSERT_TRUE(kept(1)) << messages();
  EXPECT_NE(messages().find("scene.json: cannot read: not a regular file"), std::string::npos);
  next_picture(20);
  fs::remove(work_ / "scene.json");
  write_file(work_ / "scene.json", scene(0.5));
  expect_picture(2, 20);
  for (const char *name : {"wedge.obj", "scene.json"}) { // each a link to /dev/zero
    fs::remove(work_ / name);
    fs::create_symlink("/dev/zero", work_ / name);
  }
  ASSERT_TRUE(kept(2)) << messages();
  kill(pid, SIGINT);
  EXPECT_EQ(wait_for(pid), 0);
  EXPECT_TRUE(tmp_is_empty());
}

// A scene reached through a symbolic link in another folder is drawn again
// when the file it leads to is edited.
TEST_F(WatchTest, ASceneBehindALinkIsDrawnOnEdit) {
  fs::create_directory(work_ / "elsewhere");
  fs::rename(work_ / "scene.json", work_ / "elsewhere" / "real.json");
  fs::create_symlink(work_ / "elsewhere" / "real.json", work_ / "scene.json");
  next_picture(10);
  pid_t pid = start({"scene.json", "out.tga", "--width", "8", "--height", "6", "--watch"});
  expect_picture(1, 10);
  next_picture(20);
  write_file(work_ / "elsewhere" / "real.json", scene(0.5));
  expect_picture(2, 20);
  kill(pid, SIGINT);
  EXPECT_EQ(wait_for(pid), 0);
}

// Editing the buffer that a glTF file's points come from draws again.
TEST_F(WatchTest, WatchesTheFilesAModelNames) {
  const auto triangle = [](char corner) {
    std::string bytes(36, '\0');
    bytes[15] = corner; // the top byte of the second point's x
    bytes[31] = '\x3f'; // 1.0 for the third point's y: 0x3f800000
    bytes[30] = '\x80';
    return bytes;
  };
  write_file(work_ / "tri.bin", triangle('\x3f'));
  write_file(work_ / "tri.gltf", R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}],
    "nodes": [{"mesh": 0}], "meshes": [{"primitives": [{"attributes": {"POSITION": 0}}]}],
    "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",
                   "min": [0, 0, 0], "max": [4, 1, 0]}],
    "bufferViews": [{"buffer": 0, "byteLength": 36}], "buffers": [{"byteLength": 36, "uri": "tri.bin"}]})");
  next_picture(10);
  pid_t pid = start({"tri.gltf", "out.tga", "--width", "8", "--height", "6", "--watch"});
  expect_picture(1, 10);
  next_picture(20);
  write_file(work_ / "tri.bin", triangle('\x40')); // x of 2 or more
  expect_picture(2, 20);
  kill(pid, SIGINT);
  EXPECT_EQ(wait_for(pid), 0);
}

// The time limit holds for every render of the run, not the first alone.
TEST_F(WatchTest, EachRenderHasTheTimeLimit) {
  next_picture(10);
  std::string h = home_.string();
  write_file(home_ / "bin" / "pvengine.exe", "#!/bin/sh\necho run >> '" + h + "/runs.txt'\n[ $(wc -l < '" +
                                                 h + "/runs.txt') -gt 1 ] && exec sleep 10\ncp '" + h +
                                                 "/render.tga' '$$povuds.tga'\n");
  pid_t pid =
      start({"scene.json", "out.tga", "--width", "8", "--height", "6", "--timeout", "0.5", "--watch"});
  expect_picture(1, 10);
  write_file(work_ / "scene.json", scene(0.5));
  ASSERT_TRUE(wait_until([&] { return messages().find("keeping the last picture") != std::string::npos; }));
  EXPECT_NE(messages().find("did not finish within 0.5 seconds"), std::string::npos) << messages();
  kill(pid, SIGINT);
  EXPECT_EQ(wait_for(pid), 0);
}

TEST_F(RenderCommandTest, WatchDrawsAnEditedSceneWithPovRay) {
  if (std::string(BF_POVRAY).empty())
    GTEST_SKIP() << "POV-Ray is not installed (apt-get install povray)";
  set_registry("Software\\POV-Ray\\CurrentVersion\\Windows", home_line(BF_BINARY_DIR));
  pid_t pid = start({"scene.json", "out.png", "--width", "80", "--height", "60", "--watch"});
  auto red_at = [&](int x) {
    std::unique_ptr<VYbitmap> out(image_reader_invoke((work_ / "out.png").c_str()));
    return out ? out->data()[(30 * 80 + x) * 3] : 0;
  };
  auto wait_for_line = [&](const std::string &text) {
    for (int i = 0; i < 1000 && messages().find(text) == std::string::npos; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return messages().find(text) != std::string::npos;
  };
  ASSERT_TRUE(wait_for_line("watching")) << messages();
  EXPECT_GT(red_at(66), 100); // the red ball on the right
  std::string text = read_file(work_ / "scene.json");
  text.replace(text.find("[3, 0, 0]"), 9, "[-3, 0, 0]");
  write_file(work_ / "scene.json", text);
  ASSERT_TRUE(wait_for_line("scene.json changed")) << messages();
  EXPECT_LT(red_at(66), 60); // moved to the left
  EXPECT_GT(red_at(14), 100);
  kill(pid, SIGINT);
  EXPECT_EQ(wait_for(pid), 0);
  EXPECT_TRUE(tmp_is_empty());
}

} // namespace
