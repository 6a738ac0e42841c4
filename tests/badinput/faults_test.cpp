// Faults around a save or a render: a full disk, an output that cannot be
// written, a renderer that crashes, hangs or is interrupted. After each,
// the user's earlier files are as they were and no temporary file is left.
#include "files_check.h"
#include "tests/support/run.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

const std::string kProgram = BF_BINARY_DIR "/bin/brightfold";
const char *const kImage = "/usr/share/assimp/models/3DS/test.png";

using badinput::expect_only_outputs_changed;
using badinput::snapshot;
using bftest::read_file;
void write(const fs::path &path, const std::string &text) { std::ofstream(path, std::ios::binary) << text; }

// A scene of `count` boxes, each with a name long enough to make the text
// large.
std::string boxes(int count, const std::string &extra = "") {
  std::string text = R"({"root": {"children": [)" + extra;
  for (int i = 0; i < count; ++i)
    text += std::string(i || !extra.empty() ? "," : "") + R"({"type": "object", "name": "box )" +
            std::string(40, 'b') + std::to_string(i) + R"(", "geometry": {"primitive": "box"}})";
  return text + "]}}";
}

// A scene of `count` mesh objects (each its own include file) of
// `triangles` triangles each.
std::string meshes(int count, int triangles) {
  std::string polygons, text = R"({"root": {"children": [)";
  for (int i = 0; i < triangles; ++i)
    polygons += std::string(i ? "," : "") + R"({"v": [0, 1, 2]})";
  for (int i = 0; i < count; ++i)
    text +=
        std::string(i ? "," : "") + R"({"type": "object", "name": "Knob", "id": )" + std::to_string(i + 1) +
        R"(, "geometry": {"mesh": {"vertices": [[0,0,0],[1,0,0],[0,1,0]], "polygons": [)" + polygons + "]}}}";
  return text + "]}}";
}

// A renderer that leaves a 200 x 200 Targa picture of noise, cut off after
// `bytes` of its 120000 bytes of pixels.
std::string noise_picture(int bytes = 120000) {
  return R"(printf '\000\000\002\000\000\000\000\000\000\000\000\000\310\000\310\000\030\000' > '$$povuds.tga'
head -c )" +
         std::to_string(bytes) + " /dev/urandom >> '$$povuds.tga'\n";
}
const std::string kCamera = R"({"type": "camera", "name": "c"})";

// `count` mesh objects (Knob1.inc ...) and a box textured with kImage
// (oku_test.tga).
std::string textured_mesh(int count = 1) {
  std::string text = meshes(count, 3);
  return text.substr(0, text.size() - 3) +
         R"(, {"type": "object", "name": "Textured", "geometry": {"primitive": "box"}, "texture": {"image": ")" +
         kImage + R"("}}]}})";
}

class Faults : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/bf_faults_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root = pattern;
    work = root / "work";
    home = root / "home";
    tmp = root / "tmp";
    for (const fs::path &d : {work, home / "bin", tmp})
      fs::create_directories(d);
    write(root / "registry.reg", "Windows Registry Editor Version 5.00\r\n\r\n"
                                 "[HKEY_LOCAL_MACHINE\\Software\\POV-Ray\\CurrentVersion\\Windows]\r\n"
                                 "\"Home\"=\"" +
                                     home.string() + "\"\r\n");
  }
  void TearDown() override {
    if (mounted)
      umount(work.c_str());
    std::error_code ec;
    fs::remove_all(root, ec);
  }

  // Starts brightfold in `work` with TMPDIR and the registry of this test.
  pid_t start(const std::vector<std::string> &args) {
    bftest::RunOptions options{
        work.string(),
        {"TMPDIR=" + tmp.string(), "BRIGHTFOLD_REGISTRY=" + (root / "registry.reg").string()},
        120};
    options.env.insert(options.env.end(), extra_env.begin(), extra_env.end());
    return bftest::start_program(kProgram, args, options, "/dev/null", (root / "stderr").string());
  }
  static int wait_for(pid_t pid) { return bftest::wait_program(pid); }
  int run(const std::vector<std::string> &args) { return wait_for(start(args)); }
  std::string messages() const { return read_file(root / "stderr"); }
  void renderer(const std::string &script) {
    write(home / "bin" / "pvengine.exe", "#!/bin/sh\n" + script);
    fs::permissions(home / "bin" / "pvengine.exe", fs::perms::owner_all);
  }
  void clear_work() {
    for (const auto &entry : fs::directory_iterator(work))
      fs::remove_all(entry.path());
  }
  // A small file system over `work` that fills up; false where mounting is
  // not allowed.
  bool small_disk(const char *size) {
    mounted = mount("tmpfs", work.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
    return mounted;
  }

  static std::set<std::string> snapshot_names(const fs::path &dir) {
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir))
      names.insert(entry.path().filename().string());
    return names;
  }

  fs::path root, work, home, tmp;
  std::vector<std::string> extra_env; // NAME=VALUE for the next runs
  bool mounted = false;
};

// A device as the output: written directly, and nothing (include file,
// Targa file, temporary file) is written beside it.
TEST_F(Faults, ADeviceOutputGetsNothingBesideIt) {
  write(work / "scene.json",
        R"({"root": {"children": [{"type": "object", "name": "Knob", "geometry": {"mesh":)"
        R"( {"vertices": [[0,0,0],[1,0,0],[0,1,0]], "polygons": [{"v": [0, 1, 2]}]}}},)"
        R"( {"type": "object", "name": "T", "geometry": {"primitive": "box"},)"
        R"( "texture": {"image": ")" +
            std::string(kImage) + R"("}}]}})");
  const struct {
    const char *device;
    int exit_code;
    const char *message;
  } rows[] = {{"/dev/full", 1, "POV Save: Error writing file.\nbrightfold: saving /dev/full failed\n"},
              {"/dev/null", 0, ""}};
  for (const auto &row : rows) {
    SCOPED_TRACE(row.device);
    const auto dev = snapshot_names("/dev");
    const auto before = snapshot(work);
    EXPECT_EQ(run({"save", "scene.json", row.device}), row.exit_code);
    EXPECT_EQ(messages(), row.message);
    EXPECT_EQ(snapshot_names("/dev"), dev);
    expect_only_outputs_changed(before, snapshot(work));
  }
}

// Whatever does not fit on a full disk (the scene, its target behind a
// symbolic link, an include file, the picture, the kept scene) fails the
// command and leaves every earlier file as it was.
TEST_F(Faults, AFullDiskFailsTheCommandAndKeepsEveryEarlierFileWhole) {
  if (!small_disk("64k"))
    GTEST_SKIP() << "cannot mount a small file system here";
  renderer(noise_picture());
  const std::string no_space = ": No space left on device";
  const std::vector<std::string> render = {"render", "../scene.json", "out.png", "--width",
                                           "200",    "--height",      "200"};
  const struct {
    const char *name;
    std::string scene;
    std::vector<std::string> args;
    std::string message; // the start of standard error
  } rows[] = {
      {"scene", boxes(400), {"save", "../scene.json", "out.pov"}, "POV Save: Error writing file.\n"},
      {"link", boxes(400), {"save", "../scene.json", "link.pov"}, "POV Save: Error writing file.\n"},
      {"include",
       meshes(1, 4000),
       {"save", "../scene.json", "out.pov"},
       "POV Save: Cannot write Knob1.inc: error writing the file.\n"},
      {"picture", boxes(1, kCamera), render,
       "brightfold: cannot write " + (work / "out.png").string() + no_space},
      {"kept scene",
       boxes(400, kCamera),
       {"render", "../scene.json", "out.png", "--keep-scene", "kept.pov"},
       "brightfold: cannot keep the scene as " + (work / "kept.pov").string() + no_space},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    clear_work();
    write(root / "scene.json", row.scene);
    for (const char *name : {"out.pov", "out.png", "kept.pov", "Knob1.inc"})
      write(work / name, std::string("earlier ") + name + "\n");
    fs::create_symlink("out.pov", work / "link.pov");
    const auto before = snapshot(work);
    EXPECT_EQ(run(row.args), 1);
    EXPECT_EQ(messages().substr(0, row.message.size()), row.message) << messages();
    expect_only_outputs_changed(before, snapshot(work));
    EXPECT_TRUE(fs::is_empty(tmp));
  }
}

TEST_F(Faults, ASymbolicLinkOutputIsWrittenAtItsTarget) {
  write(work / "scene.json", boxes(1));
  fs::create_directory(work / "real");
  write(work / "real" / "scene.pov", "the earlier scene\n");
  fs::create_symlink("real/scene.pov", work / "link.pov");
  EXPECT_EQ(run({"save", "scene.json", "link.pov"}), 0) << messages();
  EXPECT_TRUE(fs::is_symlink(work / "link.pov"));
  EXPECT_NE(read_file(work / "real" / "scene.pov").find("box"), std::string::npos);
  EXPECT_EQ(std::distance(fs::directory_iterator(work / "real"), {}), 1) << "no temporary file is left";
}

// A Targa file that does not fit fails the whole save: the scene and the
// include file written before it are not put in place.
TEST_F(Faults, ATextureThatCannotBeWrittenFailsTheSaveAndChangesNothing) {
  // The converted Targa file (192 KiB) does not fit; the scene and the
  // include file do.
  if (!small_disk("64k"))
    GTEST_SKIP() << "cannot mount a small file system here";
  write(work / "scene.json", textured_mesh());
  write(work / "out.pov", "the earlier scene\n");
  write(work / "Knob1.inc", "the earlier part\n");
  const auto before = snapshot(work);
  EXPECT_EQ(run({"save", "scene.json", "out.pov"}), 1) << messages();
  EXPECT_EQ(messages(), "POV Save: Cannot write oku_test.tga: error writing the file.\n"
                        "brightfold: saving out.pov failed\n");
  expect_only_outputs_changed(before, snapshot(work));
  EXPECT_TRUE(fs::is_empty(tmp));
}

// A symbolic link at a name the module chose (an include or Targa file) is
// replaced by the new file; its target, or the file it names, is left as
// it was. (An output the user named is written at its target, above.)
TEST_F(Faults, ALinkAtADerivedNameIsReplacedAndItsTargetKept) {
  write(work / "scene.json", textured_mesh());
  const struct {
    const char *name, *target;
  } rows[] = {{"Knob1.inc", "user.txt"},
              {"Knob1.inc", "nowhere.txt"},
              {"oku_test.tga", "user.txt"},
              {"oku_test.tga", "nowhere.txt"}};
  for (const auto &row : rows) {
    SCOPED_TRACE(std::string(row.name) + " -> " + row.target);
    for (const char *name : {"out.pov", "Knob1.inc", "oku_test.tga", "nowhere.txt"})
      fs::remove(work / name);
    write(work / "user.txt", "the user's own file\n");
    fs::create_symlink(row.target, work / row.name);
    EXPECT_EQ(run({"save", "scene.json", "out.pov"}), 0) << messages();
    EXPECT_FALSE(fs::is_symlink(work / row.name));
    EXPECT_TRUE(fs::is_regular_file(work / row.name));
    EXPECT_EQ(read_file(work / "user.txt"), "the user's own file\n");
    EXPECT_FALSE(fs::exists(work / "nowhere.txt"));
  }
}

// Saves of one scene to one output at the same time all succeed, and what
// stands afterwards is one whole save.
TEST_F(Faults, ConcurrentSavesToOneFolderAllSucceed) {
  write(work / "scene.json", textured_mesh(8));
  EXPECT_EQ(run({"save", "scene.json", "alone.pov"}), 0) << messages();
  for (int round = 0; round < 3; ++round) { // the clash came on one run in three
    std::vector<pid_t> runs;
    for (int i = 0; i < 20; ++i)
      runs.push_back(bftest::start_program(kProgram, {"save", "scene.json", "out.pov"},
                                           {work.string(), {}, 120}, "/dev/null",
                                           (root / ("stderr" + std::to_string(i))).string()));
    for (size_t i = 0; i < runs.size(); ++i) {
      EXPECT_EQ(wait_for(runs[i]), 0);
      EXPECT_EQ(read_file(root / ("stderr" + std::to_string(i))),
                "brightfold: saved out.pov; render it with: povray +MV3.0 +Iout.pov\n");
    }
    EXPECT_EQ(read_file(work / "out.pov"), read_file(work / "alone.pov"));
    for (const auto &name : snapshot_names(work))
      EXPECT_NE(name[0], '.') << "left behind: " << name;
  }
}

TEST_F(Faults, AnIncludeFileThatCannotBeWrittenFailsTheSaveAndChangesNothing) {
  // A directory stands where the part's include file would go.
  write(work / "scene.json", R"({"root": {"children": [{"type": "object", "name": "Part",)"
                             R"( "geometry": {"mesh": {"vertices": [[0,0,0],[1,0,0],[0,1,0]],)"
                             R"( "polygons": [{"v": [0, 1, 2]}]}}}]}})");
  EXPECT_EQ(run({"save", "scene.json", "out.pov"}), 0) << messages();
  const std::string first = read_file(work / "out.pov");
  const size_t at = first.find("#include \"");
  ASSERT_NE(at, std::string::npos) << first;
  const std::string include = first.substr(at + 10, first.find('"', at + 10) - at - 10);
  fs::remove(work / include);
  fs::create_directory(work / include);
  write(work / include / "keep.txt", "inside\n");
  const auto before = snapshot(work);
  EXPECT_EQ(run({"save", "scene.json", "second.pov"}), 1) << messages();
  EXPECT_EQ(messages(), "POV Save: Cannot write " + include +
                            ": it is not a regular file.\nbrightfold: saving second.pov failed\n");
  expect_only_outputs_changed(before, snapshot(work));
}

TEST_F(Faults, AnUnwritableOutputDirectoryChangesNothing) {
  // As root no permission stops a write, but a path through a regular file
  // cannot be created by anyone.
  write(work / "scene.json", boxes(2));
  write(work / "afile", "not a directory\n");
  const auto before = snapshot(work);
  EXPECT_EQ(run({"save", "scene.json", "afile/out.pov", "afile/sub/out.pov"}), 1);
  EXPECT_EQ(messages(), "brightfold: cannot save to afile/out.pov: Not a directory\n"
                        "brightfold: cannot save to afile/sub/out.pov: Not a directory\n");
  expect_only_outputs_changed(before, snapshot(work));
}

// A renderer that crashes, or exits 0 but leaves a cut-off picture (whose
// missing rows would read as black): a failed render, nothing changed.
TEST_F(Faults, ARendererThatFailsIsReportedAndChangesNothing) {
  const struct {
    const char *name;
    std::string script, message;
  } rows[] = {{"crash", "kill -SEGV $$\n", "POV-Ray was stopped by signal 11"},
              {"cut-off picture", noise_picture(60000), "POV-Ray left no 200 x 200 picture"}};
  write(work / "scene.json", boxes(1, kCamera));
  write(work / "out.png", "the picture rendered yesterday\n");
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    renderer(row.script);
    const auto before = snapshot(work);
    EXPECT_EQ(run({"render", "scene.json", "out.png", "--width", "200", "--height", "200"}), 1);
    EXPECT_NE(messages().find(row.message), std::string::npos) << messages();
    expect_only_outputs_changed(before, snapshot(work));
    EXPECT_TRUE(fs::is_empty(tmp));
  }
}

TEST_F(Faults, ARendererThatIgnoresTheStopIsKilledAfterTheTimeLimit) {
  // The renderer ignores SIGTERM and SIGINT; the limit still ends the run.
  renderer("trap '' TERM INT\nexec sleep 60\n");
  write(work / "scene.json", boxes(1, R"({"type": "camera", "name": "c"})"));
  write(work / "out.png", "the picture rendered yesterday\n");
  const auto before = snapshot(work);
  const auto began = std::chrono::steady_clock::now();
  extra_env = {"BRIGHTFOLD_STOP_GRACE=0.5"};
  EXPECT_EQ(run({"render", "scene.json", "out.png", "--timeout", "0.5"}), 1);
  // TERM is ignored; the kill after the grace period reaches the whole
  // process group (the sleep would run for a minute).
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(4));
  EXPECT_NE(messages().find("did not finish within 0.5 seconds"), std::string::npos) << messages();
  expect_only_outputs_changed(before, snapshot(work));
  EXPECT_TRUE(fs::is_empty(tmp));
}

TEST_F(Faults, AnInterruptedRenderChangesNothing) {
  renderer("touch '" + (home / "started").string() + "'\nexec sleep 30\n");
  write(work / "scene.json", boxes(1, R"({"type": "camera", "name": "c"})"));
  write(work / "out.png", "the picture rendered yesterday\n");
  const auto before = snapshot(work);
  const pid_t pid = start({"render", "scene.json", "out.png"});
  for (int i = 0; i < 500 && !fs::exists(home / "started"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(fs::exists(home / "started"));
  kill(pid, SIGINT);
  EXPECT_EQ(wait_for(pid), 128 + SIGINT);
  expect_only_outputs_changed(before, snapshot(work));
  EXPECT_TRUE(fs::is_empty(tmp));
}

} // namespace

// Ctrl-C or SIGTERM at any moment of a save leaves no temporary file; what
// is in place is the earlier file or a whole new one.
TEST_F(Faults, AnInterruptedSaveLeavesNoTemporaryFile) {
  write(root / "scene.json", meshes(150, 200));
  std::set<std::string> outputs = {"out.pov"};
  for (int i = 1; i <= 150; ++i)
    outputs.insert("Knob" + std::to_string(i) + ".inc");
  int interrupted = 0;
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const int sig = round % 2 ? SIGTERM : SIGINT;
    clear_work();
    write(work / "out.pov", "the earlier scene\n");
    const auto before = snapshot(work);
    const pid_t pid = start({"save", "../scene.json", "out.pov"});
    std::this_thread::sleep_for(std::chrono::milliseconds(20 + 15 * round));
    kill(pid, sig);
    const int status = wait_for(pid);
    EXPECT_TRUE(status == 0 || status == 128 + sig) << status;
    interrupted += status != 0;
    const auto after = snapshot(work);
    expect_only_outputs_changed(before, after, outputs);
    const std::string scene = after.count("out.pov") ? after.at("out.pov") : "";
    EXPECT_TRUE(scene == "the earlier scene\n" || scene.rfind("}\n") == scene.size() - 2);
  }
  EXPECT_GT(interrupted, 0) << "no round was interrupted while saving";
}

// The renderer never outlives brightfold, and the next render removes the
// private folder that the killed run left.
TEST_F(Faults, AKilledRenderTakesTheRendererAlongAndIsSweptUp) {
  renderer("echo $$ > '" + (home / "pid").string() + "'\nexec sleep 30\n");
  write(work / "scene.json", boxes(1, kCamera));
  const pid_t pid = start({"render", "scene.json", "out.png"});
  for (int i = 0; i < 500 && read_file(home / "pid").find('\n') == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const std::string renderer_pid = read_file(home / "pid");
  ASSERT_FALSE(renderer_pid.empty());
  kill(pid, SIGKILL);
  wait_for(pid);
  const auto running = [&] {
    const std::string stat = read_file("/proc/" + renderer_pid.substr(0, renderer_pid.find('\n')) + "/stat");
    return !stat.empty() && stat[stat.rfind(')') + 2] != 'Z';
  };
  for (int i = 0; i < 250 && running(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(running()) << "the renderer outlived brightfold";
  EXPECT_FALSE(fs::is_empty(tmp));
  renderer("exit 1\n");
  EXPECT_EQ(run({"render", "scene.json", "out.png"}), 1);
  EXPECT_TRUE(fs::is_empty(tmp)) << "the killed run's folder is left";
}

// A save removes the temporary files that killed runs left beside its
// output, and only theirs.
TEST_F(Faults, ASaveSweepsUpTheTemporaryFilesOfKilledRuns) {
  const pid_t dead = bftest::start_program("/bin/true", {}, {}, "/dev/null", "/dev/null");
  wait_for(dead);
  const std::string gone = std::to_string(dead), alive = std::to_string(getpid());
  write(work / "scene.json", boxes(1));
  for (const std::string &name : {".oku-" + gone + "-3.partial", ".bf-" + gone + "-1.partial",
                                  ".oku-" + alive + "-1.partial", ".oku-" + gone + "-1.keep"})
    write(work / name, "left\n");
  EXPECT_EQ(run({"save", "scene.json", "out.pov"}), 0) << messages();
  EXPECT_FALSE(fs::exists(work / (".oku-" + gone + "-3.partial")));
  EXPECT_FALSE(fs::exists(work / (".bf-" + gone + "-1.partial")));
  EXPECT_TRUE(fs::exists(work / (".oku-" + alive + "-1.partial")));
  EXPECT_TRUE(fs::exists(work / (".oku-" + gone + "-1.keep")));
}
