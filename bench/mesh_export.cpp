// Part include files of generated meshes: a torus of quads with a normal at
// every corner (every number a different float, as in a scanned or
// tessellated part), 250,000 to 1,000,000 triangles, 1 to 10,000 colours in
// bands (as materials give them) or changing from polygon to polygon. Each
// export runs in a child process of its own (3.0 and, for two of them, 3.7); the same bytes are written
// with plain fwrite (the floor) and with a plain printf writer (the
// baseline), whose text is checked against the export byte for byte.
#include "bench_support.h"
#include "geometry/pov_parts.h"
#include "vy/mesh.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

const int kAround = 1000; // quads around the torus; rows follow from the size

struct Case {
  const char *name;
  long triangles;
  int colours;
  bool mixed;                    // the colour changes from polygon to polygon
  int language = kPovLanguage30; // 3.7: one mesh2 (no printf baseline)
};

ZAL_COLOR colour_number(int k) { return ZAL_COLOR{float(k & 255) / 255, float((k >> 8) & 255) / 255, 0.5f}; }

VYobject *make_torus(const Case &c) {
  VYobject *mesh = VYobject_create();
  const int rows = int(c.triangles / (2 * kAround));
  const double pi = 3.14159265358979323846;
  for (int v = 0; v < rows; ++v)
    for (int u = 0; u < kAround; ++u) {
      double a = 2 * pi * u / kAround, b = 2 * pi * v / rows;
      double ring = 10 + 3 * std::cos(b);
      VYobject_add_position(mesh, float(ring * std::cos(a)), float(ring * std::sin(a)),
                            float(3 * std::sin(b)));
      VYobject_add_normal(mesh, float(std::cos(b) * std::cos(a)), float(std::cos(b) * std::sin(a)),
                          float(std::sin(b)));
    }
  const long polygons = long(rows) * kAround;
  for (long p = 0; p < polygons; ++p) {
    const long k = c.mixed ? p % c.colours : p * c.colours / polygons;
    VYobject_begin_polygon(mesh, colour_number(int(k)));
    const int v = int(p / kAround), u = int(p % kAround);
    const int v1 = (v + 1) % rows, u1 = (u + 1) % kAround;
    const int corners[4] = {v * kAround + u, v * kAround + u1, v1 * kAround + u1, v1 * kAround + u};
    for (int corner : corners)
      VYobject_add_corner(mesh, corner, corner);
  }
  return mesh;
}

// The baseline: the include file's text written the plain way, every
// number through fprintf, the polygons grouped by colour in one pass.
void printf_triangle(FILE *file, const VYpolygon &polygon, int k) {
  float p[3][3], n[3][3];
  int has[3];
  const int corner[3] = {0, k - 1, k};
  for (int j = 0; j < 3; ++j) {
    VYvertex *vertex = VYpolygon_getvertex(polygon, corner[j]);
    VYvertex_getposition(vertex, p[j], 0);
    has[j] = VYvertex_getnormal(vertex, n[j], 0);
  }
  float a[3], b[3];
  for (int i = 0; i < 3; ++i) {
    a[i] = p[2][i] - p[1][i];
    b[i] = p[0][i] - p[1][i];
  }
  const float face[3] = {b[1] * a[2] - b[2] * a[1], b[2] * a[0] - b[0] * a[2], b[0] * a[1] - b[1] * a[0]};
  fprintf(file, "\tsmooth_triangle { ");
  for (int j = 0; j < 3; ++j) {
    const float *normal = has[j] ? n[j] : face;
    fprintf(file, "< %.6g, %.6g, %.6g >, ", p[j][0], p[j][1], p[j][2]);
    fprintf(file, "< %.6g, %.6g, %.6g >%s", normal[0], normal[1], normal[2], j < 2 ? ", " : "");
  }
  fprintf(file, "\t}\n");
}

double printf_part_file(VYobject *mesh, const char *path, const char *name) {
  std::unordered_map<std::string, int> numbers;
  std::vector<std::vector<long>> meshes; // polygon indices per colour
  VYpolygon cursor;
  VYpolygon_initpoly(cursor, mesh);
  while (VYpolygon_nextpoly(cursor, cursor)) {
    float rgb[3];
    VYpolygon_getcolor(cursor, rgb[0], rgb[1], rgb[2]);
    auto found = numbers.emplace(std::string(reinterpret_cast<char *>(rgb), sizeof rgb), int(meshes.size()));
    if (found.second)
      meshes.emplace_back();
    meshes[size_t(found.first->second)].push_back(cursor.index);
  }
  FILE *file = fopen(path, "w");
  if (!file)
    return -1;
  fprintf(file, "/* Object %s */\n", name);
  for (size_t i = 0; i < meshes.size(); ++i) {
    fprintf(file, "#declare OKU_MESH_%d = mesh {\n", int(i));
    for (long index : meshes[i]) {
      VYpolygon polygon{mesh, index};
      for (int k = 2; k < VYpolygon_nvertices(polygon); ++k)
        printf_triangle(file, polygon, k);
    }
    fprintf(file, "}\n");
  }
  if (meshes.size() == 1) {
    fprintf(file, "#declare OKU_OBJECT = object {OKU_MESH_0}\n");
  } else {
    fprintf(file, "#declare OKU_OBJECT = union {\n");
    for (size_t j = 0; j < meshes.size(); ++j)
      fprintf(file, "  object {OKU_MESH_%d}\n", int(j));
    fprintf(file, "}\n");
  }
  return fclose(file) == 0 ? bench::file_size(path) : -1;
}

double export_part_file(VYobject *mesh, const char *path, int language) {
  // A record as the parts cache makes it, released the same way.
  PartRecord *record = static_cast<PartRecord *>(calloc(1, sizeof(PartRecord)));
  record->name = strdup("oku_Bench_1");
  record->colours = new LIST;
  PovModuleState *state = pov_module_state_new();
  PovSession session;
  pov_session_begin(&session, state, 1, language);
  int ok = pov_write_part_file(session, mesh, path, record);
  pov_module_state_free(state);
  pov_release_part(record);
  return ok ? bench::file_size(path) : -1;
}

bench::Row run_case(const Case &c, const std::string &dir) {
  bench::Row row;
  row.name = c.name;
  row.items = double(c.triangles);
  row.unit = "tri";
  const std::string part = dir + "/part.inc", baseline = dir + "/baseline.inc";
  VYobject *mesh = nullptr;
  auto build = [&] { mesh = make_torus(c); };
  for (int run = 0; run < bench::runs(); ++run) {
    unlink(part.c_str());
    row.add(bench::measure(build, [&] { return export_part_file(mesh, part.c_str(), c.language); }));

    bench::FwriteFloor floor;
    bench::Sample f = bench::measure([&] { floor.load({part}, dir); }, [&] { return floor.write(); });
    row.floor_times.push_back(f.seconds);
    row.ok = row.ok && f.ok;
    bench::FwriteFloor::remove_output(dir, 1);

    if (run < bench::baseline_runs() && c.language == kPovLanguage30) {
      unlink(baseline.c_str());
      bench::Sample p =
          bench::measure(build, [&] { return printf_part_file(mesh, baseline.c_str(), "oku_Bench_1"); });
      row.printf_times.push_back(p.seconds);
      if (!p.ok || bench::read_file(baseline) != bench::read_file(part)) {
        printf("%s: the printf writer's text differs from the export\n", c.name);
        row.ok = false;
      }
      unlink(baseline.c_str());
    }
  }
  unlink(part.c_str());
  return row;
}

} // namespace

int main(int argc, char **argv) {
  // An argument picks the cases whose name holds it (no target checks then).
  const char *only = argc > 1 ? argv[1] : nullptr;
  const Case cases[] = {
      {"part 1M tri, 1 colour", 1000000, 1, false},
      {"part 1M tri, 100 colours", 1000000, 100, false},
      {"part 1M tri, 10000 colours", 1000000, 10000, false},
      {"part 1M tri, 10000 colours mixed", 1000000, 10000, true},
      {"part 250k tri, 1 colour", 250000, 1, false},
      {"part 500k tri, 1 colour", 500000, 1, false},
      {"part 1M tri, 1000 colours mixed", 1000000, 1000, true},
      {"part 1M tri, 2000 colours mixed", 1000000, 2000, true},
      {"part 1M tri, 4000 colours mixed", 1000000, 4000, true},
      {"part 1M tri, 1 colour, 3.7", 1000000, 1, false, kPovLanguage37},
      {"part 1M tri, 100 colours, 3.7", 1000000, 100, false, kPovLanguage37},
  };
  const std::string dir = bench::make_scratch_dir("bench_mesh_export");
  if (dir.empty()) {
    perror("bench: scratch directory");
    return 1;
  }
  bench::print_header();
  std::vector<bench::Row> rows;
  bool ok = true;
  for (const Case &c : cases) {
    if (only && !strstr(c.name, only))
      continue;
    rows.push_back(run_case(c, dir));
    bench::print_row(rows.back());
    ok = ok && rows.back().ok;
  }
  rmdir(dir.c_str());
  for (const bench::Row &row : rows)
    bench::print_reference_noise(row);

  if (only)
    return ok ? 0 : 1;
  // The three 1M-triangle exports with colours in bands (as materials give
  // them) carry the targets; the mixed rows show the worst colour order.
  for (int i = 0; i < 3; ++i) {
    const bench::Row &row = rows[size_t(i)];
    const double floor_ratio = bench::stats(row.times).median / bench::stats(row.floor_times).median;
    const double printf_ratio = bench::stats(row.printf_times).median / bench::stats(row.times).median;
    printf("target  %-28s within 6x the fwrite floor: x%.1f %-8s 10x faster than printf: x%.1f %s\n",
           row.name.c_str(), floor_ratio, floor_ratio <= 6 ? "met," : "NOT MET,", printf_ratio,
           printf_ratio >= 10 ? "met" : "NOT MET");
  }
  bench::check_growth("triangles 250k, 500k, 1M", rows[4], rows[5], rows[0]);
  bench::check_growth("colours 1000, 2000, 4000 (mixed)", rows[6], rows[7], rows[8]);
  // The 3.7 include (one mesh2) against the fwrite floor of its own bytes,
  // and its size against the 3.0 include of the same mesh.
  for (int i = 9; i < 11; ++i) {
    const bench::Row &row = rows[size_t(i)], &old = rows[size_t(i == 9 ? 0 : 1)];
    const double floor_ratio = bench::stats(row.times).median / bench::stats(row.floor_times).median;
    const double bytes_ratio = row.bytes / old.bytes;
    printf("target  %-28s within 3x the fwrite floor: x%.1f %-8s at most 1/3 of the 3.0 bytes: %.2f %s\n",
           row.name.c_str(), floor_ratio, floor_ratio <= 3 ? "met," : "NOT MET,", bytes_ratio,
           bytes_ratio <= 1.0 / 3 ? "met" : "NOT MET");
  }
  long worst = 0;
  for (const bench::Row &row : rows)
    worst = std::max(worst, row.extra_kib);
  printf("target  peak memory below the mesh + 64 MiB: export adds at most %ld MiB   %s\n", worst / 1024,
         worst < 64 * 1024 ? "met" : "NOT MET");
  return ok ? 0 : 1;
}
