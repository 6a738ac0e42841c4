// Plain loops that the compiler vectorises; the three-byte case needs a byte
// shuffle, which the x86-64 baseline lacks, so it is also built for SSSE3
// and AVX2 and the best one is chosen when the library loads (about three
// times faster on a texture of millions of pixels).
#include "pixel_order.h"

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define VY_PIXEL_CLONES __attribute__((target_clones("avx2", "ssse3", "default")))
#else
#define VY_PIXEL_CLONES
#endif

namespace {

VY_PIXEL_CLONES
void swap3(const unsigned char *__restrict in, unsigned char *__restrict out, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    out[3 * i] = in[3 * i + 2];
    out[3 * i + 1] = in[3 * i + 1];
    out[3 * i + 2] = in[3 * i];
  }
}

VY_PIXEL_CLONES
void swap4(const unsigned char *__restrict in, unsigned char *__restrict out, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    out[4 * i] = in[4 * i + 2];
    out[4 * i + 1] = in[4 * i + 1];
    out[4 * i + 2] = in[4 * i];
    out[4 * i + 3] = in[4 * i + 3];
  }
}

VY_PIXEL_CLONES
void swap4_to_3(const unsigned char *__restrict in, unsigned char *__restrict out, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    out[3 * i] = in[4 * i + 2];
    out[3 * i + 1] = in[4 * i + 1];
    out[3 * i + 2] = in[4 * i];
  }
}

VY_PIXEL_CLONES
void swap3_to_4(const unsigned char *__restrict in, unsigned char *__restrict out, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    out[4 * i] = in[3 * i + 2];
    out[4 * i + 1] = in[3 * i + 1];
    out[4 * i + 2] = in[3 * i];
    out[4 * i + 3] = 255;
  }
}

} // namespace

void vy_swap_red_blue(const unsigned char *in, int in_bpp, unsigned char *out, int out_bpp, size_t n) {
  if (in_bpp == 3)
    out_bpp == 3 ? swap3(in, out, n) : swap3_to_4(in, out, n);
  else
    out_bpp == 3 ? swap4_to_3(in, out, n) : swap4(in, out, n);
}
