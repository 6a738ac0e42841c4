// Inside a host mesh: flat arrays, so that a mesh of millions of polygons
// costs a few dozen bytes per polygon and no allocation per polygon.
#pragma once

#include "vy/mesh.h"

#include <cstdint>
#include <vector>

// One corner of a polygon. The record lives in its mesh's corner array, so a
// VYvertex * stays valid for as long as the mesh does (and is not extended).
struct VYvertex {
  const VYobject *mesh;
  int32_t position; // index into the mesh's positions
  int32_t normal;   // index into the mesh's normals, -1 when the corner has none
};

struct VYobject {
  std::vector<float> positions;   // x, y, z per position
  std::vector<float> normals;     // x, y, z per normal
  std::vector<VYvertex> corners;  // the corners of all polygons, polygon after polygon
  std::vector<uint32_t> first;    // per polygon: its first corner
  std::vector<ZAL_COLOR> colours; // per polygon
  // Per corner, grown to the corner set last (a corner beyond holds
  // nothing): u, v pairs with has_uv flags, and colours (red -1: none).
  std::vector<float> uvs;
  std::vector<uint8_t> has_uv;
  std::vector<ZAL_COLOR> corner_colours;
  float pivot[3] = {0, 0, 0};
  // Bounds of all positions, kept up to date as they are added.
  float low[3] = {0, 0, 0};
  float high[3] = {0, 0, 0};
  // Bounds given for a parametric shape, used while the mesh has no polygons.
  bool has_set_bounds = false;
  float set_low[3] = {0, 0, 0};
  float set_high[3] = {0, 0, 0};

  long polygon_count() const { return static_cast<long>(first.size()); }
  long position_count() const { return static_cast<long>(positions.size() / 3); }
  long normal_count() const { return static_cast<long>(normals.size() / 3); }
  // The index of a corner record of this mesh.
  size_t corner_index(const VYvertex *v) const { return static_cast<size_t>(v - corners.data()); }
  // Corners [begin, end) of polygon p, which must be valid.
  size_t corner_begin(long p) const { return first[static_cast<size_t>(p)]; }
  size_t corner_end(long p) const {
    return static_cast<size_t>(p) + 1 < first.size() ? first[static_cast<size_t>(p) + 1] : corners.size();
  }
};
