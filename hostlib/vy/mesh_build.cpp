// Building host meshes: the part loaders, inline meshes and tests fill a
// mesh through these calls before the module reads it.
#include "mesh_store.h"

#include <algorithm>
#include <limits>
#include <new>

namespace {

constexpr long kMaxIndex = std::numeric_limits<int32_t>::max();

// Appends three floats; the index of the new triple, or -1 when the table is
// full or memory ran out (the mesh is then unchanged).
int add_triple(std::vector<float> &table, float x, float y, float z) {
  const long index = static_cast<long>(table.size() / 3);
  if (index >= kMaxIndex)
    return -1;
  try {
    table.insert(table.end(), {x, y, z});
  } catch (const std::bad_alloc &) {
    return -1;
  }
  return static_cast<int>(index);
}

} // namespace

VYobject *VYobject_create() { return new (std::nothrow) VYobject(); }

void VYobject_destroy(VYobject *mesh) { delete mesh; }

int VYobject_add_position(VYobject *mesh, float x, float y, float z) {
  if (mesh == nullptr)
    return -1;
  const int index = add_triple(mesh->positions, x, y, z);
  if (index < 0)
    return -1;
  const float p[3] = {x, y, z};
  for (int k = 0; k < 3; ++k) {
    mesh->low[k] = index == 0 ? p[k] : std::min(mesh->low[k], p[k]);
    mesh->high[k] = index == 0 ? p[k] : std::max(mesh->high[k], p[k]);
  }
  return index;
}

int VYobject_add_normal(VYobject *mesh, float x, float y, float z) {
  return mesh != nullptr ? add_triple(mesh->normals, x, y, z) : -1;
}

void VYobject_begin_polygon(VYobject *mesh, ZAL_COLOR color) {
  if (mesh == nullptr || mesh->corners.size() >= std::numeric_limits<uint32_t>::max())
    return;
  try {
    mesh->first.push_back(static_cast<uint32_t>(mesh->corners.size()));
  } catch (const std::bad_alloc &) {
    return;
  }
  try {
    mesh->colours.push_back(color);
  } catch (const std::bad_alloc &) {
    mesh->first.pop_back(); // the two tables keep one entry per polygon
  }
}

void VYobject_set_polygon_colour(VYobject *mesh, long polygon, ZAL_COLOR color) {
  if (mesh != nullptr && polygon >= 0 && polygon < mesh->polygon_count())
    mesh->colours[static_cast<size_t>(polygon)] = color;
}

void VYobject_set_corner_uv(VYobject *mesh, long corner, float u, float v) {
  if (mesh == nullptr || corner < 0 || static_cast<size_t>(corner) >= mesh->corners.size())
    return;
  const auto c = static_cast<size_t>(corner);
  try {
    if (mesh->has_uv.size() <= c) {
      mesh->uvs.resize(2 * (c + 1), 0.0f);
      mesh->has_uv.resize(c + 1, 0);
    }
  } catch (const std::bad_alloc &) {
    return;
  }
  mesh->uvs[2 * c] = u;
  mesh->uvs[2 * c + 1] = v;
  mesh->has_uv[c] = 1;
}

void VYobject_set_corner_colour(VYobject *mesh, long corner, ZAL_COLOR color) {
  if (mesh == nullptr || corner < 0 || static_cast<size_t>(corner) >= mesh->corners.size())
    return;
  const auto c = static_cast<size_t>(corner);
  try {
    if (mesh->corner_colours.size() <= c)
      mesh->corner_colours.resize(c + 1, ZAL_COLOR{-1, 0, 0});
  } catch (const std::bad_alloc &) {
    return;
  }
  mesh->corner_colours[c] = color;
}

// Indices are kept as given; the readers check them, so a corner that names
// a position added later (or never) is harmless.
void VYobject_add_corner(VYobject *mesh, int position, int normal) {
  if (mesh == nullptr || mesh->first.empty() || mesh->corners.size() >= std::numeric_limits<uint32_t>::max())
    return;
  try {
    mesh->corners.push_back(VYvertex{mesh, position, normal < 0 ? -1 : normal});
  } catch (const std::bad_alloc &) {
  }
}

void VYobject_set_pivot(VYobject *mesh, float x, float y, float z) {
  if (mesh == nullptr)
    return;
  mesh->pivot[0] = x;
  mesh->pivot[1] = y;
  mesh->pivot[2] = z;
}

void VYobject_set_bounds(VYobject *mesh, const float min[3], const float max[3]) {
  if (mesh == nullptr || min == nullptr || max == nullptr)
    return;
  for (int k = 0; k < 3; ++k) {
    mesh->set_low[k] = std::min(min[k], max[k]);
    mesh->set_high[k] = std::max(min[k], max[k]);
  }
  mesh->has_set_bounds = true;
}

long VYobject_polygon_count(const VYobject *mesh) { return mesh != nullptr ? mesh->polygon_count() : 0; }

long VYobject_corner_count(const VYobject *mesh) {
  return mesh != nullptr ? static_cast<long>(mesh->corners.size()) : 0;
}
