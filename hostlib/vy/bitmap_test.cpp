// Bitmap geometry, pixel storage and the promotion to 32 bits.
#include "zalvy.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

namespace {

TEST(BitmapInfo, BytesAndPixelsPerByteFollowTheDepth) {
  struct Row {
    int depth, bytes, per_byte;
  };
  const Row rows[] = {{0, 1, 1},  {1, 1, 8},  {4, 1, 2},  {8, 1, 1},  {9, 2, 0},
                      {16, 2, 0}, {17, 3, 0}, {24, 3, 0}, {25, 4, 0}, {32, 4, 0}};
  for (const Row &row : rows) {
    const VYbitmapInfo info = vy_bitmap_info(7, 5, row.depth);
    EXPECT_EQ(info.width, 7);
    EXPECT_EQ(info.height, 5);
    EXPECT_EQ(info.depth, row.depth);
    EXPECT_EQ(info.bytes_per_pixel, row.bytes) << "depth " << row.depth;
    EXPECT_EQ(info.pixels_per_byte, row.per_byte) << "depth " << row.depth;
    EXPECT_EQ(info.status, 0);
  }
}

TEST(Bitmap, BothConstructorsGiveZeroedRowMajorPixels) {
  VYbitmap a(5, 3, 24, nullptr);
  VYbitmap b(vy_bitmap_info(5, 3, 32), nullptr);
  ASSERT_NE(a.data(), nullptr);
  ASSERT_NE(b.data(), nullptr);
  EXPECT_EQ(a.data_size(), 5u * 3u * 3u);
  EXPECT_EQ(b.data_size(), 5u * 3u * 4u);
  EXPECT_EQ(a.bytes_per_pixel(), 3);
  EXPECT_EQ(b.bytes_per_pixel(), 4);
  EXPECT_EQ(b.info().depth, 32);
  for (size_t i = 0; i < a.data_size(); ++i)
    ASSERT_EQ(a.data()[i], 0);
  for (size_t i = 0; i < b.data_size(); ++i)
    ASSERT_EQ(b.data()[i], 0);
}

// Texture-sized bitmaps take their memory from a mapping of their own rather
// than the heap: around that size and beyond, each one must be zeroed,
// wholly writable and independent of the others, and giving it back must
// not take any neighbour's memory with it.
TEST(Bitmap, LargeBitmapsAreZeroedWritableAndIndependent) {
  const int sides[][2] = {{2047, 2048}, {2048, 2048}, {2048, 2049}, {4095, 1367}, {4096, 4096}};
  for (int round = 0; round < 3; ++round) {
    std::vector<std::unique_ptr<VYbitmap>> alive;
    for (const auto &side : sides) {
      auto bitmap = std::make_unique<VYbitmap>(side[0], side[1], 32, nullptr);
      ASSERT_NE(bitmap->data(), nullptr) << side[0] << "x" << side[1];
      const size_t size = bitmap->data_size();
      for (size_t i = 0; i < size; i += 4093)
        ASSERT_EQ(bitmap->data()[i], 0) << side[0] << "x" << side[1] << " byte " << i;
      ASSERT_EQ(bitmap->data()[size - 1], 0);
      bitmap->data()[0] = static_cast<unsigned char>(alive.size() + 1);
      bitmap->data()[size - 1] = static_cast<unsigned char>(alive.size() + 1);
      alive.push_back(std::move(bitmap));
    }
    for (size_t k = 0; k < alive.size(); ++k) {
      EXPECT_EQ(alive[k]->data()[0], k + 1);
      EXPECT_EQ(alive[k]->data()[alive[k]->data_size() - 1], k + 1);
    }
    alive.erase(alive.begin() + 1); // freed out of order, then the rest
  }
}

TEST(Bitmap, RecordConstructorRecomputesStaleFields) {
  VYbitmapInfo info = vy_bitmap_info(4, 4, 24);
  info.bytes_per_pixel = 1; // a caller's inconsistent record
  VYbitmap bitmap(info, nullptr);
  EXPECT_EQ(bitmap.bytes_per_pixel(), 3);
  EXPECT_EQ(bitmap.data_size(), 48u);
}

TEST(Bitmap, UnallocatableOrEmptySizesGiveNoDataAndZeroSize) {
  const int cases[][3] = {
      {INT_MAX, INT_MAX, 32}, {-1, 10, 24}, {10, -1, 24}, {0, 10, 24}, {10, 0, 24}, {4, 4, -8}};
  for (const auto &c : cases) {
    VYbitmap bitmap(c[0], c[1], c[2], nullptr);
    EXPECT_EQ(bitmap.data(), nullptr) << c[0] << "x" << c[1] << "x" << c[2];
    EXPECT_EQ(bitmap.width(), 0);
    EXPECT_EQ(bitmap.height(), 0);
    EXPECT_EQ(bitmap.data_size(), 0u);
  }
}

TEST(Promote, NullGivesNullAndA32BitBitmapIsItself) {
  EXPECT_EQ(image_promote_to_32(nullptr), nullptr);
  auto *rgba = new VYbitmap(2, 2, 32, nullptr);
  EXPECT_EQ(image_promote_to_32(rgba), rgba);
  delete rgba;
}

TEST(Promote, RgbGainsAnOpaqueAlphaAndKeepsChannelOrder) {
  auto *rgb = new VYbitmap(2, 1, 24, nullptr);
  const unsigned char pixels[] = {10, 20, 30, 40, 50, 60};
  std::copy(pixels, pixels + 6, rgb->data());
  // The argument is taken over (freed inside); a leak checker sees any slip.
  std::unique_ptr<VYbitmap> promoted(image_promote_to_32(rgb));
  ASSERT_NE(promoted, nullptr);
  EXPECT_EQ(promoted->depth(), 32);
  EXPECT_EQ(promoted->bytes_per_pixel(), 4);
  EXPECT_EQ(promoted->width(), 2);
  EXPECT_EQ(promoted->height(), 1);
  const unsigned char expected[] = {10, 20, 30, 255, 40, 50, 60, 255};
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(promoted->data()[i], expected[i]) << i;
}

TEST(Promote, GreyAndGreyAlphaExpandToColour) {
  auto *grey = new VYbitmap(2, 1, 8, nullptr);
  grey->data()[0] = 7;
  grey->data()[1] = 200;
  std::unique_ptr<VYbitmap> a(image_promote_to_32(grey));
  ASSERT_NE(a, nullptr);
  const unsigned char ea[] = {7, 7, 7, 255, 200, 200, 200, 255};
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(a->data()[i], ea[i]) << i;

  auto *grey_alpha = new VYbitmap(1, 1, 16, nullptr);
  grey_alpha->data()[0] = 90;
  grey_alpha->data()[1] = 30;
  std::unique_ptr<VYbitmap> b(image_promote_to_32(grey_alpha));
  ASSERT_NE(b, nullptr);
  const unsigned char eb[] = {90, 90, 90, 30};
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(b->data()[i], eb[i]) << i;
}

TEST(Promote, AnEmptyBitmapStaysEmpty) {
  std::unique_ptr<VYbitmap> promoted(image_promote_to_32(new VYbitmap(0, 0, 24, nullptr)));
  ASSERT_NE(promoted, nullptr);
  EXPECT_EQ(promoted->bytes_per_pixel(), 4);
  EXPECT_EQ(promoted->data(), nullptr);
  EXPECT_EQ(promoted->data_size(), 0u);
}

} // namespace
