// The "Truevision Targa" still writer. A file is written under a temporary
// name beside its target and renamed onto the target only by a close() that
// follows a complete, error-free write: a reader (and the texture converter,
// which reuses any Targa file it finds) never sees a partial image.
#include "targa.h"

#include "pixel_order.h"

#include "core/atomic_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kChunkBytes = size_t{1} << 20;

// Writes that were asked for and did not reach their file, for the host
// program to learn that a command lost a picture.
std::atomic<unsigned> failed_writes{0};

struct Layout {
  int width, height, depth;
  bool footer;
  int bytes_per_pixel() const { return depth / 8; }
};

void put_le16(unsigned char *at, int value) {
  at[0] = static_cast<unsigned char>(value & 0xff);
  at[1] = static_cast<unsigned char>((value >> 8) & 0xff);
}

void fill_header(const Layout &layout, unsigned char header[VY_TARGA_HEADER_SIZE]) {
  std::memset(header, 0, VY_TARGA_HEADER_SIZE);
  header[0] = 0;           // no image id
  header[1] = 0;           // no colour map
  header[2] = 2;           // uncompressed true-colour
  put_le16(header + 3, 0); // colour map: first entry, length, entry size
  put_le16(header + 5, 0);
  header[7] = 0;
  put_le16(header + 8, 0); // x and y origin
  put_le16(header + 10, 0);
  put_le16(header + 12, layout.width);
  put_le16(header + 14, layout.height);
  header[16] = static_cast<unsigned char>(layout.depth);
  // Alpha bits; bit 5 clear: the first row stored is the bottom one.
  header[17] = static_cast<unsigned char>(layout.depth == 32 ? 8 : 0);
}

void fill_footer(unsigned char footer[VY_TARGA_FOOTER_SIZE]) {
  std::memset(footer, 0, 8);                        // no extension area, no developer directory
  std::memcpy(footer + 8, "TRUEVISION-XFILE.", 18); // with its terminating NUL
}

class TargaWriter final : public VYimageWriter {
public:
  TargaWriter(const Layout &layout, std::string target) : layout_(layout), target_(std::move(target)) {}
  ~TargaWriter() override { discard(); }

  bool open() { return file_.open(target_); }

  int write(const VYbitmap *bitmap) override {
    if (state_ != State::open)
      return fail();
    if (!write_image(bitmap))
      return fail();
    state_ = State::written;
    return 0;
  }

  int close() override {
    if (state_ != State::written) {
      discard();
      ++failed_writes;
      return 1;
    }
    if (!file_.commit()) {
      state_ = State::failed;
      ++failed_writes;
      return 1;
    }
    state_ = State::closed;
    return 0;
  }

private:
  enum class State { open, written, failed, closed };

  int fail() {
    state_ = State::failed;
    return 1;
  }

  void discard() { file_.discard(); }

  bool put(const void *bytes, size_t size) { return file_.write(bytes, size); }

  bool write_image(const VYbitmap *bitmap) {
    if (bitmap == nullptr || bitmap->data() == nullptr || bitmap->width() != layout_.width ||
        bitmap->height() != layout_.height || bitmap->bytes_per_pixel() < 3 || bitmap->bytes_per_pixel() > 4)
      return false;
    unsigned char header[VY_TARGA_HEADER_SIZE];
    fill_header(layout_, header);
    if (!put(header, sizeof header) || !write_rows(*bitmap))
      return false;
    if (!layout_.footer)
      return true;
    unsigned char footer[VY_TARGA_FOOTER_SIZE];
    fill_footer(footer);
    return put(footer, sizeof footer);
  }

  // Bottom row first. Rows are converted into a buffer of about 1 MiB and
  // written in one call each time it fills: few calls, and the converted
  // bytes are still in the cache when they are copied out.
  bool write_rows(const VYbitmap &bitmap) {
    const int out_bpp = layout_.bytes_per_pixel();
    const size_t out_row = static_cast<size_t>(layout_.width) * out_bpp;
    const size_t in_row = static_cast<size_t>(layout_.width) * bitmap.bytes_per_pixel();
    const size_t rows_per_chunk = std::max<size_t>(1, kChunkBytes / out_row);
    std::unique_ptr<unsigned char[]> chunk(new (std::nothrow) unsigned char[rows_per_chunk * out_row]);
    if (!chunk)
      return false;
    size_t filled = 0;
    for (int y = layout_.height - 1; y >= 0; --y) {
      vy_swap_red_blue(bitmap.data() + static_cast<size_t>(y) * in_row, bitmap.bytes_per_pixel(),
                       chunk.get() + filled * out_row, out_bpp, layout_.width);
      if (++filled == rows_per_chunk || y == 0) {
        if (!put(chunk.get(), filled * out_row))
          return false;
        filled = 0;
      }
    }
    return true;
  }

  Layout layout_;
  std::string target_;
  zal::AtomicFile file_;
  State state_ = State::open;
};

bool acceptable(const VYimageWriterInfo &info) {
  if (info.file_name == nullptr || info.file_name[0] == '\0')
    return false;
  if (info.width < 1 || info.width > VY_TARGA_MAX_SIDE || info.height < 1 || info.height > VY_TARGA_MAX_SIDE)
    return false;
  if (info.depth != 24 && info.depth != 32)
    return false;
  // Only a regular file (or nothing) may be replaced: renaming onto a
  // directory fails anyway, and a device or pipe is not ours to swap out.
  struct stat st;
  return ::stat(info.file_name, &st) != 0 || S_ISREG(st.st_mode);
}

class TargaWriterFactory final : public VYimageWriterFactory {
public:
  const char *name() const override { return VY_TARGA_FORMAT_NAME; }

  VYimageWriter *create_writer(const VYimageWriterInfo &info) override {
    if (!acceptable(info)) {
      ++failed_writes;
      return nullptr;
    }
    const Layout layout{info.width, info.height, info.depth, (info.flags & VY_TARGA_FLAG_FOOTER) != 0};
    try {
      auto writer = std::make_unique<TargaWriter>(layout, info.file_name);
      if (writer->open())
        return writer.release();
    } catch (const std::bad_alloc &) {
    }
    ++failed_writes;
    return nullptr;
  }
};

} // namespace

unsigned vy_targa_failed_writes() { return failed_writes.load(); }

VYimageWriterFactory *still_writer_get_factory(const char *name) {
  static TargaWriterFactory targa;
  if (name == nullptr || std::strcmp(name, targa.name()) != 0)
    return nullptr;
  return &targa;
}
