// The pvengine.exe launcher, with a stand-in for POV-Ray that the test controls.
#include "tests/support/preview_home.h"
#include "tests/support/run.h"

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>

namespace {

using namespace pvtest;

class PvengineTest : public PreviewFixture {
protected:
  void SetUp() override {
    PreviewFixture::SetUp();
    launcher_ = (fs::path(BF_BINARY_DIR) / "bin" / "pvengine.exe").string();
    ASSERT_TRUE(fs::exists(launcher_)) << "build pvengine.exe first";
    fs::create_directories(work_ / "scenes");
  }
  // A stand-in POV-Ray: records its arguments, directory and standard input,
  // then runs the given shell text.
  void fake_povray(const std::string &body) {
    fs::path program = root_ / "fake-povray";
    std::string h = root_.string();
    write_file(program, "#!/bin/sh\nh='" + h +
                            "'\n"
                            "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$h/args.txt\"\n"
                            "pwd > \"$h/cwd.txt\"\n"
                            "readlink /proc/$$/fd/0 > \"$h/stdin.txt\"\n" +
                            body + "\n");
    fs::permissions(program, fs::perms::owner_all);
    povray_env_.reset(); // restores the variable before it is set anew
    povray_env_ = std::make_unique<ScopedEnv>("BRIGHTFOLD_POVRAY", program.string());
  }
  // Starts the launcher with a file for its standard input, which POV-Ray
  // must not get.
  pid_t start(const std::vector<std::string> &args, const std::string &log) {
    bftest::RunOptions options;
    options.input = launcher_;
    return bftest::start_program(launcher_, args, options, "/dev/null", log);
  }
  // Runs the launcher; answers its wait status.
  int run(const std::vector<std::string> &args) {
    int status = 0;
    waitpid(start(args, (root_ / "launcher.log").string()), &status, 0);
    return status;
  }
  std::string log() const { return read_file(root_ / "launcher.log"); }

  std::string launcher_;
  std::unique_ptr<ScopedEnv> povray_env_;
};

TEST_F(PvengineTest, RunsPovRayOnTheIniInItsFolderWithTheDisplayOffAndTheOldDialect) {
  fake_povray("echo 'Parse Error: broken' >&2; exit 5");
  write_file(work_ / "scenes" / "$$povuds.ini", "Width = 1\n");
  int status = run({"scenes/$$povuds.ini", "/EXIT"});
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 5); // POV-Ray's own status
  EXPECT_EQ(read_file(root_ / "args.txt"), "$$povuds.ini\n-D\n+MV3.0\n");
  EXPECT_EQ(read_file(root_ / "cwd.txt"), fs::canonical(work_ / "scenes").string() + "\n");
  EXPECT_EQ(read_file(root_ / "stdin.txt"), "/dev/null\n");
  EXPECT_NE(log().find("Parse Error: broken"), std::string::npos); // its messages pass through

  fake_povray("exit 0");
  status = run({"/EXIT", "$$povuds.ini"}); // a bare name: the current folder
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(read_file(root_ / "cwd.txt"), fs::canonical(work_).string() + "\n");

  // A 3.7 scene's INI names its language: no 3.0 dialect then.
  write_file(work_ / "scenes" / "$$povuds.ini", "Width = 1\nVersion = 3.7\n");
  run({"scenes/$$povuds.ini", "/EXIT"});
  EXPECT_EQ(read_file(root_ / "args.txt"), "$$povuds.ini\n-D\n");
}

TEST_F(PvengineTest, ReportsAMissingPovRayOrIniFile) {
  povray_env_ = std::make_unique<ScopedEnv>("BRIGHTFOLD_POVRAY", (root_ / "no-such-povray").string());
  int status = run({"x.ini", "/EXIT"});
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 127);
  EXPECT_NE(log().find("apt-get install povray"), std::string::npos) << log();
  status = run({"/EXIT"});
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
  EXPECT_NE(log().find("usage"), std::string::npos);
}

TEST_F(PvengineTest, APovRayEndedByASignalIsAFailure) {
  fake_povray("kill -KILL $$");
  int status = run({"a.ini", "/EXIT"});
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGKILL);
}

TEST_F(PvengineTest, ForwardsInterruptsToPovRay) {
  for (int sig : {SIGINT, SIGTERM}) {
    fs::remove(root_ / "started");
    fs::remove(root_ / "stopped.txt");
    // Stops on the signal and exits 0, as if nothing had gone wrong.
    fake_povray("trap 'echo stopped > \"$h/stopped.txt\"; exit 0' INT TERM\n"
                "touch \"$h/started\"\n"
                "i=0; while [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done; exit 0");
    pid_t pid = start({"a.ini", "/EXIT"}, (root_ / "launcher.log").string());
    for (int i = 0; i < 100 && !fs::exists(root_ / "started"); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(fs::exists(root_ / "started"));
    kill(pid, sig);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(read_file(root_ / "stopped.txt"), "stopped\n");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + sig); // a stopped render never counts as a success
  }
}

} // namespace
