// Faults around a save or a render: a full disk, an output that cannot be
// written, a renderer that crashes, hangs or is interrupted. After each,
// the user's earlier files are as they were and no temporary file is left.
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
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

const std::string kProgram = BF_BINARY_DIR "/bin/brightfold";
const char *const kImage = "/usr/share/assimp/models/3DS/test.png";

std::string slurp(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}
void write(const fs::path &path, const std::string &text) { std::ofstream(path, std::ios::binary) << text; }

std::map<std::string, std::string> snapshot(const fs::path &dir) {
  std::map<std::string, std::string> files;
  for (const auto &entry : fs::recursive_directory_iterator(dir))
    files[fs::relative(entry.path(), dir).string()] = entry.is_regular_file() ? slurp(entry.path()) : "<dir>";
  return files;
}

// A scene of `count` boxes, each with a name long enough to make the text
// large.
std::string boxes(int count, const std::string &extra = "") {
  std::string text = R"({"root": {"children": [)" + extra;
  for (int i = 0; i < count; ++i)
    text += std::string(i || !extra.empty() ? "," : "") + R"({"type": "object", "name": "box )" +
            std::string(40, 'b') + std::to_string(i) + R"(", "geometry": {"primitive": "box"}})";
  return text + "]}}";
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
    const pid_t pid = fork();
    if (pid == 0) {
      const int e = open((root / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int o = open("/dev/null", O_RDWR);
      if (e < 0 || o < 0 || dup2(e, 2) < 0 || dup2(o, 1) < 0 || dup2(o, 0) < 0 || chdir(work.c_str()) != 0)
        _exit(127);
      setenv("TMPDIR", tmp.c_str(), 1);
      setenv("BRIGHTFOLD_REGISTRY", (root / "registry.reg").c_str(), 1);
      std::vector<char *> argv{const_cast<char *>(kProgram.c_str())};
      for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
      argv.push_back(nullptr);
      alarm(120);
      execv(kProgram.c_str(), argv.data());
      _exit(127);
    }
    return pid;
  }
  static int wait_for(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  int run(const std::vector<std::string> &args) { return wait_for(start(args)); }
  std::string messages() const { return slurp(root / "stderr"); }
  void renderer(const std::string &script) {
    write(home / "bin" / "pvengine.exe", "#!/bin/sh\n" + script);
    fs::permissions(home / "bin" / "pvengine.exe", fs::perms::owner_all);
  }
  // A small file system over `work` that fills up; false where mounting is
  // not allowed.
  bool small_disk(const char *size) {
    mounted = mount("tmpfs", work.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
    return mounted;
  }

  fs::path root, work, home, tmp;
  bool mounted = false;
};

TEST_F(Faults, AFullDeviceAnswersTheWriteErrorAndLeavesNothingBehind) {
  write(work / "scene.json", boxes(3));
  std::map<std::string, bool> before;
  for (const auto &entry : fs::directory_iterator("/dev"))
    before[entry.path().string()] = true;
  EXPECT_EQ(run({"save", "scene.json", "/dev/full"}), 1);
  EXPECT_EQ(messages(), "POV Save: Error writing file.\nbrightfold: saving /dev/full failed\n");
  for (const auto &entry : fs::directory_iterator("/dev"))
    EXPECT_TRUE(before.count(entry.path().string())) << entry.path() << " was left in /dev";
}

TEST_F(Faults, AFullDiskKeepsTheEarlierSceneFileWhole) {
  if (!small_disk("64k"))
    GTEST_SKIP() << "cannot mount a small file system here";
  write(work / "scene.json", boxes(400));
  write(work / "out.pov", "// the scene saved yesterday\n");
  write(work / "notes.txt", "the user's own file\n");
  const auto before = snapshot(work);
  EXPECT_EQ(run({"save", "scene.json", "out.pov"}), 1);
  EXPECT_EQ(messages(), "POV Save: Error writing file.\nbrightfold: saving out.pov failed\n");
  EXPECT_EQ(snapshot(work), before); // nothing changed, no temporary file left
}

TEST_F(Faults, ATextureThatCannotBeWrittenIsLeftOutWithoutAPartialFile) {
  // The converted Targa file (192 KiB) does not fit; the scene does.
  if (!small_disk("64k"))
    GTEST_SKIP() << "cannot mount a small file system here";
  write(
      work / "scene.json",
      boxes(
          1,
          R"({"type": "object", "name": "Textured", "geometry": {"primitive": "box"}, "texture": {"image": ")" +
              std::string(kImage) + R"("}})"));
  EXPECT_EQ(run({"save", "scene.json", "out.pov"}), 0) << messages();
  const std::string scene = slurp(work / "out.pov");
  EXPECT_NE(scene.find("/*"), std::string::npos) << scene; // the texture is commented out
  for (const auto &entry : fs::directory_iterator(work)) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "scene.json" || name == "out.pov") << "left behind: " << name;
  }
}

TEST_F(Faults, AnIncludeFileThatCannotBeWrittenChangesNoUserFile) {
  // A directory stands where the part's include file would go.
  write(work / "scene.json", R"({"root": {"children": [{"type": "object", "name": "Part",)"
                             R"( "geometry": {"mesh": {"vertices": [[0,0,0],[1,0,0],[0,1,0]],)"
                             R"( "polygons": [{"v": [0, 1, 2]}]}}}]}})");
  EXPECT_EQ(run({"save", "scene.json", "out.pov"}), 0) << messages();
  const std::string first = slurp(work / "out.pov");
  const size_t at = first.find("#include \"");
  ASSERT_NE(at, std::string::npos) << first;
  const std::string include = first.substr(at + 10, first.find('"', at + 10) - at - 10);
  fs::remove(work / include);
  fs::create_directory(work / include);
  write(work / include / "keep.txt", "inside\n");
  const auto before = snapshot(work);
  EXPECT_EQ(run({"save", "scene.json", "second.pov"}), 0) << messages();
  auto after = snapshot(work);
  after.erase("second.pov");
  EXPECT_EQ(after, before);
}

TEST_F(Faults, AnUnwritableOutputDirectoryChangesNothing) {
  // As root no permission stops a write, but a path through a regular file
  // cannot be created by anyone.
  write(work / "scene.json", boxes(2));
  write(work / "afile", "not a directory\n");
  const auto before = snapshot(work);
  EXPECT_EQ(run({"save", "scene.json", "afile/out.pov", "afile/sub/out.pov"}), 1);
  EXPECT_EQ(messages(),
            "POV Save: Cannot open file for writing.\nbrightfold: saving afile/out.pov failed\n"
            "POV Save: Cannot open file for writing.\nbrightfold: saving afile/sub/out.pov failed\n");
  EXPECT_EQ(snapshot(work), before);
}

TEST_F(Faults, ARendererThatCrashesIsReportedAndChangesNothing) {
  renderer("kill -SEGV $$\n");
  write(work / "scene.json", boxes(1, R"({"type": "camera", "name": "c"})"));
  write(work / "out.png", "the picture rendered yesterday\n");
  const auto before = snapshot(work);
  EXPECT_EQ(run({"render", "scene.json", "out.png"}), 1);
  EXPECT_NE(messages().find("POV-Ray"), std::string::npos) << messages();
  EXPECT_EQ(snapshot(work), before);
  EXPECT_TRUE(fs::is_empty(tmp));
}

TEST_F(Faults, ARendererThatIgnoresTheStopIsKilledAfterTheTimeLimit) {
  // The renderer ignores SIGTERM and SIGINT; the limit still ends the run.
  renderer("trap '' TERM INT\nexec sleep 60\n");
  write(work / "scene.json", boxes(1, R"({"type": "camera", "name": "c"})"));
  write(work / "out.png", "the picture rendered yesterday\n");
  const auto before = snapshot(work);
  const auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(run({"render", "scene.json", "out.png", "--timeout", "0.5"}), 1);
  // TERM is ignored; the kill after five seconds reaches the whole process group.
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(10));
  EXPECT_NE(messages().find("did not finish within 0.5 seconds"), std::string::npos) << messages();
  EXPECT_EQ(snapshot(work), before);
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
  EXPECT_EQ(snapshot(work), before);
  EXPECT_TRUE(fs::is_empty(tmp));
}

} // namespace
