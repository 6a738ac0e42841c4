// Targa fixtures written byte by byte, without the host's writer.
#pragma once

#include <filesystem>
#include <functional>

namespace bftest {

struct Rgba {
  unsigned char r, g, b, a;
};

// An uncompressed Targa file of 24 or 32 bits per pixel; pixel(x, y) with y
// counted from the top. Rows are stored bottom first, as POV-Ray writes them.
void write_targa(const std::filesystem::path &path, int width, int height, int bits,
                 const std::function<Rgba(int, int)> &pixel);
// An 18-byte 24-bit Targa header alone, enough for the size to be read.
void write_targa_header(const std::filesystem::path &path, int width, int height);

} // namespace bftest
