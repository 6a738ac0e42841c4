// Test helpers for the texture and backdrop writers: a scratch working
// directory (converted files land in the current directory), captured scene
// text, textured objects, and pixel access to images on disk.
#pragma once

#include "oku/scene_db.h"
#include "tests/support/module_scene.h"
#include "tests/support/module_state.h"
#include "tests/support/png.h"
#include "tests/support/targa.h"
#include "texture/pov_texture_internal.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace textest {

// A fresh directory that is the current directory for the test's life, and
// a fresh module state with a session on it.
class ScratchCwd {
public:
  ScratchCwd() {
    old_ = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "texture-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr)
      path_ = pattern;
    std::filesystem::current_path(path_);
    scene_reset();
  }
  ~ScratchCwd() {
    texture_list_clear(state, 0);
    scene_reset();
    std::error_code ignored;
    std::filesystem::current_path(old_, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchCwd(const ScratchCwd &) = delete;
  ScratchCwd &operator=(const ScratchCwd &) = delete;

  std::string file(const std::string &name) const { return (path_ / name).string(); }
  const std::filesystem::path &path() const { return path_; }
  bool exists(const std::string &name) const { return std::filesystem::exists(path_ / name); }
  // Names of everything in the directory.
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(path_))
      names.push_back(entry.path().filename().string());
    return names;
  }

  TestSession module;
  PovSession &session = module.session;
  PovModuleState *const state = module.state;

private:
  std::filesystem::path old_, path_;
};

// Runs write(FILE *) on an in-memory stream and answers the text.
template <class Write> std::string capture(Write write) { return capture_text(write); }

inline _object *textured(_object *parent, const std::string &image, int method = 0) {
  _object *o = scene_add_object(parent, OBJECT_TYPE_GEOMETRY);
  o->name = "Thing";
  o->has_texture = true;
  o->texture.image = image;
  o->texture.method = method;
  return o;
}

// RGBA pixels of an image file, read through the host's reader.
struct Image {
  int width = 0, height = 0;
  int depth = 0; // of the file as read, before promotion
  std::vector<unsigned char> rgba;
  const unsigned char *at(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

inline Image read_image(const std::string &path) {
  Image image;
  VYbitmap *read = image_reader_invoke(path.c_str());
  if (read)
    image.depth = read->depth();
  std::unique_ptr<VYbitmap> bitmap(image_promote_to_32(read));
  if (bitmap) {
    image.width = bitmap->width();
    image.height = bitmap->height();
    image.rgba.assign(bitmap->data(), bitmap->data() + bitmap->data_size());
  }
  return image;
}

// Writes RGBA pixels through the host's Targa writer (24 bits unless alpha).
inline bool write_targa_image(const std::string &path, int width, int height,
                              const std::vector<unsigned char> &rgba, int depth = 24) {
  VYbitmap bitmap(width, height, depth, nullptr);
  int bpp = bitmap.bytes_per_pixel();
  for (size_t i = 0; i < static_cast<size_t>(width) * height; i++)
    for (int k = 0; k < bpp; k++)
      bitmap.data()[i * bpp + k] = rgba[i * 4 + k];
  VYimageWriterInfo info = {path.c_str(), width, height, depth, 300, 0, 0, 15, 2};
  std::unique_ptr<VYimageWriter> writer(still_writer_get_factory("Truevision Targa")->create_writer(info));
  if (!writer)
    return false;
  bool wrote = writer->write(&bitmap) == 0;
  return writer->close() == 0 && wrote;
}

using bftest::write_targa_header;

// A source pattern in which every pixel differs from its neighbours.
inline std::vector<unsigned char> pattern(int width, int height) {
  std::vector<unsigned char> rgba(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      unsigned char *p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
      p[0] = static_cast<unsigned char>(x);
      p[1] = static_cast<unsigned char>(y * 40 + 3);
      p[2] = static_cast<unsigned char>(x * 7 + y * 13);
      p[3] = 255;
    }
  return rgba;
}

using bftest::write_png;

} // namespace textest
