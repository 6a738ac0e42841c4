// Whole saves ("POV scene and parts files") through the scene database:
// thousands of objects in groups that share 100 mesh parts (two colours
// each, so objects without a colour of their own get one statement per
// colour), and thousands of textured shapes that share 50 textures (each
// converted to Targa once per save). Each save runs in a child process of
// its own; the floor writes the same files with fwrite, the baseline writes
// their text with one fprintf per number.
#include "bench_support.h"
#include "oku/scene_db.h"
#include "printf_replay.h"
#include "scene/pov_save.h"
#include "vy/mesh.h"

#include <cmath>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <string>
#include <vector>

namespace {

const int kParts = 100;
const int kTextures = 50;
const int kImageSide = 128;

// A small torus part: 10 x 5 quads (100 triangles), two colours.
VYobject *make_part(int number) {
  VYobject *mesh = VYobject_create();
  const int around = 10, rows = 5;
  const double pi = 3.14159265358979323846;
  for (int v = 0; v < rows; ++v)
    for (int u = 0; u < around; ++u) {
      double a = 2 * pi * u / around, b = 2 * pi * v / rows, ring = 1 + 0.01 * number + 0.3 * std::cos(b);
      VYobject_add_position(mesh, float(ring * std::cos(a)), float(ring * std::sin(a)),
                            float(0.3 * std::sin(b)));
      VYobject_add_normal(mesh, float(std::cos(b) * std::cos(a)), float(std::cos(b) * std::sin(a)),
                          float(std::sin(b)));
    }
  for (int p = 0; p < around * rows; ++p) {
    VYobject_begin_polygon(mesh,
                           p < around * rows / 2 ? ZAL_COLOR{0.8f, 0.1f, 0.1f} : ZAL_COLOR{0.2f, 0.3f, 0.9f});
    const int v = p / around, u = p % around, v1 = (v + 1) % rows, u1 = (u + 1) % around;
    for (int corner : {v * around + u, v * around + u1, v1 * around + u1, v1 * around + u})
      VYobject_add_corner(mesh, corner, corner);
  }
  if (number % 2)
    VYobject_set_pivot(mesh, 0.5f, 0.25f, -0.125f);
  return mesh;
}

// Placement and surface values that differ from object to object.
void place(_object *o, int i) {
  o->position = {float(i % 97) * 0.731f - 30, float(i % 89) * 0.377f, float(i / 97) * -0.53f};
  o->rotation = {float(i % 4) * 15, float(i % 7) * 12.5f, float(i % 3) * 33.3f};
  o->specular = {0.5f, 0.5f, 0.5f};
  o->shininess = float(10 + i % 50);
  o->reflectivity = i % 5 == 0 ? 0.25f : 0;
  o->opacity = i % 10 == 0 ? 0.5f : 1;
}

void add_camera_and_light() {
  _object *camera = scene_add_object(nullptr, OBJECT_TYPE_CAMERA);
  camera->name = "Main camera";
  camera->position = {0, 20, -120};
  camera->has_look_at = true;
  camera->look_at = {0, 10, 0};
  _object *light = scene_add_object(nullptr, OBJECT_TYPE_LIGHT);
  light->name = "Key";
  light->position = {50, 80, -60};
}

// `objects` objects in groups of 100, object i placing part i % 100.
void build_part_scene(int objects, const std::string &part_dir) {
  scene_reset();
  add_camera_and_light();
  std::vector<std::shared_ptr<VYobject>> parts;
  for (int k = 0; k < kParts; ++k)
    parts.emplace_back(make_part(k), VYobject_destroy);
  _object *group = nullptr;
  for (int i = 0; i < objects; ++i) {
    if (i % 100 == 0) {
      group = scene_add_object(nullptr, OBJECT_TYPE_GROUP);
      group->name = "Group " + std::to_string(i / 100);
    }
    _object *o = scene_add_object(group, OBJECT_TYPE_GEOMETRY);
    o->name = "Bracket " + std::to_string(i);
    place(o, i);
    if (i % 2 == 0)
      o->color = {float(i % 11) / 10, 0.5f, float(i % 7) / 6};
    _geometry *g = scene_add_geometry(o);
    g->share_mesh(parts[size_t(i % kParts)]);
    g->set_part_file(part_dir + "/part" + std::to_string(i % kParts) + ".obj");
  }
}

// `objects` spheres and boxes, object i with texture i % 50.
void build_texture_scene(int objects, const std::string &image_dir) {
  scene_reset();
  add_camera_and_light();
  _object *group = nullptr;
  for (int i = 0; i < objects; ++i) {
    if (i % 100 == 0) {
      group = scene_add_object(nullptr, OBJECT_TYPE_GROUP);
      group->name = "Shelf " + std::to_string(i / 100);
    }
    _object *o = scene_add_object(group, OBJECT_TYPE_GEOMETRY);
    o->name = "Ball " + std::to_string(i);
    place(o, i);
    o->color = {float(i % 11) / 10, 0.5f, float(i % 7) / 6};
    GeomParams params{};
    params.kind = i % 2 ? 3 : 0;
    params.size_x = params.size_y = params.size_z = 1.5f;
    params.radius = 0.75f;
    scene_set_params(o, params);
    scene_add_geometry(o);
    const int t = i % kTextures;
    o->has_texture = true;
    o->texture.image = image_dir + "/wood" + std::to_string(t) + ".tga";
    o->texture.method = t % 3;
    o->texture.active = t % 2 ? 3 : 1;
    o->texture.scale = {1 + float(t % 4), 1};
  }
}

bool write_images(const std::string &image_dir) {
  VYbitmap image(kImageSide, kImageSide, 32, nullptr);
  for (int t = 0; t < kTextures; ++t) {
    unsigned char *p = image.data();
    for (int y = 0; y < kImageSide; ++y)
      for (int x = 0; x < kImageSide; ++x, p += 4) {
        p[0] = static_cast<unsigned char>(x * t);
        p[1] = static_cast<unsigned char>(y + t);
        p[2] = static_cast<unsigned char>(x ^ y);
        p[3] = 255;
      }
    std::string path = image_dir + "/wood" + std::to_string(t) + ".tga";
    VYimageWriterInfo info = {path.c_str(), kImageSide, kImageSide, 32, 300, 0, 0, 15, 2};
    std::unique_ptr<VYimageWriter> writer(still_writer_get_factory("Truevision Targa")->create_writer(info));
    if (!writer || writer->write(&image) != 0 || writer->close() != 0)
      return false;
  }
  return true;
}

std::vector<std::string> files_in(const std::string &dir) {
  std::vector<std::string> files;
  if (DIR *d = opendir(dir.c_str())) {
    while (dirent *entry = readdir(d))
      if (entry->d_name[0] != '.')
        files.push_back(dir + "/" + entry->d_name);
    closedir(d);
  }
  return files;
}

void empty_dir(const std::string &dir) {
  for (const std::string &file : files_in(dir))
    unlink(file.c_str());
}

struct Case {
  const char *name;
  int objects;
  bool textured;
};

void remove_dir(const std::string &dir) {
  empty_dir(dir);
  rmdir(dir.c_str());
}

bench::Row run_case(const Case &c, const std::string &dir) {
  bench::Row row;
  row.name = c.name;
  row.items = c.objects;
  row.unit = "obj";
  // Every save, and each reference writer, writes into a new directory:
  // writing over files that were just written, or creating files where many
  // were just deleted, mostly measures the file system's bookkeeping.
  std::vector<std::string> made;
  for (int run = 0; run < bench::runs(); ++run) {
    const std::string run_dir = dir + "/run" + std::to_string(run), out = run_dir + "/out";
    const std::string floor_dir = run_dir + "/floor", printf_dir = run_dir + "/printf";
    for (const std::string &d : {run_dir, out, floor_dir, printf_dir}) {
      mkdir(d.c_str(), 0755);
      made.push_back(d);
    }
    auto build = [&] {
      if (c.textured)
        build_texture_scene(c.objects, dir + "/images");
      else
        build_part_scene(c.objects, dir + "/parts");
      // Converted Targa files land in the current directory, as in the host.
      if (chdir(out.c_str()) != 0)
        perror("chdir");
    };
    const std::string scene = out + "/scene.pov";
    // The module state as dll_init makes it, one for each save.
    PovModuleState *state = pov_module_state_new();
    row.add(bench::measure(build, [&] { return pov_save(state, scene.c_str(), nullptr, 1) ? 0.0 : -1.0; }));
    pov_module_state_free(state);
    std::vector<std::string> written = files_in(out);
    row.bytes = 0;
    for (const std::string &file : written)
      row.bytes += bench::file_size(file);

    bench::FwriteFloor floor;
    bench::Sample f = bench::measure([&] { floor.load(written, floor_dir); }, [&] { return floor.write(); });
    row.floor_times.push_back(f.seconds);
    row.ok = row.ok && f.ok;

    if (run < bench::baseline_runs()) {
      bench::PrintfReplay replay;
      bench::Sample p =
          bench::measure([&] { replay.load(written, printf_dir); }, [&] { return replay.write(); });
      row.printf_times.push_back(p.seconds);
      if (!p.ok || !bench::PrintfReplay::same_as(written, printf_dir)) {
        printf("%s: the printf writer's text differs from the save\n", c.name);
        row.ok = false;
      }
    }
  }
  for (auto d = made.rbegin(); d != made.rend(); ++d)
    remove_dir(*d);
  return row;
}

} // namespace

int main(int argc, char **argv) {
  // An argument picks the cases whose name holds it (no target checks then).
  const char *only = argc > 1 ? argv[1] : nullptr;
  const std::string dir = bench::make_scratch_dir("bench_scene_save", true);
  if (dir.empty()) {
    perror("bench: scratch directory");
    return 1;
  }
  for (const char *sub : {"/images", "/parts"})
    mkdir((dir + sub).c_str(), 0755);
  if (!write_images(dir + "/images")) {
    fprintf(stderr, "scene bench: cannot write the texture images\n");
    return 1;
  }
  const Case cases[] = {
      {"scene 10000 obj, 100 parts", 10000, false}, {"scene 2500 obj, 100 parts", 2500, false},
      {"scene 5000 obj, 100 parts", 5000, false},   {"scene 10000 obj, 50 textures", 10000, true},
      {"scene 2500 obj, 50 textures", 2500, true},  {"scene 5000 obj, 50 textures", 5000, true},
  };
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
  for (const bench::Row &row : rows)
    bench::print_reference_noise(row);
  if (!only) {
    bench::check_growth("objects 2500, 5000, 10000 (parts)", rows[1], rows[2], rows[0]);
    bench::check_growth("objects 2500, 5000, 10000 (textures)", rows[4], rows[5], rows[3]);
  }
  for (const char *sub : {"/images", "/parts"})
    remove_dir(dir + sub);
  rmdir(dir.c_str());
  return ok ? 0 : 1;
}
