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

// The one loop, written out for each pair of pixel sizes by the wrappers
// below so that each gets its own vector code.
template <int In, int Out>
inline __attribute__((always_inline)) void swap_loop(const unsigned char *__restrict in,
                                                     unsigned char *__restrict out, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    out[Out * i] = in[In * i + 2];
    out[Out * i + 1] = in[In * i + 1];
    out[Out * i + 2] = in[In * i];
    if (Out == 4)
      out[Out * i + 3] = In == 4 ? in[In * i + 3] : 255;
  }
}

VY_PIXEL_CLONES void swap3(const unsigned char *in, unsigned char *out, size_t n) {
  swap_loop<3, 3>(in, out, n);
}
VY_PIXEL_CLONES void swap4(const unsigned char *in, unsigned char *out, size_t n) {
  swap_loop<4, 4>(in, out, n);
}
VY_PIXEL_CLONES void swap4_to_3(const unsigned char *in, unsigned char *out, size_t n) {
  swap_loop<4, 3>(in, out, n);
}
VY_PIXEL_CLONES void swap3_to_4(const unsigned char *in, unsigned char *out, size_t n) {
  swap_loop<3, 4>(in, out, n);
}

} // namespace

void vy_swap_red_blue(const unsigned char *in, int in_bpp, unsigned char *out, int out_bpp, size_t n) {
  if (in_bpp == 3)
    out_bpp == 3 ? swap3(in, out, n) : swap3_to_4(in, out, n);
  else
    out_bpp == 3 ? swap4_to_3(in, out, n) : swap4(in, out, n);
}
