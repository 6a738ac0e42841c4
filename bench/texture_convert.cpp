// Texture conversion speed on a generated 4096 x 4096 image: the pixel work
// alone (box filter and tiling) and the whole conversion (read the source
// Targa, fill, write the Targa file), for the planar, cylindrical and
// spherical methods. Prints megapixels per second of source and of output.
#include "scene/pov_state.h"
#include "texture/pov_texture_internal.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

const int kSide = 4096;

struct Case {
  const char *label;
  int method;
  ZAL_VECT2 scale;
};

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

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

TextureRecord record_for(const Case &c, const char *source_path) {
  TextureRecord r = {};
  r.texture_name = const_cast<char *>(source_path);
  r.opacity = 1;
  r.method = c.method;
  r.scale = c.scale;
  r.width = r.height = 1;
  return r;
}

// Best of a few runs of the pixel work alone.
double time_fill(const VYbitmap &source, const TextureRecord &r, TextureLayout *layout) {
  texture_layout(&r, kSide, kSide, layout);
  VYbitmap output(layout->out_width, layout->out_height, layout->depth, nullptr);
  double best = 1e9;
  for (int run = 0; run < 5; run++) {
    auto start = std::chrono::steady_clock::now();
    texture_fill(&source, *layout, &output);
    best = std::min(best, seconds_since(start));
  }
  return best;
}

// Best of a few whole conversions (reading the source file and writing the
// Targa file included).
double time_convert(TextureRecord r) {
  double best = 1e9;
  for (int run = 0; run < 3; run++) {
    char name[] = "bench_out.tga";
    r.file_name = name;
    auto start = std::chrono::steady_clock::now();
    int ok = r.convert_to_targa();
    double t = seconds_since(start);
    std::remove(name);
    if (!ok)
      return -1;
    best = std::min(best, t);
  }
  return best;
}

} // namespace

int main() {
  std::string dir = (std::filesystem::temp_directory_path() / "texture-bench-XXXXXX").string();
  if (!mkdtemp(dir.data()) || chdir(dir.c_str()) != 0) {
    std::perror("texture bench: scratch directory");
    return 1;
  }
  std::unique_ptr<VYbitmap> source = make_source();
  const char *source_path = "bench_source.tga";
  if (!write_source(*source, source_path)) {
    std::fprintf(stderr, "texture bench: cannot write the source image\n");
    return 1;
  }
  const Case cases[] = {
      {"planar", 0, {1, 1}},
      {"cylindrical 3", 1, {3, 1}},
      {"spherical 1x1", 2, {1, 1}},
      {"spherical 1x3", 2, {1, 3}},
  };
  const double source_mp = static_cast<double>(kSide) * kSide / 1e6;
  std::printf("texture conversion, %dx%d source (%.1f MP)\n", kSide, kSide, source_mp);
  std::printf("%-15s %11s %9s %10s %10s %10s\n", "method", "output", "fill ms", "src MP/s", "out MP/s",
              "whole ms");
  for (const Case &c : cases) {
    TextureRecord r = record_for(c, source_path);
    TextureLayout layout;
    double fill = time_fill(*source, r, &layout);
    double whole = time_convert(r);
    double out_mp = static_cast<double>(layout.out_width) * layout.out_height / 1e6;
    char size[32];
    std::snprintf(size, sizeof size, "%dx%d", layout.out_width, layout.out_height);
    std::printf("%-15s %11s %9.1f %10.0f %10.0f %10.1f\n", c.label, size, fill * 1e3, source_mp / fill,
                out_mp / fill, whole * 1e3);
  }
  std::remove(source_path);
  std::filesystem::remove_all(dir);
  return 0;
}
