// Image files into host bitmaps, decoded by stb_image (libstb provides the
// implementation, so only the declarations are included here).
#include "zalvy.h"

#include "core/input_file.h"
#include "image_bounds.h"
#include "image_bytes.h"
#include "targa_reader.h"

#include <stb_image.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

// The pixel budget of one picture: larger ones are refused from their
// header, before anything is decoded. 2^26 pixels (8192 x 8192) are 256 MiB
// as RGBA; a texture conversion holds at most three such copies at once,
// which keeps a run under 1 GiB.
constexpr long long kMaxPixels = 1LL << 26;
// Largest image file opened: more than any picture within the budget needs.
constexpr long long kMaxImageFileBytes = 1LL << 30;

struct FileCloser {
  void operator()(FILE *file) const { std::fclose(file); }
};
struct StbFree {
  void operator()(unsigned char *pixels) const { stbi_image_free(pixels); }
};

bool sane_size(int width, int height) {
  return width > 0 && height > 0 && static_cast<long long>(width) * height <= kMaxPixels;
}

// No real picture packs more pixels than this into one byte of its file
// (deflate stops near 1032 bytes per byte, JPEG and GIF far below 8192 on a
// plain colour). stb_image makes up the pixels that a cut-off file lacks,
// so a few bytes that announce a huge picture would otherwise decode, for
// seconds, into hundreds of megabytes of nothing.
constexpr long long kMaxPixelsPerByte = 8192;

long file_size(FILE *file) {
  const long at = std::ftell(file);
  std::fseek(file, 0, SEEK_END);
  const long size = std::ftell(file);
  std::fseek(file, at, SEEK_SET);
  return size;
}

// Grey becomes RGB and grey with alpha becomes RGBA: host bitmaps are colour.
int colour_channels(int file_channels) { return file_channels == 2 || file_channels == 4 ? 4 : 3; }

// Grey (1 channel) to RGB, grey and alpha (2) to RGBA.
void grey_to_colour(const unsigned char *in, int channels, unsigned char *out, size_t pixels) {
  for (size_t i = 0; i < pixels; ++i, in += channels) {
    *out++ = in[0];
    *out++ = in[0];
    *out++ = in[0];
    if (channels == 2)
      *out++ = in[1];
  }
}

// Set when the last read failed for want of memory.
thread_local bool out_of_memory = false;
// Why the last read failed, when the reader knows more than "not a picture".
thread_local std::string failure;

// A bitmap of the given size, or null with out_of_memory set.
std::unique_ptr<VYbitmap> new_bitmap(int width, int height, int depth) {
  std::unique_ptr<VYbitmap> bitmap(new (std::nothrow) VYbitmap(width, height, depth, nullptr));
  if (!bitmap || bitmap->data() == nullptr) {
    out_of_memory = true;
    return nullptr;
  }
  return bitmap;
}

// 16-bit PNM samples, most significant byte first, scaled to 8 bits (the
// stb_image at hand reads them in the wrong byte order).
VYbitmap *read_pnm16(FILE *file, const PnmHeader &h) {
  const size_t pixels = static_cast<size_t>(h.width) * h.height;
  std::vector<unsigned char> samples(pixels * h.channels * 2);
  std::fseek(file, h.start, SEEK_SET);
  if (std::fread(samples.data(), 1, samples.size(), file) != samples.size())
    return nullptr;
  std::vector<unsigned char> eight(pixels * h.channels);
  for (size_t i = 0; i < eight.size(); ++i) {
    const unsigned value = std::min<unsigned>((samples[2 * i] << 8) | samples[2 * i + 1], h.max_value);
    eight[i] = static_cast<unsigned char>((value * 255 + h.max_value / 2) / h.max_value);
  }
  std::unique_ptr<VYbitmap> bitmap = new_bitmap(h.width, h.height, 24);
  if (!bitmap)
    return nullptr;
  if (h.channels == 3)
    std::memcpy(bitmap->data(), eight.data(), bitmap->data_size());
  else
    grey_to_colour(eight.data(), 1, bitmap->data(), pixels);
  return bitmap.release();
}

// Whether the run-length packets after `start` cover `pixels` pixels of
// `bytes` bytes each before the file ends.
bool rle_complete(FILE *file, long start, long long pixels, int bytes) {
  std::fseek(file, start, SEEK_SET);
  long long covered = 0;
  int c;
  while (covered < pixels && (c = std::fgetc(file)) != EOF) {
    const int count = (c & 0x7f) + 1;
    const long skip = (c & 0x80) ? bytes : static_cast<long>(count) * bytes;
    if (std::fseek(file, skip, SEEK_CUR) != 0)
      return false;
    covered += count;
  }
  // fseek may go past the end; the last packet must lie within the file.
  const long reached = std::ftell(file);
  std::fseek(file, 0, SEEK_END);
  return covered >= pixels && reached <= std::ftell(file);
}

// stb_image fills the rows of a Targa file whatever the file holds, so a
// cut-off file (a render or copy that stopped half-way) would come back as
// a whole picture with made-up rows, and a few bytes that announce a huge
// run-length picture would take seconds to "decode". Files whose header
// reads as Targa must hold all the pixels that it announces: uncompressed
// ones by their size, run-length ones (types 9 to 11) packet by packet.
// No other format that stb_image reads starts with bytes that pass this test.
bool truncated_targa(FILE *file) {
  unsigned char h[18];
  const long start = std::ftell(file);
  const bool got = std::fread(h, 1, sizeof h, file) == sizeof h;
  std::fseek(file, 0, SEEK_END);
  const long size = std::ftell(file);
  std::fseek(file, start, SEEK_SET);
  const int kind = h[2] & ~8; // 9, 10, 11 are 1, 2, 3 run-length encoded
  if (!got || h[1] > 1 || (kind != 1 && kind != 2 && kind != 3))
    return false;
  const long long map_entries = h[5] | (h[6] << 8);
  const long long width = h[12] | (h[13] << 8);
  const long long height = h[14] | (h[15] << 8);
  const long long map_bytes = h[1] == 1 ? map_entries * ((h[7] + 7) / 8) : 0;
  const int pixel_bytes = (h[16] + 7) / 8;
  const long long data = 18 + h[0] + map_bytes;
  if (h[2] & 8) {
    const bool complete = data < size && pixel_bytes > 0 &&
                          rle_complete(file, static_cast<long>(data), width * height, pixel_bytes);
    std::fseek(file, start, SEEK_SET);
    return !complete;
  }
  return size < data + width * height * pixel_bytes;
}

// Whether the file starts with a plain Targa header; leaves the file at its start.
bool plain_targa(FILE *file) {
  unsigned char h[18];
  const bool got = std::fread(h, 1, sizeof h, file) == sizeof h;
  std::rewind(file);
  return got && vy_plain_targa(h);
}

// Whether the header announces a picture within the budget; sets failure
// when it is beyond it.
bool within_budget(int width, int height) {
  if (sane_size(width, height))
    return true;
  if (width > 0 && height > 0)
    failure = std::to_string(width) + " x " + std::to_string(height) + " pixels, more than the " +
              std::to_string(kMaxPixels / (1 << 20)) + " megapixels an image may have";
  return false;
}

// Whether the picture in `file` (at its start) passes every check that
// holds before its pixels are decoded: a known header, the budget, a file
// that holds all the pixels it announces. Leaves the file at its start.
bool header_fits(FILE *file, int &width, int &height, int &channels) {
  // stbi_info_from_file reads the header alone and leaves the file where it
  // found it: the budget holds before any pixel is decoded.
  if (!stbi_info_from_file(file, &width, &height, &channels) || !within_budget(width, height) ||
      channels < 1 || channels > 4 || truncated_targa(file) ||
      static_cast<long long>(width) * height > kMaxPixelsPerByte * file_size(file))
    return false;
  return plain_targa(file) || vy_image_holds_its_pixels(file, file_size(file));
}

// Reads the picture in `file`, which is at its start.
VYbitmap *read_image(FILE *file_at_start) {
  std::unique_ptr<FILE, FileCloser> file(file_at_start);
  int width = 0, height = 0, channels = 0;
  if (!header_fits(file.get(), width, height, channels))
    return nullptr;
  if (plain_targa(file.get()))
    return vy_read_plain_targa(file.get(), file_size(file.get()));
  PnmHeader pnm;
  if (vy_read_pnm_header(file.get(), pnm) && pnm.max_value > 255)
    return read_pnm16(file.get(), pnm);
  std::rewind(file.get());
  // The file's own channels: stb_image's conversion of 16-bit grey reads
  // past its buffer, so grey becomes colour here.
  std::unique_ptr<unsigned char, StbFree> pixels(
      stbi_load_from_file(file.get(), &width, &height, &channels, 0));
  if (!pixels) {
    // This libstb keeps no failure reasons: a file whose header was fine
    // failed for memory when its pixels alone do not fit in it now.
    void *probe = std::malloc(static_cast<size_t>(width) * height * channels);
    out_of_memory = probe == nullptr;
    std::free(probe);
    return nullptr;
  }
  if (!sane_size(width, height) || channels < 1 || channels > 4)
    return nullptr;
  const int wanted = colour_channels(channels);
  std::unique_ptr<VYbitmap> bitmap = new_bitmap(width, height, wanted * 8);
  if (!bitmap)
    return nullptr;
  // stb_image delivers rows top first, channels in R, G, B, A order: the
  // host's own layout, so colour pictures need one copy.
  if (channels == wanted)
    std::memcpy(bitmap->data(), pixels.get(), bitmap->data_size());
  else
    grey_to_colour(pixels.get(), channels, bitmap->data(), static_cast<size_t>(width) * height);
  return bitmap.release();
}

VYbitmap *read_guarded(FILE *file) {
  try {
    return read_image(file);
  } catch (const std::bad_alloc &) {
    out_of_memory = true;
  }
  return nullptr;
}

// `size` bytes of memory as a file to read, or null.
FILE *open_memory(const void *bytes, size_t size) {
  if (bytes == nullptr || size == 0)
    return nullptr;
  FILE *file = fmemopen(const_cast<void *>(bytes), size, "rb");
  if (file == nullptr)
    out_of_memory = errno == ENOMEM;
  return file;
}

// A picture open at its start (file null: failure set); a picture held in
// memory stays held while it is read.
struct Picture {
  std::shared_ptr<const std::vector<unsigned char>> held;
  FILE *file = nullptr;
};

// The picture that `path` names: the bytes held under that name
// (image_bytes.h), else the file.
Picture open_picture(const char *path) {
  out_of_memory = false;
  failure.clear();
  Picture p;
  if (path == nullptr || *path == '\0')
    return p;
  if ((p.held = vy_registered_image_bytes(path))) {
    p.file = open_memory(p.held->data(), p.held->size());
    return p;
  }
  zal::InputFile in;
  if (in.open(path, kMaxImageFileBytes))
    p.file = in.release();
  else
    failure = in.why();
  return p;
}

} // namespace

VYbitmap *image_reader_invoke(const char *path) {
  const Picture picture = open_picture(path);
  return picture.file != nullptr ? read_guarded(picture.file) : nullptr;
}

bool vy_image_readable(const char *path) {
  const Picture picture = open_picture(path);
  std::unique_ptr<FILE, FileCloser> file(picture.file);
  int width = 0, height = 0, channels = 0;
  if (!file || !header_fits(file.get(), width, height, channels))
    return false;
  // Room for the decoded pixels, as the bitmap holds them.
  void *volatile probe = std::malloc(static_cast<size_t>(width) * height * colour_channels(channels));
  out_of_memory = probe == nullptr;
  std::free(probe);
  return !out_of_memory;
}

VYbitmap *vy_read_image_memory(const void *bytes, size_t size) {
  out_of_memory = false;
  failure.clear();
  FILE *file = open_memory(bytes, size);
  return file != nullptr ? read_guarded(file) : nullptr;
}

std::string vy_image_reader_failure() {
  if (out_of_memory)
    return "out of memory";
  return failure.empty() ? "not a picture that can be read (empty, cut off or of an unknown format)"
                         : failure;
}
