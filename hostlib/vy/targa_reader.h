// The reader's own path for plain Targa files (uncompressed 24- or 32-bit
// true colour, the kind this host and POV-Ray write). Such files are read
// straight into the bitmap at the speed of the disk; every other kind goes
// to the general decoder, which gives the same pixels for these files but
// at a third of the speed.
#pragma once

#include "zalvy.h"

#include <cstdio>

// Whether the 18-byte header at the start of the file is a plain Targa one.
bool vy_plain_targa(const unsigned char header[18]);

// Reads a plain Targa file of `file_size` bytes from its start: top row
// first in the bitmap, red first in each pixel, 3 bytes per pixel for a
// 24-bit file and 4 (alpha as stored) for a 32-bit one. nullptr when the file
// holds fewer pixels than it announces or memory runs out.
VYbitmap *vy_read_plain_targa(FILE *file, long file_size);
