// Exports a generated mesh of over a million triangles as a part include
// file, with one colour and with a thousand, and reports triangles per
// second and peak memory. Each case runs in a child process of its own, so
// that its peak memory is its own.
#include "geometry/pov_parts.h"
#include "vy/mesh.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const int kGrid = 708; // 708 x 708 quads: 1,002,528 triangles

struct Case {
  const char *name;
  int colours;
  bool interleaved; // neighbouring polygons of different colours
};

long peak_kib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// A wavy grid of quads with a normal at every corner, coloured in bands of
// rows or polygon by polygon.
VYobject *make_grid(const Case &c) {
  VYobject *mesh = VYobject_create();
  for (int y = 0; y <= kGrid; ++y)
    for (int x = 0; x <= kGrid; ++x) {
      float h = 0.01f * float((x * 7 + y * 13) % 17);
      VYobject_add_position(mesh, float(x) * 0.01f, float(y) * 0.01f, h);
      VYobject_add_normal(mesh, 0.1f * h, -0.2f * h, 1);
    }
  long polygon = 0;
  for (int y = 0; y < kGrid; ++y)
    for (int x = 0; x < kGrid; ++x, ++polygon) {
      long band = c.interleaved ? polygon : polygon * c.colours / (long(kGrid) * kGrid);
      int k = int(band % c.colours);
      VYobject_begin_polygon(mesh, ZAL_COLOR{float(k % 10) / 9, float(k / 10 % 10) / 9, float(k / 100) / 9});
      const int corners[4] = {y * (kGrid + 1) + x, y * (kGrid + 1) + x + 1, (y + 1) * (kGrid + 1) + x + 1,
                              (y + 1) * (kGrid + 1) + x};
      for (int corner : corners)
        VYobject_add_corner(mesh, corner, corner);
    }
  return mesh;
}

int run_case(const Case &c, const std::string &path) {
  VYobject *mesh = make_grid(c);
  long mesh_peak = peak_kib();
  // A record as the parts cache makes it, released the same way.
  PartRecord &record = *static_cast<PartRecord *>(calloc(1, sizeof(PartRecord)));
  record.name = strdup("oku_Bench_1");
  record.colours = new LIST;
  auto start = std::chrono::steady_clock::now();
  int ok = pov_write_part_file(mesh, path.c_str(), &record);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  struct stat info {};
  stat(path.c_str(), &info);
  long triangles = 2L * kGrid * kGrid;
  printf("%-24s %8d %11ld %9.2f %12.0f %10ld %10ld %8.0f\n", c.name, record.colours->count(), triangles,
         seconds, double(triangles) / seconds, mesh_peak / 1024, peak_kib() / 1024,
         double(info.st_size) / 1048576);
  fflush(stdout);
  pov_release_part(&record);
  VYobject_destroy(mesh);
  unlink(path.c_str());
  return ok ? 0 : 1;
}

} // namespace

int main() {
  const Case cases[] = {
      {"1 colour", 1, false},
      {"1000 colours, in bands", 1000, false},
      {"1000 colours, mixed", 1000, true},
  };
  char dir[] = "/tmp/bench_mesh_export_XXXXXX";
  if (!mkdtemp(dir)) {
    perror("mkdtemp");
    return 1;
  }
  printf("%-24s %8s %11s %9s %12s %10s %10s %8s\n", "case", "colours", "triangles", "seconds", "triangles/s",
         "mesh MiB", "peak MiB", "file MiB");
  int failures = 0;
  for (const Case &c : cases) {
    fflush(stdout);
    pid_t child = fork();
    if (child == 0)
      _exit(run_case(c, std::string(dir) + "/bench.inc"));
    int status = 0;
    waitpid(child, &status, 0);
    failures += !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  rmdir(dir);
  if (failures)
    fprintf(stderr, "%d export(s) failed\n", failures);
  return failures ? 1 : 0;
}
