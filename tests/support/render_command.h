// brightfold render run as the user runs it: the built program in a child
// process, its messages in a file, and a stand-in pvengine.exe that the
// test controls.
#pragma once

#include "tests/support/preview_home.h"
#include "tests/support/run.h"

#include <chrono>
#include <memory>
#include <thread>

namespace pvtest {

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
    args.insert(args.begin(), "render");
    return bftest::start_program((fs::path(BF_BINARY_DIR) / "bin" / "brightfold").string(), args, {},
                                 "/dev/null", (root_ / "stderr.txt").string());
  }
  // Runs the command; answers its exit code (128 + signal when killed).
  int run(const std::vector<std::string> &args) { return wait_for(start(args)); }
  static int wait_for(pid_t pid) { return bftest::wait_program(pid); }
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

} // namespace pvtest
