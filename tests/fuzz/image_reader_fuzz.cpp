// Image bytes into the host's image reader and into the module's Targa
// header read. A picture that decodes must have a sane size and a full
// pixel buffer; the Targa size read keeps a positive size whatever the
// header says.
#include "fuzz_support.h"

#include "tests/support/module_state.h"
#include "texture/pov_texture_internal.h"
#include "zalvy.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using namespace bf_fuzz;
  const std::string &dir = scratch_dir();
  const std::string bytes(reinterpret_cast<const char *>(data), size);

  const std::string picture = dir + "/picture.img";
  write_file(picture, bytes);
  std::unique_ptr<VYbitmap> bitmap(image_reader_invoke(picture.c_str()));
  if (bitmap) {
    const VYbitmapInfo &info = bitmap->info();
    if (info.width <= 0 || info.height <= 0 || static_cast<long long>(info.width) * info.height > (1LL << 28))
      fail("a decoded picture has an absurd size");
    if (bitmap->data() == nullptr || bitmap->data_size() < static_cast<size_t>(info.width) * info.height * 3)
      fail("a decoded picture has too few pixels");
    // Touch the first and the last byte: the buffer is as large as it says.
    volatile unsigned char first = bitmap->data()[0], last = bitmap->data()[bitmap->data_size() - 1];
    (void)first, (void)last;
  }

  // The texture "wood" on the scene root is read from oku_wood.tga.
  TextureRecord *record = texture_record_new();
  if (record == nullptr)
    return 0;
  record->texture_name = new char[5];
  std::memcpy(record->texture_name, "wood", 5);
  record->scene_root = 1;
  record->derive_file_name();
  if (record->file_name == nullptr || std::string(record->file_name) != "oku_wood.tga")
    fail("unexpected derived name");
  write_file(dir + "/oku_wood.tga", bytes);
  record->read_targa_size();
  if (record->width <= 0 || record->height <= 0 || record->width > 65535 || record->height > 65535)
    fail("the Targa size read gave " + std::to_string(record->width) + " x " +
         std::to_string(record->height));
  texture_record_free(record);

  // A picture that decodes converts to a Targa file that decodes again, with
  // the size the conversion answered. The mapping comes from the last byte.
  if (bitmap) {
    const unsigned char mode = size > 0 ? data[size - 1] : 0;
    TextureRecord *texture = texture_record_new();
    texture->texture_name = new char[picture.size() + 1];
    std::memcpy(texture->texture_name, picture.c_str(), picture.size() + 1);
    texture->scene_root = mode & 1;
    texture->method = (mode >> 1) % 3;
    texture->type = (mode >> 3) & 1;
    texture->opacity = (mode & 0x10) ? 0.5f : 1.0f;
    texture->scale = {(mode & 0x20) ? -3.5f : 1.0f, (mode & 0x40) ? 0.25f : 2.0f};
    texture->color = {-1, 0, 0};
    TestSession module;
    if (texture->convert_to_targa(module.session)) {
      std::unique_ptr<VYbitmap> back(image_reader_invoke(texture->file_name));
      if (!back)
        fail("a converted texture does not read back");
    }
    texture_record_free(texture);
  }
  clear_scratch();
  return 0;
}
