// Host bitmaps: geometry record, pixel storage and the promotion to RGBA.
#include "zalvy.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

#include <sys/mman.h>

namespace {

// Depths beyond this are not pixel formats any reader or writer here knows.
constexpr int kMaxDepth = 64;
// Larger requests are refused without asking the allocator: no picture of
// this host comes near 16 GiB, and a size computed from corrupt input must
// not reach calloc (a sanitizer aborts on absurd requests).
constexpr size_t kMaxBytes = size_t{1} << 34;

// Bytes of pixel memory for the record, or 0 when the record is empty,
// invalid or too large to address.
size_t pixel_bytes(const VYbitmapInfo &info) {
  if (info.width <= 0 || info.height <= 0 || info.depth < 0 || info.depth > kMaxDepth ||
      info.bytes_per_pixel <= 0)
    return 0;
  size_t pixels = 0;
  size_t bytes = 0;
  if (__builtin_mul_overflow(static_cast<size_t>(info.width), static_cast<size_t>(info.height), &pixels) ||
      __builtin_mul_overflow(pixels, static_cast<size_t>(info.bytes_per_pixel), &bytes))
    return 0;
  return bytes <= kMaxBytes ? bytes : 0;
}

// Pixel memory of large bitmaps (textures of millions of pixels) is mapped
// on 2 MiB boundaries and offered to the kernel for huge pages. A fresh
// 150 MB texture otherwise takes some 38,000 page faults on first touch,
// which here cost more than converting and writing it. Smaller bitmaps, and
// all of them in sanitizer builds (which check heap bounds), use the heap.
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kMappedFrom = SIZE_MAX;
#else
constexpr size_t kMappedFrom = size_t{16} << 20;
#endif
constexpr size_t kHugePage = size_t{2} << 20;

size_t mapped_length(size_t bytes) { return (bytes + kHugePage - 1) & ~(kHugePage - 1); }

// Zeroed memory for `bytes` (not 0) bytes of pixels, or null.
unsigned char *allocate_pixels(size_t bytes) {
  if (bytes < kMappedFrom)
    return static_cast<unsigned char *>(std::calloc(bytes, 1));
  // Map one huge page more than needed and give back the unaligned ends.
  const size_t length = mapped_length(bytes);
  void *mapped =
      mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED)
    return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
  if (aligned > start)
    munmap(mapped, aligned - start);
  munmap(reinterpret_cast<void *>(aligned + length), start + kHugePage - aligned);
  // Only advice: without huge pages the memory is simply faulted in 4 KiB pages.
  madvise(reinterpret_cast<void *>(aligned), length, MADV_HUGEPAGE);
  return reinterpret_cast<unsigned char *>(aligned);
}

void release_pixels(unsigned char *data, size_t bytes) {
  if (bytes < kMappedFrom)
    std::free(data);
  else
    munmap(data, mapped_length(bytes));
}

} // namespace

VYbitmapInfo vy_bitmap_info(int width, int height, int depth) {
  VYbitmapInfo info{};
  info.width = width;
  info.height = height;
  info.depth = depth;
  // Integer division truncates toward zero, so depth 0 gives one byte.
  info.bytes_per_pixel = static_cast<short>((depth - 1) / 8 + 1);
  info.pixels_per_byte = static_cast<short>(depth != 0 ? 8 / depth : 1);
  info.status = 0;
  return info;
}

VYbitmap::VYbitmap(int width, int height, int depth, const VYpalette *palette)
    : VYbitmap(vy_bitmap_info(width, height, depth), palette) {}

// The record is recomputed from its first three fields so that a caller's
// stale bytes_per_pixel can never make data_size() disagree with the memory.
// Fresh pages come zeroed without being touched, and nothing here throws; when it
// fails (or the size is empty or unaddressable) the bitmap is 0 x 0 with no data.
VYbitmap::VYbitmap(const VYbitmapInfo &info, const VYpalette *)
    : info_(vy_bitmap_info(info.width, info.height, info.depth)) {
  const size_t bytes = pixel_bytes(info_);
  if (bytes != 0)
    data_ = allocate_pixels(bytes);
  if (data_ == nullptr) {
    info_.width = 0;
    info_.height = 0;
  }
}

VYbitmap::~VYbitmap() {
  if (data_ != nullptr)
    release_pixels(data_, data_size());
}

size_t VYbitmap::data_size() const {
  return data_ != nullptr ? static_cast<size_t>(info_.width) * static_cast<size_t>(info_.height) *
                                static_cast<size_t>(info_.bytes_per_pixel)
                          : 0;
}

namespace {

// Expands one row of n pixels of `from` bytes each into RGBA. One byte is
// taken as grey, two as grey and alpha, three as RGB; alpha defaults to opaque.
void expand_row(const unsigned char *in, int from, unsigned char *out, size_t n) {
  for (size_t i = 0; i < n; ++i, in += from, out += 4) {
    const bool grey = from < 3;
    out[0] = in[0];
    out[1] = grey ? in[0] : in[1];
    out[2] = grey ? in[0] : in[2];
    out[3] = from == 2 ? in[1] : 255;
  }
}

} // namespace

VYbitmap *image_promote_to_32(VYbitmap *bitmap) {
  // The caller gives the bitmap up whatever the outcome: on failure nobody
  // else would free it.
  std::unique_ptr<VYbitmap> source(bitmap);
  if (!source || source->bytes_per_pixel() == 4)
    return source.release();
  const int from = source->bytes_per_pixel();
  if (from > 4)
    return nullptr;
  std::unique_ptr<VYbitmap> promoted(new (std::nothrow)
                                         VYbitmap(source->width(), source->height(), 32, nullptr));
  if (!promoted)
    return nullptr;
  if (source->data() != nullptr) {
    if (promoted->data() == nullptr)
      return nullptr;
    expand_row(source->data(), from, promoted->data(),
               static_cast<size_t>(source->width()) * static_cast<size_t>(source->height()));
  }
  return promoted.release();
}
