// Time to a picture, whole process: `brightfold render MODEL OUT.png --width
// 320 --height 240` of a torus of 1,000,000 triangles (a binary PLY file),
// through the POV-Ray 3.7 language and, once (it takes minutes), through the
// 3.0 language; and `brightfold save` of the same model in 3.7, to show our
// own share of the picture's time. BENCH_SKIP_30=1 leaves the 3.0 case out.
#include "bench_support.h"

#include <sys/resource.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <filesystem>

namespace {

const std::string kProgram = BF_BINARY_DIR "/bin/brightfold";
constexpr int kAround = 1000, kRows = 500; // 500,000 quads: 1,000,000 triangles
constexpr double kTriangles = 2.0 * kAround * kRows;
constexpr double kTargetRatio = 20;

void put_u32(std::string &out, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    out.push_back(char((value >> (8 * i)) & 0xff));
}

void put_float(std::string &out, double value) {
  const float f = float(value);
  uint32_t bits = 0;
  std::memcpy(&bits, &f, sizeof bits);
  put_u32(out, bits);
}

// Writes the torus (ring radius 10, tube radius 3) as a binary little-endian
// PLY file: shared vertices, a normal at each, quad faces. Answers its size.
double write_torus(const std::string &path) {
  std::string data =
      "ply\nformat binary_little_endian 1.0\nelement vertex " + std::to_string(kAround * kRows) +
      "\nproperty float x\nproperty float y\nproperty float z\nproperty float nx\n"
      "property float ny\nproperty float nz\nelement face " +
      std::to_string(kAround * kRows) + "\nproperty list uchar int vertex_indices\nend_header\n";
  const double pi = 3.14159265358979323846;
  for (int v = 0; v < kRows; ++v)
    for (int u = 0; u < kAround; ++u) {
      const double a = 2 * pi * u / kAround, b = 2 * pi * v / kRows, ring = 10 + 3 * std::cos(b);
      put_float(data, ring * std::cos(a));
      put_float(data, ring * std::sin(a));
      put_float(data, 3 * std::sin(b));
      put_float(data, std::cos(b) * std::cos(a));
      put_float(data, std::cos(b) * std::sin(a));
      put_float(data, std::sin(b));
    }
  for (int v = 0; v < kRows; ++v)
    for (int u = 0; u < kAround; ++u) {
      const int v1 = (v + 1) % kRows, u1 = (u + 1) % kAround;
      data.push_back(4);
      for (int corner : {v * kAround + u, v * kAround + u1, v1 * kAround + u1, v1 * kAround + u})
        put_u32(data, uint32_t(corner));
    }
  FILE *file = fopen(path.c_str(), "wb");
  if (!file)
    return -1;
  const bool written = fwrite(data.data(), 1, data.size(), file) == data.size();
  return fclose(file) == 0 && written ? double(data.size()) : -1;
}

// One whole brightfold process with its output and error to /dev/null; ok
// when it exits 0 and leaves a non-empty `out`. Its bytes are those of every
// file in the folder of `out` (a save writes include files beside it).
bench::Sample run_program(const std::vector<std::string> &args, const std::string &out) {
  std::vector<char *> argv{const_cast<char *>(kProgram.c_str())};
  for (const std::string &a : args)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  bench::Sample s;
  fflush(stdout);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0)
      dup2(null, 1), dup2(null, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  const bool exited = pid > 0 && wait4(pid, &status, 0, &usage) == pid;
  s.seconds = bench::seconds_since(start);
  s.peak_kib = usage.ru_maxrss;
  s.extra_kib = -1;
  std::error_code error;
  for (const auto &entry :
       std::filesystem::directory_iterator(std::filesystem::path(out).parent_path(), error))
    s.bytes += entry.is_regular_file() ? double(entry.file_size()) : 0;
  s.ok = exited && WIFEXITED(status) && WEXITSTATUS(status) == 0 && bench::file_size(out) > 0;
  return s;
}

bench::Row measure_case(const char *name, int runs, const std::vector<std::string> &args,
                        const std::string &out, double model_bytes) {
  bench::Row row;
  row.name = name;
  row.items = kTriangles;
  row.unit = "tri";
  const std::string dir = std::filesystem::path(out).parent_path();
  for (int i = 0; i < runs; ++i) {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    bench::Sample s = run_program(args, out);
    s.input_kib = long(model_bytes / 1024);
    row.add(s);
  }
  bench::print_row(row);
  return row;
}

std::vector<std::string> render_args(const std::string &model, const std::string &out, const char *version) {
  return {"render", model, out, "--width", "320", "--height", "240", "--pov-version", version};
}

} // namespace

int main() {
  const std::string scratch =
      access(kProgram.c_str(), X_OK) == 0 ? bench::make_scratch_dir("bench_time_to_picture") : std::string();
  if (scratch.empty()) {
    fprintf(stderr, "bench_time_to_picture: no scratch directory or no %s\n", kProgram.c_str());
    return 1;
  }
  const std::string model = scratch + "/torus.ply", picture = scratch + "/picture/out.png",
                    scene = scratch + "/save/out.pov";
  const double model_bytes = write_torus(model);
  if (model_bytes < 0) {
    fprintf(stderr, "bench_time_to_picture: cannot write %s\n", model.c_str());
    std::filesystem::remove_all(scratch);
    return 1;
  }
  const bool skip_30 = getenv("BENCH_SKIP_30") && !strcmp(getenv("BENCH_SKIP_30"), "1");
  printf("time to a picture: brightfold render MODEL OUT.png --width 320 --height 240, whole process, "
         "binary PLY torus (input = the file's MiB)\n");
  bench::print_header();
  const bench::Row new_picture = measure_case("picture 1M tri, 3.7", bench::runs(),
                                              render_args(model, picture, "3.7"), picture, model_bytes);
  bench::Row old_picture;
  if (!skip_30)
    old_picture =
        measure_case("picture 1M tri, 3.0", 1, render_args(model, picture, "3.0"), picture, model_bytes);
  const bench::Row save = measure_case("save 1M tri, 3.7", bench::runs(),
                                       {"save", model, scene, "--pov-version", "3.7"}, scene, model_bytes);
  std::filesystem::remove_all(scratch);

  const double new_median = bench::stats(new_picture.times).median;
  if (skip_30 || !old_picture.ok || !new_picture.ok) {
    printf("target  time to a 320x240 picture, 1M tri: 3.7 x- sooner than 3.0 (medians)  not measured%s\n",
           skip_30 ? " (BENCH_SKIP_30=1)" : "");
  } else {
    const double ratio = bench::stats(old_picture.times).median / new_median;
    printf("target  time to a 320x240 picture, 1M tri: 3.7 x%.1f sooner than 3.0 (medians)  %s\n", ratio,
           ratio >= kTargetRatio ? "met" : "NOT MET");
  }
  const double save_median = bench::stats(save.times).median;
  printf("share   the 3.7 save takes %.1f%% of the 3.7 picture's median (%.3f of %.3f s)\n",
         100 * save_median / new_median, save_median, new_median);
  return save.ok && new_picture.ok && (skip_30 || old_picture.ok) ? 0 : 1;
}
