// Frames on one machine: `brightfold render` of a 24-frame turntable of
// examples/demo at 640 x 480, a whole process, once (the run takes a
// minute or two). POV-Ray is started through this program as a stand-in
// that runs the real one and notes how long each run took, so the table
// shows frames a minute and our own cost a frame (everything that is not
// POV-Ray: loading, the scene writes, the picture writes) beside POV-Ray's.
#include "bench_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

const std::string kProgram = BF_BINARY_DIR "/bin/brightfold";
const std::string kDemo = BF_SOURCE_DIR "/examples/demo/scene.json";
constexpr const char *kLogVariable = "BENCH_FRAMES_POVRAY_LOG";
constexpr int kFrames = 24;
constexpr double kTargetShare = 0.05; // our cost a frame, of POV-Ray's

int run_and_wait(const std::vector<std::string> &args) {
  std::vector<char *> argv;
  for (const std::string &a : args)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid)
    return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// As the stand-in: runs povray with our arguments and notes its seconds.
int stand_in(int argc, char **argv, const char *log) {
  std::vector<std::string> args{"povray"};
  for (int i = 1; i < argc; ++i)
    args.push_back(argv[i]);
  const auto start = std::chrono::steady_clock::now();
  const int status = run_and_wait(args);
  std::ofstream(log, std::ios::app) << bench::seconds_since(start) << "\n";
  return status;
}

} // namespace

int main(int argc, char **argv) {
  if (const char *log = std::getenv(kLogVariable))
    return stand_in(argc, argv, log);
  const std::string dir = bench::make_scratch_dir("frames");
  char self[PATH_MAX] = {};
  if (dir.empty() || readlink("/proc/self/exe", self, sizeof self - 1) <= 0) {
    std::fprintf(stderr, "bench_frames: cannot set up\n");
    return 1;
  }
  const std::string log = dir + "/povray-times";
  setenv(kLogVariable, log.c_str(), 1);
  setenv("BRIGHTFOLD_POVRAY", self, 1);
  const auto start = std::chrono::steady_clock::now();
  const int status = run_and_wait({kProgram, "render", kDemo, dir + "/turn.png", "--turntable", "1", "--fps",
                                   std::to_string(kFrames), "--width", "640", "--height", "480", "-q"});
  const double total = bench::seconds_since(start);
  unsetenv(kLogVariable);
  double povray = 0;
  int runs = 0;
  std::ifstream in(log);
  for (double s; in >> s; ++runs)
    povray += s;
  std::filesystem::remove_all(dir);
  if (status != 0 || runs != kFrames) {
    std::fprintf(stderr, "bench_frames: the render failed (exit %d, %d POV-Ray runs)\n", status, runs);
    return 1;
  }
  const double ours = (total - povray) / kFrames, theirs = povray / kFrames;
  std::printf("frames: %d-frame turntable of examples/demo, 640 x 480, one machine, one run\n", kFrames);
  std::printf("  %.1f frames a minute (%.1f s in all); a frame: POV-Ray %.3f s, ours %.3f s (%.1f%% of "
              "POV-Ray's; target under %.0f%%: %s)\n",
              kFrames * 60 / total, total, theirs, ours, 100 * ours / theirs, 100 * kTargetShare,
              ours < kTargetShare * theirs ? "met" : "NOT met");
  return ours < kTargetShare * theirs ? 0 : 1;
}
