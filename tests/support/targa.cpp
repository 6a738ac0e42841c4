#include "tests/support/targa.h"
#include "tests/support/files.h"

#include <string>

namespace bftest {

namespace {

std::string header(int width, int height, int bits) {
  std::string bytes(18, '\0');
  bytes[2] = 2; // uncompressed true colour
  bytes[12] = static_cast<char>(width & 0xff);
  bytes[13] = static_cast<char>((width >> 8) & 0xff);
  bytes[14] = static_cast<char>(height & 0xff);
  bytes[15] = static_cast<char>((height >> 8) & 0xff);
  bytes[16] = static_cast<char>(bits);
  bytes[17] = static_cast<char>(bits == 32 ? 8 : 0); // alpha bits; origin bottom left
  return bytes;
}

} // namespace

void write_targa(const std::filesystem::path &path, int width, int height, int bits,
                 const std::function<Rgba(int, int)> &pixel) {
  std::string bytes = header(width, height, bits);
  for (int y = height - 1; y >= 0; --y)
    for (int x = 0; x < width; ++x) {
      const Rgba p = pixel(x, y);
      bytes += static_cast<char>(p.b);
      bytes += static_cast<char>(p.g);
      bytes += static_cast<char>(p.r);
      if (bits == 32)
        bytes += static_cast<char>(p.a);
    }
  write_file(path, bytes);
}

void write_targa_header(const std::filesystem::path &path, int width, int height) {
  write_file(path, header(width, height, 24));
}

} // namespace bftest
