// Image files into host bitmaps, decoded by stb_image (libstb provides the
// implementation, so only the declarations are included here).
#include "zalvy.h"

#include <stb_image.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

// Larger pictures are refused before decoding: 2^28 pixels is 1 GiB as RGBA,
// far beyond any texture or preview, and keeps every size product in range.
constexpr long long kMaxPixels = 1LL << 28;

struct FileCloser {
  void operator()(FILE *file) const { std::fclose(file); }
};
struct StbFree {
  void operator()(unsigned char *pixels) const { stbi_image_free(pixels); }
};

bool sane_size(int width, int height) {
  return width > 0 && height > 0 && static_cast<long long>(width) * height <= kMaxPixels;
}

// Grey becomes RGB and grey with alpha becomes RGBA: host bitmaps are colour.
int colour_channels(int file_channels) { return file_channels == 2 || file_channels == 4 ? 4 : 3; }

// stb_image fills the rows of an uncompressed Targa file whatever the
// file holds, so a cut-off file (a render or copy that stopped half-way)
// would come back as a whole picture with made-up rows. Files whose header
// reads as uncompressed Targa must hold all the pixels that it announces.
// No other format that stb_image reads starts with bytes that pass this test.
bool truncated_targa(FILE *file) {
  unsigned char h[18];
  const long start = std::ftell(file);
  const bool got = std::fread(h, 1, sizeof h, file) == sizeof h;
  std::fseek(file, 0, SEEK_END);
  const long size = std::ftell(file);
  std::fseek(file, start, SEEK_SET);
  if (!got || h[1] > 1 || (h[2] != 1 && h[2] != 2 && h[2] != 3))
    return false;
  const long long map_entries = h[5] | (h[6] << 8);
  const long long width = h[12] | (h[13] << 8);
  const long long height = h[14] | (h[15] << 8);
  const long long map_bytes = h[1] == 1 ? map_entries * ((h[7] + 7) / 8) : 0;
  const long long needed = 18 + h[0] + map_bytes + width * height * ((h[16] + 7) / 8);
  return size < needed;
}

} // namespace

VYbitmap *image_reader_invoke(const char *path) {
  if (path == nullptr || *path == '\0')
    return nullptr;
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path, "rb"));
  if (!file || truncated_targa(file.get()))
    return nullptr;
  int width = 0, height = 0, channels = 0;
  // stbi_info_from_file leaves the file where it found it.
  if (!stbi_info_from_file(file.get(), &width, &height, &channels) || !sane_size(width, height) ||
      channels < 1 || channels > 4)
    return nullptr;
  const int wanted = colour_channels(channels);
  std::unique_ptr<unsigned char, StbFree> pixels(
      stbi_load_from_file(file.get(), &width, &height, &channels, wanted));
  if (!pixels || !sane_size(width, height))
    return nullptr;
  std::unique_ptr<VYbitmap> bitmap(new (std::nothrow) VYbitmap(width, height, wanted * 8, nullptr));
  if (!bitmap || bitmap->data() == nullptr)
    return nullptr;
  // stb_image delivers rows top first, channels in R, G, B, A order: the
  // host's own layout, so one copy suffices.
  std::memcpy(bitmap->data(), pixels.get(), bitmap->data_size());
  return bitmap.release();
}
