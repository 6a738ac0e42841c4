// Channel order between host bitmaps (red first) and Targa files (blue
// first). The same swap serves both directions.
#pragma once

#include <cstddef>

// Copies n pixels from `in` (in_bpp bytes each, 3 or 4) to `out` (out_bpp
// bytes each, 3 or 4) with the first and third bytes exchanged. A missing
// fourth byte becomes 255 (opaque); a surplus one is dropped. The two
// ranges must not overlap.
void vy_swap_red_blue(const unsigned char *in, int in_bpp, unsigned char *out, int out_bpp, size_t n);
