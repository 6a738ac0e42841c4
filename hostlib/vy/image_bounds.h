// Whether an image file holds what its header announces, checked before the
// decoder runs. stb_image makes up the pixels that a cut-off file lacks, so
// a few kilobytes announcing 16384 x 16384 pixels would otherwise come back
// as a whole picture of a gigabyte.
#pragma once

#include "zalvy.h"

#include <cstdio>
#include <string>

// False when the file is a binary PNM (P5, P6) or an uncompressed BMP that
// holds fewer pixel bytes than its header announces, a JPEG file without
// the end marker behind its last scan (cut off inside its pixels) or a PNG
// file whose chunks stop before its end chunk. True for
// every other file; Targa files are checked on their own. Leaves the file
// at its start.
bool vy_image_holds_its_pixels(FILE *file, long file_size);

// The header of a binary PNM file (P5 grey, P6 colour), read as stb_image
// reads it; false for any other file or an unusable header.
struct PnmHeader {
  int width, height, channels, max_value;
  long start; // where the pixels start
};
bool vy_read_pnm_header(FILE *file, PnmHeader &header);

// Whether the picture at `path` passes the reader's checks that come before
// any pixel is decoded (the file, its header, the pixel budget, a cut-off
// file, memory for its pixels), without decoding it; when not,
// vy_image_reader_failure() says why.
bool vy_image_readable(const char *path);

// Why the last read on this thread gave no bitmap: "out of memory", a
// picture beyond the pixel budget (its size and the budget), a file that is
// not a regular one or too large, or "not a picture that can be read ...".
std::string vy_image_reader_failure();

// The picture in `size` bytes of memory (an image embedded in a model
// file), through the same checks and budget as a file; null when refused.
VYbitmap *vy_read_image_memory(const void *bytes, size_t size);
