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
// function of the coordinate, the image itself between the centres of its
// edge pixels and beyond them the image squeezed onto the edge pixel's
// centre: its edge pixels drawn out, also when the image is interpolated
// (POV-Ray's interpolation wraps around the edges, and POV-Ray has no
// clamp of its own). The warps and the picking work on the moved
// coordinates: they come before the transforms in the text.
#include "base/pov_print.h"
#include "texture/pov_texture_internal.h"

#include <algorithm>

namespace {

enum { kRepeat = 0, kMirror = 1, kClamp = 2 };

// Beyond an edge pixel's centre the coordinate is divided by kSqueeze and
// added to that centre: coordinates up to 10^4 away stay within a
// thousandth of a pixel of it for images up to 50000 pixels.
constexpr double kSqueeze = 1e12;

const char *const kAxis[2] = {"x", "y"};

// Where an axis's pixel centres start, from 0 to 1 (half a pixel).
struct Edges {
  double centre[2];
};

// The image with the mirror warps, squeezed onto its low (-1) or high (1)
// edge pixels along each axis whose side is not 0.
void write_leaf(FILE *file, const ImageBlock &block, const int wrap[2], const int side[2], const Edges &e) {
  pov_write_image_block(file, block);
  for (int axis = 0; axis < 2; ++axis)
    if (wrap[axis] == kMirror)
      pov_printf(file, 0, " warp { repeat %s flip %s }", kAxis[axis], kAxis[axis]);
  for (int axis = 0; axis < 2; ++axis) {
    if (side[axis] == 0)
      continue;
    const double at = side[axis] < 0 ? e.centre[axis] : 1 - e.centre[axis];
    const double shift[2] = {axis == 0 ? -at : 0, axis == 1 ? -at : 0};
    const double squeeze[2] = {axis == 0 ? kSqueeze : 1, axis == 1 ? kSqueeze : 1};
    pov_printf(file, 0, " translate <%.9g, %.9g, 0> scale <%g, %g, 1>", shift[0], shift[1], squeeze[0],
               squeeze[1]);
  }
}

// The body from `axis` on: along a clamped axis a pick of three bodies by
// the coordinate (before the first pixel centre, between, after the last),
// nesting the next axis.
void write_region(FILE *file, const ImageBlock &block, const int wrap[2], int side[2], const Edges &e,
                  int axis) {
  if (axis == 2) {
    write_leaf(file, block, wrap, side, e);
    return;
  }
  if (wrap[axis] != kClamp) {
    write_region(file, block, wrap, side, e, axis + 1);
    return;
  }
  const char *c = kAxis[axis];
  pov_printf(file, 0, "function { select(%s - %.9g, 0, select(%s - %.9g, 0.5, 1)) } %s { ", c, e.centre[axis],
             c, 1 - e.centre[axis], block.pass == 1 ? "pigment_map" : "normal_map");
  static const char *const kValue[3] = {"0", "0.5", "1"};
  for (int i = 0; i < 3; ++i) {
    side[axis] = i - 1;
    pov_printf(file, 0, "[%s ", kValue[i]);
    write_region(file, block, wrap, side, e, axis + 1);
    pov_printf(file, 0, "] ");
  }
  side[axis] = 0;
  pov_printf(file, 0, "}");
}

} // namespace

void pov_write_uv_image(FILE *file, _object *object, const ImageBlock &block, int width, int height) {
  int wrap[2] = {kRepeat, kRepeat}, side[2] = {0, 0};
  obj_get_texturewrap(object, wrap);
  const Edges edges{{0.5 / std::max(width, 1), 0.5 / std::max(height, 1)}};
  write_region(file, block, wrap, side, edges, 0);
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
