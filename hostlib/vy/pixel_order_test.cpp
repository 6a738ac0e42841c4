// The red/blue exchange between host bitmaps and Targa files, for every
// pair of pixel sizes and for lengths around the vector widths the compiler
// uses, so that the vector body and the scalar tail are both checked.
#include "pixel_order.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes reference(const Bytes &in, int in_bpp, int out_bpp, size_t n) {
  Bytes out(n * out_bpp);
  for (size_t i = 0; i < n; ++i) {
    const unsigned char *p = &in[i * in_bpp];
    unsigned char *q = &out[i * out_bpp];
    q[0] = p[2];
    q[1] = p[1];
    q[2] = p[0];
    if (out_bpp == 4)
      q[3] = in_bpp == 4 ? p[3] : 255;
  }
  return out;
}

TEST(PixelOrder, SwapsRedAndBlueForEverySizePairAndLength) {
  const unsigned char guard = 0xA5;
  for (int in_bpp : {3, 4})
    for (int out_bpp : {3, 4})
      for (size_t n = 0; n <= 200; n += n < 70 ? 1 : 13) {
        Bytes in(n * in_bpp);
        for (size_t i = 0; i < in.size(); ++i)
          in[i] = static_cast<unsigned char>(i * 37 + 11);
        // One guard pixel past the end must stay untouched.
        Bytes out((n + 1) * out_bpp, guard);
        vy_swap_red_blue(in.data(), in_bpp, out.data(), out_bpp, n);
        const Bytes expected = reference(in, in_bpp, out_bpp, n);
        ASSERT_EQ(Bytes(out.begin(), out.begin() + n * out_bpp), expected)
            << in_bpp << " -> " << out_bpp << " bytes, " << n << " pixels";
        for (int k = 0; k < out_bpp; ++k)
          ASSERT_EQ(out[n * out_bpp + k], guard) << in_bpp << " -> " << out_bpp << ", " << n;
      }
}

} // namespace
