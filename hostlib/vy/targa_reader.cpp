#include "targa_reader.h"

#include "pixel_order.h"

#include <algorithm>
#include <memory>
#include <new>

namespace {

constexpr int kHeaderSize = 18;
constexpr size_t kChunkBytes = size_t{1} << 20;

int le16(const unsigned char *at) { return at[0] | (at[1] << 8); }

} // namespace

bool vy_plain_targa(const unsigned char h[18]) {
  const int depth = h[16];
  // No colour map, type 2 (uncompressed true colour), a size on both axes.
  return h[1] == 0 && h[2] == 2 && (depth == 24 || depth == 32) && le16(h + 12) > 0 && le16(h + 14) > 0;
}

VYbitmap *vy_read_plain_targa(FILE *file, long file_size) {
  unsigned char h[kHeaderSize];
  if (std::fseek(file, 0, SEEK_SET) != 0 || std::fread(h, 1, sizeof h, file) != sizeof h ||
      !vy_plain_targa(h))
    return nullptr;
  const int width = le16(h + 12), height = le16(h + 14), bpp = h[16] / 8;
  // The image id (h[0] bytes) sits between the header and the pixels.
  const long data = kHeaderSize + h[0];
  const size_t row = static_cast<size_t>(width) * bpp;
  if (file_size - data < static_cast<long>(row * height) || std::fseek(file, data, SEEK_SET) != 0)
    return nullptr;
  std::unique_ptr<VYbitmap> bitmap(new (std::nothrow) VYbitmap(width, height, bpp * 8, nullptr));
  const size_t rows_per_chunk = std::max<size_t>(1, kChunkBytes / row);
  std::unique_ptr<unsigned char[]> chunk(new (std::nothrow) unsigned char[rows_per_chunk * row]);
  if (!bitmap || bitmap->data() == nullptr || !chunk)
    return nullptr;
  // Descriptor bit 5 set: the top row comes first; clear: the bottom row.
  const bool top_first = (h[17] & 0x20) != 0;
  for (int done = 0; done < height;) {
    const int rows = static_cast<int>(std::min<size_t>(rows_per_chunk, height - done));
    if (std::fread(chunk.get(), row, rows, file) != static_cast<size_t>(rows))
      return nullptr;
    for (int i = 0; i < rows; ++i, ++done) {
      const int y = top_first ? done : height - 1 - done;
      vy_swap_red_blue(chunk.get() + i * row, bpp, bitmap->data() + static_cast<size_t>(y) * row, bpp, width);
    }
  }
  return bitmap.release();
}
