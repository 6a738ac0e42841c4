// Texture conversion of a generated 4096 x 4096 image for each method:
// planar, cylindrical (scale 3: reduced by 3), spherical 1 x 1 and 1 x 3.
// Each conversion (read the source Targa file, fill, write the Targa file)
// runs in a child process of its own; the floor writes the same Targa bytes
// with fwrite. A second table splits the median conversion into its phases.
#include "bench_support.h"
#include "texture/pov_texture_internal.h"

#include <memory>
#include <string>

namespace {

const int kSide = 4096;

struct Case {
  const char *name;
  int method;
  ZAL_VECT2 scale;
};

std::unique_ptr<VYbitmap> make_source() {
  auto source = std::make_unique<VYbitmap>(kSide, kSide, 32, nullptr);
  unsigned char *p = source->data();
  for (int y = 0; y < kSide; y++)
    for (int x = 0; x < kSide; x++, p += 4) {
      p[0] = static_cast<unsigned char>(x ^ y);
      p[1] = static_cast<unsigned char>(x + 3 * y);
      p[2] = static_cast<unsigned char>(y);
      p[3] = 255;
    }
  return source;
}

bool write_source(const VYbitmap &source, const char *path) {
  VYimageWriterInfo info = {path, kSide, kSide, 32, 300, 0, 0, 15, 2};
  std::unique_ptr<VYimageWriter> writer(still_writer_get_factory("Truevision Targa")->create_writer(info));
  if (!writer)
    return false;
  bool wrote = writer->write(&source) == 0;
  return writer->close() == 0 && wrote;
}

TextureRecord record_for(const Case &c, const std::string &source_path, char *file_name) {
  TextureRecord r = {};
  r.texture_name = const_cast<char *>(source_path.c_str());
  r.file_name = file_name;
  r.opacity = 1;
  r.method = c.method;
  r.scale = c.scale;
  r.width = r.height = 1;
  return r;
}

// The phases of one conversion, timed one after the other in this process.
struct Phases {
  double read = 0, fill = 0, write = 0;
};

Phases time_phases(TextureRecord r, const std::string &out_path) {
  Phases t;
  auto start = std::chrono::steady_clock::now();
  std::unique_ptr<VYbitmap> source(image_promote_to_32(image_reader_invoke(r.texture_name)));
  t.read = bench::seconds_since(start);
  TextureLayout layout;
  if (!source || !texture_layout(&r, source->width(), source->height(), &layout))
    return t;
  VYbitmap output(layout.out_width, layout.out_height, layout.depth, nullptr);
  start = std::chrono::steady_clock::now();
  texture_fill(source.get(), layout, &output);
  t.fill = bench::seconds_since(start);
  start = std::chrono::steady_clock::now();
  VYimageWriterInfo info = {
      out_path.c_str(), layout.out_width, layout.out_height, layout.depth, 300, 0, 0, 15, 2};
  std::unique_ptr<VYimageWriter> writer(still_writer_get_factory("Truevision Targa")->create_writer(info));
  if (writer && writer->write(&output) == 0)
    writer->close();
  t.write = bench::seconds_since(start);
  return t;
}

} // namespace

int main() {
  const std::string dir = bench::make_scratch_dir("bench_texture_convert");
  if (dir.empty()) {
    perror("bench: scratch directory");
    return 1;
  }
  const std::string source_path = dir + "/source.tga", out_path = dir + "/out.tga";
  if (!write_source(*make_source(), source_path.c_str())) {
    fprintf(stderr, "texture bench: cannot write the source image\n");
    return 1;
  }
  const Case cases[] = {
      {"texture 4096^2 planar", 0, {1, 1}},
      {"texture 4096^2 cylindrical 3", 1, {3, 1}},
      {"texture 4096^2 spherical 1x1", 2, {1, 1}},
      {"texture 4096^2 spherical 1x3", 2, {1, 3}},
  };
  bench::print_header();
  std::vector<bench::Row> rows;
  bool ok = true;
  for (const Case &c : cases) {
    bench::Row row;
    row.name = c.name;
    row.items = double(kSide) * kSide;
    row.unit = "px";
    char name[256];
    snprintf(name, sizeof name, "%s", out_path.c_str());
    for (int run = 0; run < bench::runs(); ++run) {
      unlink(out_path.c_str());
      TextureRecord r = record_for(c, source_path, name);
      PovModuleState *state = pov_module_state_new();
      PovSession session;
      pov_session_begin(&session, state, 0);
      row.add(bench::measure([] {},
                             [&] { return r.convert_to_targa(session) ? bench::file_size(out_path) : -1; }));
      pov_module_state_free(state);
      bench::FwriteFloor floor;
      bench::Sample f = bench::measure([&] { floor.load({out_path}, dir); }, [&] { return floor.write(); });
      row.floor_times.push_back(f.seconds);
      row.ok = row.ok && f.ok;
      bench::FwriteFloor::remove_output(dir, 1);
    }
    unlink(out_path.c_str());
    bench::print_row(row);
    ok = ok && row.ok;
    rows.push_back(row);
  }
  for (const bench::Row &row : rows)
    bench::print_reference_noise(row);

  printf("phases of one conversion (ms): read+promote source, fill, write Targa; best of %d\n",
         bench::runs());
  bool fast_enough = true;
  for (size_t i = 0; i < rows.size(); ++i) {
    Phases best{1e9, 1e9, 1e9};
    for (int run = 0; run < bench::runs(); ++run) {
      char name[256];
      snprintf(name, sizeof name, "%s", out_path.c_str());
      Phases t = time_phases(record_for(cases[i], source_path, name), out_path);
      best = {std::min(best.read, t.read), std::min(best.fill, t.fill), std::min(best.write, t.write)};
      unlink(out_path.c_str());
    }
    printf("  %-32s read %7.1f  fill %7.1f  write %7.1f   fill alone %6.0f Mpx/s\n", cases[i].name,
           best.read * 1e3, best.fill * 1e3, best.write * 1e3, rows[i].items / best.fill / 1e6);
    double rate = rows[i].items / bench::stats(rows[i].times).median / 1e6;
    fast_enough = fast_enough && rate >= 100;
  }
  double slowest = 1e30;
  for (const bench::Row &row : rows)
    slowest = std::min(slowest, row.items / bench::stats(row.times).median / 1e6);
  printf(
      "target  texture conversion at least 100 Mpx/s (whole conversion, slowest method)  %.0f Mpx/s   %s\n",
      slowest, fast_enough ? "met" : "NOT MET");
  unlink(source_path.c_str());
  rmdir(dir.c_str());
  return ok ? 0 : 1;
}
