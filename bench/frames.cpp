// Frames on one machine: `brightfold render` of a 24-frame turntable of
// examples/demo at 640 x 480, a whole process, once (the run takes a
// minute or two). POV-Ray is started through this program as a stand-in:
// in the first run it runs the real one, notes how long each run took and
// keeps the picture; in the second it hands back that picture at once, so
// the second run's time a frame is our own cost alone (loading, the scene
// writes, the launcher, reading and writing the pictures), free of the
// share of the processor that POV-Ray's threads took from us.
#include "bench_support.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

const std::string kProgram = BF_BINARY_DIR "/bin/brightfold";
const std::string kDemo = BF_SOURCE_DIR "/examples/demo/scene.json";
constexpr const char *kDirVariable = "BENCH_FRAMES_DIR";   // the stand-in's folder
constexpr const char *kModeVariable = "BENCH_FRAMES_MODE"; // "time" or "copy"
constexpr const char *kPicture = "$$povuds.tga";           // what the preview asks POV-Ray for
constexpr int kFrames = 24;
constexpr double kTargetShare = 0.05; // our cost a frame, of POV-Ray's

// Runs the program and waits: its exit status; `cpu` gets the processor
// seconds it and its children took.
int run_and_wait(const std::vector<std::string> &args, double *cpu = nullptr) {
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
  struct rusage usage {};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
    return -1;
  if (cpu != nullptr)
    *cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// As the stand-in: runs povray with our arguments, notes its seconds and
// keeps its picture; or gives the kept picture back.
int stand_in(int argc, char **argv, const std::string &dir, const std::string &mode) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (mode == "copy")
    return fs::copy_file(dir + "/picture.tga", kPicture, fs::copy_options::overwrite_existing, ec) ? 0 : 1;
  std::vector<std::string> args{"povray"};
  for (int i = 1; i < argc; ++i)
    args.push_back(argv[i]);
  const auto start = std::chrono::steady_clock::now();
  const int status = run_and_wait(args);
  std::ofstream(dir + "/povray-times", std::ios::app) << bench::seconds_since(start) << "\n";
  fs::copy_file(kPicture, dir + "/picture.tga", fs::copy_options::overwrite_existing, ec);
  return status;
}

// The turntable rendered through the stand-in in `mode`: exit status,
// seconds and processor seconds.
int render(const std::string &dir, const char *mode, double &seconds, double &cpu) {
  setenv(kModeVariable, mode, 1);
  const auto start = std::chrono::steady_clock::now();
  const int status = run_and_wait({kProgram, "render", kDemo, dir + "/turn.png", "--turntable", "1", "--fps",
                                   std::to_string(kFrames), "--width", "640", "--height", "480", "-q"},
                                  &cpu);
  seconds = bench::seconds_since(start);
  return status;
}

} // namespace

int main(int argc, char **argv) {
  const char *stand_in_dir = std::getenv(kDirVariable), *mode = std::getenv(kModeVariable);
  if (stand_in_dir != nullptr && mode != nullptr)
    return stand_in(argc, argv, stand_in_dir, mode);
  const std::string dir = bench::make_scratch_dir("frames");
  char self[PATH_MAX] = {};
  if (dir.empty() || readlink("/proc/self/exe", self, sizeof self - 1) <= 0) {
    std::fprintf(stderr, "bench_frames: cannot set up\n");
    return 1;
  }
  setenv(kDirVariable, dir.c_str(), 1);
  setenv("BRIGHTFOLD_POVRAY", self, 1);
  double total = 0, ours = 0, unused = 0, ours_cpu = 0;
  const int status = render(dir, "time", total, unused), copy_status = render(dir, "copy", ours, ours_cpu);
  double povray = 0;
  int runs = 0;
  std::ifstream in(dir + "/povray-times");
  for (double s; in >> s; ++runs)
    povray += s;
  std::filesystem::remove_all(dir);
  if (status != 0 || copy_status != 0 || runs != kFrames) {
    std::fprintf(stderr, "bench_frames: a render failed (exit %d and %d, %d POV-Ray runs)\n", status,
                 copy_status, runs);
    return 1;
  }
  // The target holds our processor time against POV-Ray's time: on a
  // machine shared with other work our time in all is mostly waiting.
  const double theirs = povray / kFrames, own = ours / kFrames, own_cpu = ours_cpu / kFrames;
  const bool met = own_cpu < kTargetShare * theirs;
  std::printf("frames: %d-frame turntable of examples/demo, 640 x 480, one machine, one run\n", kFrames);
  std::printf(
      "  %.1f frames a minute (%.1f s in all); a frame: POV-Ray %.3f s; ours %.3f s in all, %.3f s of "
      "processor time (%.1f%% of POV-Ray's; target under %.0f%%: %s)\n",
      kFrames * 60 / total, total, theirs, own, own_cpu, 100 * own_cpu / theirs, 100 * kTargetShare,
      met ? "met" : "NOT met");
  return met ? 0 : 1;
}
