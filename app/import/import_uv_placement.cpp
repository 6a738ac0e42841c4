// How a colour image laid on by texture coordinates sits: the model file's
// wrap modes, texture transform and magnifying filter as the texture's
// "wrap", "scale", "angle", "position" and "quality" (what they mean with
// "mapping": "uv" is in docs/scene-format.md: the coordinates are scaled,
// turned counter-clockwise, then shifted, v up).
#include "app/import/import_parts.h"
#include "app/scene/scene_schema.h"

#include <assimp/GltfMaterial.h>
#include <assimp/material.h>

#include <cmath>

namespace bf::import {

namespace {

namespace texture_key = scene_keys::texture;

constexpr double kPi = 3.14159265358979323846;

// Rounding left over from single precision.
double clean(double v) { return std::fabs(v) < 1e-6 ? 0 : v; }

struct Placement {
  double scale[2] = {1, 1};
  double angle = 0; // radians, counter-clockwise
  double position[2] = {0, 0};
};

// Assimp's glTF 2 reader keeps KHR_texture_transform's scale, its rotation
// negated, and folds into the translation the change to Assimp's texture
// coordinates (v up) and to its turn about the image centre. Undone here,
// this gives the extension's own offset, rotation and scale; the extension
// (in glTF's coordinates, v down) scales, then turns clockwise by the
// rotation as it looks with v down, then adds the offset; with v up the
// turn is counter-clockwise and the offset is seen from the top edge.
Placement from_gltf(const aiUVTransform &t) {
  const double sx = t.mScaling.x, sy = t.mScaling.y, turn = -t.mRotation;
  const double c = std::cos(turn), s = std::sin(turn);
  const double offset_u = t.mTranslation.x - 0.5 * sx * (1 - c + s);
  const double offset_v = 0.5 * sy * (s + c - 1) + 1 - sy - t.mTranslation.y;
  Placement p;
  p.scale[0] = sx, p.scale[1] = sy;
  p.angle = turn;
  p.position[0] = offset_u + sy * s;
  p.position[1] = 1 - offset_v - sy * c;
  return p;
}

// The other readers' transform as Assimp's own texture-coordinate step
// applies it: shift, then turn about the image centre, then scale about
// it. With an uneven scale the turn has no form of scale-then-turn; it is
// left out, with a warning.
Placement from_assimp(const aiUVTransform &t, const std::string &where) {
  Placement p;
  p.scale[0] = t.mScaling.x, p.scale[1] = t.mScaling.y;
  p.angle = t.mRotation;
  if (p.angle != 0 && p.scale[0] != p.scale[1]) {
    report_warning(where + ": a texture is both turned and scaled unevenly; its turn is left out");
    p.angle = 0;
  }
  const double c = std::cos(p.angle), s = std::sin(p.angle);
  const double du = t.mTranslation.x - 0.5, dv = t.mTranslation.y - 0.5;
  p.position[0] = 0.5 + p.scale[0] * (c * du - s * dv);
  p.position[1] = 0.5 + p.scale[1] * (s * du + c * dv);
  return p;
}

// Both angles in one turn: a scale negative on both axes is half a turn.
void fold_negative_scale(Placement &p) {
  if (p.scale[0] < 0 && p.scale[1] < 0)
    p.scale[0] = -p.scale[0], p.scale[1] = -p.scale[1], p.angle += kPi;
}

void add_transform(const aiMaterial &m, aiTextureType type, bool gltf, const std::string &where,
                   ojson &keys) {
  aiUVTransform t;
  if (m.Get(AI_MATKEY_UVTRANSFORM(type, 0), t) != AI_SUCCESS || !std::isfinite(t.mRotation) ||
      !std::isfinite(t.mScaling.x) || !std::isfinite(t.mScaling.y) || !std::isfinite(t.mTranslation.x) ||
      !std::isfinite(t.mTranslation.y))
    return;
  Placement p = gltf ? from_gltf(t) : from_assimp(t, where);
  fold_negative_scale(p);
  const double degrees = clean(std::remainder(p.angle * 180 / kPi, 360));
  if (clean(p.scale[0] - 1) != 0 || clean(p.scale[1] - 1) != 0)
    keys[texture_key::scale.name] = ojson::array({number(p.scale[0]), number(p.scale[1])});
  if (clean(p.position[0]) != 0 || clean(p.position[1]) != 0)
    keys[texture_key::position.name] =
        ojson::array({number(clean(p.position[0])), number(clean(p.position[1]))});
  if (degrees != 0)
    keys[texture_key::angle.name] = number(degrees);
}

// Decal (nothing beyond the image) has no form along one axis: the image
// is shown once, as "type" 1 does.
void add_wrap(const aiMaterial &m, aiTextureType type, ojson &keys) {
  int mode[2] = {aiTextureMapMode_Wrap, aiTextureMapMode_Wrap};
  m.Get(AI_MATKEY_MAPPINGMODE_U(type, 0), mode[0]);
  m.Get(AI_MATKEY_MAPPINGMODE_V(type, 0), mode[1]);
  const char *name[2] = {"repeat", "repeat"};
  bool wrapped = false;
  for (int axis = 0; axis < 2; ++axis) {
    if (mode[axis] == aiTextureMapMode_Mirror)
      name[axis] = "mirror", wrapped = true;
    else if (mode[axis] == aiTextureMapMode_Clamp)
      name[axis] = "clamp", wrapped = true;
    else if (mode[axis] == aiTextureMapMode_Decal)
      keys[texture_key::type.name] = 1;
  }
  if (wrapped)
    keys[texture_key::wrap.name] = ojson::array({name[0], name[1]});
}

// A glTF sampler that magnifies linearly: the image interpolated between
// its pixels, as "quality" 1 does.
void add_filter(const aiMaterial &m, aiTextureType type, ojson &keys) {
  constexpr int kLinear = 9729;
  int filter = 0;
  if (m.Get(AI_MATKEY_GLTF_MAPPINGFILTER_MAG(type, 0), filter) == AI_SUCCESS && filter == kLinear)
    keys[texture_key::quality.name] = 1;
}

} // namespace

void add_uv_placement(const aiMaterial &m, aiTextureType type, bool gltf, const std::string &where,
                      ojson &keys) {
  add_wrap(m, type, keys);
  if (gltf)
    add_filter(m, type, keys);
  add_transform(m, type, gltf, where, keys);
}

} // namespace bf::import
