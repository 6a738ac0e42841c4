// Pieces shared by the texture files (and their tests and benchmark); the
// rest of the module uses pov_texture.h only.
#pragma once

#include "texture/pov_texture.h"

// A new record with no texts, width and height 1 and nothing converted; null
// when memory runs out.
TextureRecord *texture_record_new();
// Frees the record's texture name, then its file name, then the record.
void texture_record_free(TextureRecord *record);

// The listed record that compares equal to record (constant time), or null.
TextureRecord *texture_list_find(PovModuleState *state, TextureRecord *record);
// The size and modification time of an image file folded into one number;
// for a picture inside a model file ("MODEL#N", which is no file), those of
// the model; 0 when the file cannot be examined.
long long texture_image_stamp(const char *path);
// Appends a record whose file exists to the texture list and its index.
void texture_list_add(PovModuleState *state, TextureRecord *record);

// The size and placement of a converted image; see pov_texture_convert.cpp.
struct TextureLayout {
  int out_width, out_height;
  int depth; // 24, or 32 with a constant alpha
  int reduce_x, reduce_y;
  int cell_x, cell_y, cell_width, cell_height;
  int crop_x, crop_y;
  int mirror_x, mirror_y;
  unsigned char alpha;
};

// Works out the output for a source of width x height pixels; answers 0 when
// the settings give no usable image (an empty axis or a non-finite scale), in
// which case no file may be written.
int texture_layout(const TextureRecord *record, int width, int height, TextureLayout *layout);
// Fills the output bitmap (out_width x out_height, depth bits) from the
// 32-bit source: the box-filtered middle copy, then its repetitions.
void texture_fill(const VYbitmap *source, const TextureLayout &layout, VYbitmap *output);

// 1 / v in single precision; a 0 scale (and one so small that its reciprocal
// would overflow) is written as 0, so no inf or nan reaches the scene.
double texture_reciprocal(float v);

// The image of one texture pass, as written inside its pigment (pass 1,
// image_map) or normal (pass 2, bump_map).
struct ImageBlock {
  int pass;
  const char *file_name;
  float opacity;
  int type, quality;
  int map_type; // 0: none written
  bool srgb;
};
// Writes the block "image_map { ... }" or "bump_map { ... }" on the line.
void pov_write_image_block(FILE *file, const ImageBlock &block);
// Writes after "pigment { " or "normal { " the image (width x height
// pixels) laid on by the texture coordinates of the object: its block with
// the texture's wrap and the scale, turn and shift of the coordinates (see
// pov_uv_image.cpp).
void pov_write_uv_image(FILE *file, _object *object, const ImageBlock &block, int width, int height);
