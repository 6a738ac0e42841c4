// The host's "Truevision Targa" still writer: what its files look like.
#pragma once

#include "zalvy.h"

// The one format name still_writer_get_factory answers to.
constexpr char VY_TARGA_FORMAT_NAME[] = "Truevision Targa";

// VYimageWriterInfo::flags bit: append the Targa 2.0 footer
// ("TRUEVISION-XFILE."), which marks the file as a new-style Targa file.
// The texture converter passes 2, so its files carry the footer.
constexpr int VY_TARGA_FLAG_FOOTER = 2;

// Files are uncompressed true-colour (image type 2): 24 bits as blue, green,
// red; 32 bits as blue, green, red, alpha with 8 alpha bits declared in the
// image descriptor. Rows are stored bottom row first, the format's default
// origin (descriptor bits 4 and 5 clear).
constexpr int VY_TARGA_HEADER_SIZE = 18;
constexpr int VY_TARGA_FOOTER_SIZE = 26;
constexpr int VY_TARGA_MAX_SIDE = 65535;

// How many Targa files this process was asked to write and did not (no
// writer could be made, a write or the final rename failed). A caller that
// compares it before and after a save learns that the save lost a texture.
unsigned vy_targa_failed_writes();
