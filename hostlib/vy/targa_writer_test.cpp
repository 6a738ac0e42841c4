// The "Truevision Targa" still writer: exact file layout, round trips through
// the host's reader, and failures that must leave no file behind.
#include "targa.h"
#include "tests/support/byte_files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <sys/resource.h>

namespace {

using vytest::Bytes;

// The description points into `path`, which must outlive it.
VYimageWriterInfo describe(const std::string &path, int width, int height, int depth, int flags = 0) {
  return VYimageWriterInfo{path.c_str(), width, height, depth, 300, 0, 0, 15, flags};
}

// Pixel (x, y) gets values that tell x, y and the channel apart.
std::unique_ptr<VYbitmap> pattern(int width, int height, int depth) {
  auto bitmap = std::make_unique<VYbitmap>(width, height, depth, nullptr);
  const int bpp = bitmap->bytes_per_pixel();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int k = 0; k < bpp; ++k)
        bitmap->data()[(y * width + x) * bpp + k] = static_cast<unsigned char>(x * 16 + y * 4 + k * 61 + 1);
  return bitmap;
}

// Writes and closes; answers (write result, close result).
std::pair<int, int> write_file(const VYimageWriterInfo &info, const VYbitmap *bitmap) {
  std::unique_ptr<VYimageWriter> writer(still_writer_get_factory(VY_TARGA_FORMAT_NAME)->create_writer(info));
  if (!writer)
    return {-1, -1};
  const int wrote = writer->write(bitmap);
  return {wrote, writer->close()};
}

class TargaWriter : public ::testing::Test {
protected:
  vytest::ScratchDir dir;
};

TEST(TargaFactory, AnswersOnlyToItsName) {
  VYimageWriterFactory *factory = still_writer_get_factory("Truevision Targa");
  ASSERT_NE(factory, nullptr);
  EXPECT_STREQ(factory->name(), "Truevision Targa");
  EXPECT_EQ(still_writer_get_factory("Truevision Targa"), factory);
  EXPECT_EQ(still_writer_get_factory(nullptr), nullptr);
  EXPECT_EQ(still_writer_get_factory("PNG"), nullptr);
  EXPECT_EQ(still_writer_get_factory("Truevision"), nullptr);
}

TEST_F(TargaWriter, RefusesDescriptionsItCannotWrite) {
  VYimageWriterFactory *factory = still_writer_get_factory(VY_TARGA_FORMAT_NAME);
  const std::string path = dir.file("x.tga"), no_name;
  const VYimageWriterInfo bad[] = {describe(path, 0, 4, 24),     describe(path, 4, 0, 24),
                                   describe(path, 65536, 4, 24), describe(path, 4, 4, 16),
                                   describe(path, 4, 4, 8),      describe(no_name, 4, 4, 24)};
  for (const VYimageWriterInfo &info : bad)
    EXPECT_EQ(std::unique_ptr<VYimageWriter>(factory->create_writer(info)), nullptr)
        << info.width << "x" << info.height << "x" << info.depth;
  VYimageWriterInfo unnamed = describe(path, 4, 4, 24);
  unnamed.file_name = nullptr;
  EXPECT_EQ(std::unique_ptr<VYimageWriter>(factory->create_writer(unnamed)), nullptr);
  EXPECT_TRUE(dir.entries().empty());
}

TEST_F(TargaWriter, TwentyFourBitFileLayoutIsExact) {
  const std::string path = dir.file("rgb.tga");
  auto bitmap = pattern(300, 2, 24);
  ASSERT_EQ(write_file(describe(path, 300, 2, 24), bitmap.get()), std::make_pair(0, 0));
  const Bytes file = vytest::read_bytes(path);
  ASSERT_EQ(file.size(), 18u + 300u * 2u * 3u);
  const Bytes header = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x2c, 0x01, 2, 0, 24, 0};
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 18), header);
  // The bottom row comes first, each pixel as blue, green, red.
  const unsigned char *bottom_left = bitmap->data() + 300 * 3;
  EXPECT_EQ(file[18], bottom_left[2]);
  EXPECT_EQ(file[19], bottom_left[1]);
  EXPECT_EQ(file[20], bottom_left[0]);
  const unsigned char *top_right = bitmap->data() + 299 * 3;
  EXPECT_EQ(file[file.size() - 3], top_right[2]);
  EXPECT_EQ(file[file.size() - 1], top_right[0]);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"rgb.tga"});
}

TEST_F(TargaWriter, ThirtyTwoBitFileDeclaresAlphaAndCarriesTheFooterOnRequest) {
  const std::string path = dir.file("rgba.tga");
  auto bitmap = pattern(3, 2, 32);
  ASSERT_EQ(write_file(describe(path, 3, 2, 32, VY_TARGA_FLAG_FOOTER), bitmap.get()), std::make_pair(0, 0));
  const Bytes file = vytest::read_bytes(path);
  ASSERT_EQ(file.size(), 18u + 3u * 2u * 4u + 26u);
  const Bytes header = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 32, 8};
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 18), header);
  const unsigned char *bottom_left = bitmap->data() + 3 * 4;
  const Bytes first_pixel = {bottom_left[2], bottom_left[1], bottom_left[0], bottom_left[3]};
  EXPECT_EQ(Bytes(file.begin() + 18, file.begin() + 22), first_pixel);
  Bytes footer(8, 0);
  const char signature[] = "TRUEVISION-XFILE.";
  footer.insert(footer.end(), signature, signature + sizeof signature);
  EXPECT_EQ(Bytes(file.end() - 26, file.end()), footer);
}

TEST_F(TargaWriter, RoundTripThroughTheReaderIsExact) {
  for (int depth : {24, 32})
    for (int flags : {0, VY_TARGA_FLAG_FOOTER}) {
      const std::string path = dir.file("round.tga");
      auto bitmap = pattern(17, 9, depth);
      ASSERT_EQ(write_file(describe(path, 17, 9, depth, flags), bitmap.get()), std::make_pair(0, 0));
      std::unique_ptr<VYbitmap> back(image_reader_invoke(path.c_str()));
      ASSERT_NE(back, nullptr) << depth;
      EXPECT_EQ(back->width(), 17);
      EXPECT_EQ(back->height(), 9);
      EXPECT_EQ(back->depth(), depth);
      ASSERT_EQ(back->data_size(), bitmap->data_size());
      EXPECT_EQ(Bytes(back->data(), back->data() + back->data_size()),
                Bytes(bitmap->data(), bitmap->data() + bitmap->data_size()))
          << "depth " << depth << " flags " << flags;
    }
}

// Rows are gathered into chunks of about 1 MiB before they are written:
// a picture of several chunks, the last one short, and of rows that do not
// fill a chunk evenly, must still be stored bottom row first, pixel for pixel.
TEST_F(TargaWriter, PicturesOfManyChunksKeepEveryRowInOrder) {
  const int width = 1001, height = 757; // 24 bit: 349 rows a chunk, 3 chunks
  for (int depth : {24, 32}) {
    const std::string path = dir.file("big.tga");
    auto bitmap = pattern(width, height, depth);
    ASSERT_EQ(write_file(describe(path, width, height, depth), bitmap.get()), std::make_pair(0, 0));
    const Bytes file = vytest::read_bytes(path);
    const size_t bpp = depth / 8, row = width * bpp;
    ASSERT_EQ(file.size(), 18 + row * height);
    for (int r = 0; r < height; ++r) {
      const unsigned char *in = bitmap->data() + (height - 1 - r) * row;
      const unsigned char *out = file.data() + 18 + r * row;
      for (int x = 0; x < width; ++x, in += bpp, out += bpp) {
        const Bytes expected = {in[2], in[1], in[0]};
        ASSERT_EQ(Bytes(out, out + 3), expected) << depth << " bit, stored row " << r << " x " << x;
        if (bpp == 4) {
          ASSERT_EQ(out[3], in[3]);
        }
      }
    }
  }
}

TEST_F(TargaWriter, BitmapDepthMayDifferFromTheFileDepth) {
  const std::string path = dir.file("mixed.tga");
  auto rgb = pattern(2, 2, 24);
  ASSERT_EQ(write_file(describe(path, 2, 2, 32), rgb.get()), std::make_pair(0, 0));
  std::unique_ptr<VYbitmap> back(image_reader_invoke(path.c_str()));
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->bytes_per_pixel(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(back->data()[i * 4 + 0], rgb->data()[i * 3 + 0]);
    EXPECT_EQ(back->data()[i * 4 + 2], rgb->data()[i * 3 + 2]);
    EXPECT_EQ(back->data()[i * 4 + 3], 255) << "missing alpha is opaque";
  }
  auto rgba = pattern(2, 2, 32);
  ASSERT_EQ(write_file(describe(path, 2, 2, 24), rgba.get()), std::make_pair(0, 0));
  EXPECT_EQ(vytest::read_bytes(path).size(), 18u + 12u);
}

TEST_F(TargaWriter, WrongOrMissingBitmapFailsAndLeavesNothing) {
  const std::string path = dir.file("bad.tga");
  auto small = pattern(2, 2, 24);
  EXPECT_EQ(write_file(describe(path, 3, 2, 24), small.get()), std::make_pair(1, 1));
  EXPECT_EQ(write_file(describe(path, 3, 2, 24), nullptr), std::make_pair(1, 1));
  VYbitmap grey(3, 2, 8, nullptr);
  EXPECT_EQ(write_file(describe(path, 3, 2, 24), &grey), std::make_pair(1, 1));
  VYbitmap empty(0, 0, 24, nullptr);
  EXPECT_EQ(write_file(describe(path, 3, 2, 24), &empty), std::make_pair(1, 1));
  EXPECT_TRUE(dir.entries().empty());
}

TEST_F(TargaWriter, OnlyASuccessfulCloseProducesTheFile) {
  const std::string path = dir.file("late.tga");
  VYimageWriterFactory *factory = still_writer_get_factory(VY_TARGA_FORMAT_NAME);
  auto bitmap = pattern(4, 4, 24);
  {
    std::unique_ptr<VYimageWriter> writer(factory->create_writer(describe(path, 4, 4, 24)));
    ASSERT_NE(writer, nullptr);
    ASSERT_EQ(writer->write(bitmap.get()), 0);
    EXPECT_FALSE(std::filesystem::exists(path)) << "visible before close";
    // Destroyed without close: abandoned, nothing remains.
  }
  EXPECT_TRUE(dir.entries().empty());
  {
    std::unique_ptr<VYimageWriter> writer(factory->create_writer(describe(path, 4, 4, 24)));
    ASSERT_NE(writer, nullptr);
    EXPECT_NE(writer->close(), 0) << "closed without an image";
  }
  EXPECT_TRUE(dir.entries().empty());
  {
    std::unique_ptr<VYimageWriter> writer(factory->create_writer(describe(path, 4, 4, 24)));
    ASSERT_EQ(writer->write(bitmap.get()), 0);
    EXPECT_NE(writer->write(bitmap.get()), 0) << "a second image in one file";
    EXPECT_NE(writer->close(), 0);
  }
  EXPECT_TRUE(dir.entries().empty());
}

TEST_F(TargaWriter, ADirectoryOrDeviceIsNeverReplaced) {
  const std::string target = dir.file("folder.tga");
  std::filesystem::create_directory(target);
  auto bitmap = pattern(4, 4, 24);
  const auto result = write_file(describe(target, 4, 4, 24), bitmap.get());
  EXPECT_TRUE(result.first != 0 || result.second != 0);
  EXPECT_TRUE(std::filesystem::is_directory(target));
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"folder.tga"});

  // /dev/null is only looked at, never written or renamed onto: the writer
  // refuses it before creating anything.
  const std::string device_name = "/dev/null";
  std::unique_ptr<VYimageWriter> device(
      still_writer_get_factory(VY_TARGA_FORMAT_NAME)->create_writer(describe(device_name, 4, 4, 24)));
  EXPECT_EQ(device, nullptr);
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

TEST_F(TargaWriter, MissingDirectoryGivesNoWriter) {
  const std::string path = dir.file("no/such/dir/x.tga");
  EXPECT_EQ(write_file(describe(path, 4, 4, 24), pattern(4, 4, 24).get()), std::make_pair(-1, -1));
}

// The file system refuses to let the file grow (as when the disk is full):
// write() fails part-way, close() fails, and an older file of the target
// name survives untouched.
TEST_F(TargaWriter, AWriteThatFailsPartWayKeepsTheOldFile) {
  const std::string path = dir.file("keep.tga");
  vytest::write_bytes(path, Bytes{'o', 'l', 'd'});
  auto bitmap = pattern(200, 200, 24);
  struct rlimit old_limit;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old_limit;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const auto result = write_file(describe(path, 200, 200, 24), bitmap.get());
  setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_NE(result.first, 0);
  EXPECT_NE(result.second, 0);
  EXPECT_EQ(vytest::read_bytes(path), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"keep.tga"});
}

TEST_F(TargaWriter, ASuccessfulWriteReplacesAnOlderFile) {
  const std::string path = dir.file("swap.tga");
  vytest::write_bytes(path, Bytes{'o', 'l', 'd'});
  ASSERT_EQ(write_file(describe(path, 5, 5, 24), pattern(5, 5, 24).get()), std::make_pair(0, 0));
  EXPECT_EQ(vytest::read_bytes(path).size(), 18u + 75u);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"swap.tga"});
}

} // namespace
