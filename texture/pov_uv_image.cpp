// An image laid on by texture coordinates in the 3.7 text. The texture's
// scale, angle and position move the corner's (u, v) before the lookup:
// (u, v) times the scale, turned counter-clockwise by the angle, plus the
// position. POV-Ray transforms a pattern the other way round, so the
// pigment gets the inverse: translate by minus the position, rotate by
// minus the angle, scale by the reciprocal of the scale. In uv_mapping the
// image covers the unit square with its bottom row at v = 0, as the
// texture coordinates have it.
//
// Beyond the unit square the image repeats (POV-Ray's own way); "mirror"
// adds a repeat warp that flips every other copy; "clamp" picks, by a
// function of the coordinate, the image itself within 0..1 and beyond each
// edge the image squeezed onto its edge pixels (an exact clamp; POV-Ray has
// no clamp of its own). The warps and the picking work on the moved
// coordinates: they come before the transforms in the text.
#include "base/pov_print.h"
#include "texture/pov_texture_internal.h"

#include <cmath>

namespace {

enum { kRepeat = 0, kMirror = 1, kClamp = 2 };

// The squeeze that keeps the edge pixels: beyond an edge the coordinate is
// divided by kSqueeze and held kEdgeInset inside the edge, so coordinates
// up to 10^4 away land within the edge pixel of images up to 50000 pixels.
constexpr double kSqueeze = 1e9;
constexpr double kEdgeInset = 2e-5;

const char *const kAxis[2] = {"x", "y"};

// The image with the mirror warps, squeezed onto its low (-1) or high (1)
// edge along each axis whose side is not 0.
void write_leaf(FILE *file, const ImageBlock &block, const int wrap[2], const int side[2]) {
  pov_write_image_block(file, block);
  for (int axis = 0; axis < 2; ++axis)
    if (wrap[axis] == kMirror)
      pov_printf(file, 0, " warp { repeat %s flip %s }", kAxis[axis], kAxis[axis]);
  for (int axis = 0; axis < 2; ++axis) {
    if (side[axis] == 0)
      continue;
    const double at = side[axis] < 0 ? kEdgeInset : 1 - kEdgeInset;
    const double shift[2] = {axis == 0 ? -at : 0, axis == 1 ? -at : 0};
    const double squeeze[2] = {axis == 0 ? kSqueeze : 1, axis == 1 ? kSqueeze : 1};
    pov_printf(file, 0, " translate <%g, %g, 0> scale <%g, %g, 1>", shift[0], shift[1], squeeze[0],
               squeeze[1]);
  }
}

// The body from `axis` on: along a clamped axis a pick of three bodies by
// the coordinate (below 0, within, above 1), nesting the next axis.
void write_region(FILE *file, const ImageBlock &block, const int wrap[2], int side[2], int axis) {
  if (axis == 2) {
    write_leaf(file, block, wrap, side);
    return;
  }
  if (wrap[axis] != kClamp) {
    write_region(file, block, wrap, side, axis + 1);
    return;
  }
  const char *c = kAxis[axis];
  pov_printf(file, 0, "function { select(%s, 0, select(%s - 1, 0.5, 1)) } %s { ", c, c,
             block.pass == 1 ? "pigment_map" : "normal_map");
  static const char *const kValue[3] = {"0", "0.5", "1"};
  for (int i = 0; i < 3; ++i) {
    side[axis] = i - 1;
    pov_printf(file, 0, "[%s ", kValue[i]);
    write_region(file, block, wrap, side, axis + 1);
    pov_printf(file, 0, "] ");
  }
  side[axis] = 0;
  pov_printf(file, 0, "}");
}

} // namespace

void pov_write_uv_image(FILE *file, _object *object, const ImageBlock &block) {
  int wrap[2] = {kRepeat, kRepeat}, side[2] = {0, 0};
  obj_get_texturewrap(object, wrap);
  write_region(file, block, wrap, side, 0);
  ZAL_VECT2 scale{1, 1}, position{0, 0};
  obj_get_texturescale(object, scale);
  obj_get_texturepos(object, position);
  const float angle = obj_get_textureangle(object);
  if (position.x != 0.0f || position.y != 0.0f)
    pov_printf(file, 0, " translate <%g, %g, 0>", 0.0 - position.x, 0.0 - position.y);
  if (angle != 0.0f)
    pov_printf(file, 0, " rotate <0, 0, %g>", 0.0 - angle);
  if (scale.x != 1.0f || scale.y != 1.0f)
    pov_printf(file, 0, " scale <%g, %g, 1>", texture_reciprocal(scale.x), texture_reciprocal(scale.y));
}
