// Whether an image file holds what its header announces, checked before the
// decoder runs. stb_image makes up the pixels that a cut-off file lacks, so
// a few kilobytes announcing 16384 x 16384 pixels would otherwise come back
// as a whole picture of a gigabyte.
#pragma once

#include <cstdio>

// False when the file is a binary PNM (P5, P6) or an uncompressed BMP that
// holds fewer pixel bytes than its header announces, or a JPEG file without
// the end marker behind its last scan (cut off inside its pixels). True for
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

// Whether the last image_reader_invoke on this thread failed for want of
// memory (rather than for what the file holds).
bool vy_image_reader_out_of_memory();
