// Announced sizes against file sizes, one check per format whose size can be
// known from its header.
#include "image_bounds.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

bool is_pnm_space(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Skips white space and '#' comments as stb_image does; answers the first
// byte after them.
int skip_pnm_space(FILE *file, int c) {
  for (;;) {
    while (c != EOF && is_pnm_space(c))
      c = std::fgetc(file);
    if (c != '#')
      return c;
    while (c != EOF && c != '\n' && c != '\r')
      c = std::fgetc(file);
  }
}

long long pnm_number(FILE *file, int &c) {
  long long value = 0;
  while (c != EOF && c >= '0' && c <= '9') {
    value = value * 10 + (c - '0');
    if (value > (1LL << 40))
      return -1;
    c = std::fgetc(file);
  }
  return value;
}

// The header is read as stb_image reads it: the pixels start right after
// the one byte that ends the maximum value.
bool pnm_complete(FILE *file, long size) {
  PnmHeader h;
  return vy_read_pnm_header(file, h) &&
         static_cast<long long>(h.width) * h.height * h.channels * (h.max_value > 255 ? 2 : 1) <=
             size - h.start;
}

uint32_t le32(const unsigned char *p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Uncompressed (and bit-field) BMP: rows of whole 32-bit words from the
// pixel offset on. Run-length BMP files stb_image refuses itself.
bool bmp_complete(const unsigned char *h, long got, long size) {
  if (got < 30)
    return true; // too short to be read as a BMP at all
  const long long offset = le32(h + 10);
  const uint32_t header = le32(h + 14);
  long long width, height, bits, compression = 0;
  if (header == 12) {
    width = h[18] | (h[19] << 8);
    height = h[20] | (h[21] << 8);
    bits = h[24] | (h[25] << 8);
  } else {
    if (got < 34)
      return true;
    width = static_cast<int32_t>(le32(h + 18));
    height = static_cast<int32_t>(le32(h + 22));
    bits = h[28] | (h[29] << 8);
    compression = le32(h + 30);
  }
  if (compression != 0 && compression != 3 && compression != 6)
    return true;
  if (width < 0)
    width = -width;
  if (height < 0)
    height = -height;
  const long long row = (width * bits + 31) / 32 * 4;
  return offset + row * height <= size;
}

// A JPEG file ends its last scan (after the last start-of-scan marker) with
// an end-of-image marker; inside scans every 0xFF byte is followed by 0 or a
// restart marker, so the pair cannot occur by chance.
bool jpeg_complete(FILE *file, long size) {
  // Read backwards a block at a time; one byte of overlap keeps a pair that
  // straddles two blocks.
  std::vector<unsigned char> block(65536 + 1);
  for (long end = size; end > 1;) {
    const long start = end > 65536 ? end - 65536 : 0;
    const size_t count = static_cast<size_t>(end - start) + (end < size ? 1 : 0);
    if (std::fseek(file, start, SEEK_SET) != 0 || std::fread(block.data(), 1, count, file) != count)
      return false;
    for (size_t i = count; i-- > 1;) {
      if (block[i - 1] != 0xFF)
        continue;
      if (block[i] == 0xD9)
        return true;
      if (block[i] == 0xDA)
        return false;
    }
    end = start;
  }
  return false;
}

// A PNG file is a row of chunks (length, type, data, check sum) that ends
// with IEND; the decoder refuses a file cut off before it, so the chunks are
// walked by their lengths alone.
bool png_complete(FILE *file, long size) {
  long long at = 8;
  unsigned char chunk[8];
  while (at + 12 <= size) {
    if (std::fseek(file, static_cast<long>(at), SEEK_SET) != 0 || std::fread(chunk, 1, 8, file) != 8)
      return false;
    const long long length =
        (static_cast<long long>(chunk[0]) << 24) | (chunk[1] << 16) | (chunk[2] << 8) | chunk[3];
    if (std::memcmp(chunk + 4, "IEND", 4) == 0)
      return true;
    at += 12 + length;
  }
  return false;
}

} // namespace

bool vy_read_pnm_header(FILE *file, PnmHeader &header) {
  std::rewind(file);
  if (std::fgetc(file) != 'P')
    return false;
  const int kind = std::fgetc(file);
  if (kind != '5' && kind != '6')
    return false;
  int c = skip_pnm_space(file, std::fgetc(file));
  const long long width = pnm_number(file, c);
  c = skip_pnm_space(file, c);
  const long long height = pnm_number(file, c);
  c = skip_pnm_space(file, c);
  const long long max_value = pnm_number(file, c);
  if (width <= 0 || height <= 0 || max_value <= 0 || width > (1 << 24) || height > (1 << 24) ||
      max_value > 65535)
    return false;
  header = {static_cast<int>(width), static_cast<int>(height), kind == '6' ? 3 : 1,
            static_cast<int>(max_value), std::ftell(file)};
  return true;
}

bool vy_image_holds_its_pixels(FILE *file, long size) {
  std::rewind(file);
  unsigned char h[34] = {};
  const long got = static_cast<long>(std::fread(h, 1, sizeof h, file));
  std::rewind(file);
  bool holds = true;
  if (got >= 2 && h[0] == 'P' && (h[1] == '5' || h[1] == '6')) {
    holds = pnm_complete(file, size);
  } else if (got >= 2 && h[0] == 'B' && h[1] == 'M') {
    holds = bmp_complete(h, got, size);
  } else if (got >= 3 && h[0] == 0xFF && h[1] == 0xD8 && h[2] == 0xFF) {
    holds = jpeg_complete(file, size);
  } else if (got >= 8 && std::memcmp(h, "\x89PNG\r\n\x1a\n", 8) == 0) {
    holds = png_complete(file, size);
  }
  std::rewind(file);
  return holds;
}
