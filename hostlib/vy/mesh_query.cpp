// Reading host meshes: the polygon cursor, corners and the mesh's placement
// values. Every call is safe on a null mesh and on indices out of range.
#include "mesh_store.h"

namespace {

bool valid_polygon(const VYpolygon &polygon) {
  return polygon.mesh != nullptr && polygon.index >= 0 && polygon.index < polygon.mesh->polygon_count();
}

void copy3(const float *from, float out[3]) {
  out[0] = from[0];
  out[1] = from[1];
  out[2] = from[2];
}

} // namespace

void VYpolygon_initpoly(VYpolygon &cursor, VYobject *mesh) {
  cursor.mesh = mesh;
  cursor.index = -1;
}

// A cursor that runs off the end stands past the last polygon, so further
// calls keep answering 0 and the other calls see no polygon.
unsigned char VYpolygon_nextpoly(const VYpolygon &from, VYpolygon &to) {
  VYobject *mesh = from.mesh;
  const long count = VYobject_polygon_count(mesh);
  const long next = from.index < 0 ? 0 : (from.index < count ? from.index + 1 : count);
  to.mesh = mesh;
  to.index = next < count ? next : count;
  return next < count ? 1 : 0;
}

int VYpolygon_nvertices(const VYpolygon &polygon) {
  if (!valid_polygon(polygon))
    return 0;
  const VYobject &mesh = *polygon.mesh;
  return static_cast<int>(mesh.corner_end(polygon.index) - mesh.corner_begin(polygon.index));
}

VYvertex *VYpolygon_getvertex(const VYpolygon &polygon, int index) {
  if (index < 0 || index >= VYpolygon_nvertices(polygon))
    return nullptr;
  VYobject &mesh = *polygon.mesh;
  return &mesh.corners[mesh.corner_begin(polygon.index) + static_cast<size_t>(index)];
}

void VYpolygon_getcolor(const VYpolygon &polygon, float &r, float &g, float &b) {
  const ZAL_COLOR colour =
      valid_polygon(polygon) ? polygon.mesh->colours[static_cast<size_t>(polygon.index)] : ZAL_COLOR{0, 0, 0};
  r = colour.r;
  g = colour.g;
  b = colour.b;
}

// The mesh has one frame, its own, so every frame answers the same values.
void VYvertex_getposition(VYvertex *vertex, float out[3], VYframe) {
  if (out == nullptr)
    return;
  if (vertex == nullptr || vertex->position < 0 || vertex->position >= vertex->mesh->position_count()) {
    out[0] = out[1] = out[2] = 0;
    return;
  }
  copy3(&vertex->mesh->positions[static_cast<size_t>(vertex->position) * 3], out);
}

unsigned char VYvertex_getnormal(VYvertex *vertex, float out[3], VYframe) {
  if (vertex == nullptr || out == nullptr || vertex->normal < 0 ||
      vertex->normal >= vertex->mesh->normal_count())
    return 0;
  copy3(&vertex->mesh->normals[static_cast<size_t>(vertex->normal) * 3], out);
  return 1;
}

unsigned char VYvertex_getuv(VYvertex *vertex, float out[2]) {
  if (vertex == nullptr || out == nullptr)
    return 0;
  const VYobject &mesh = *vertex->mesh;
  const size_t c = mesh.corner_index(vertex);
  if (c >= mesh.has_uv.size() || mesh.has_uv[c] == 0)
    return 0;
  out[0] = mesh.uvs[2 * c];
  out[1] = mesh.uvs[2 * c + 1];
  return 1;
}

unsigned char VYvertex_getcolor(VYvertex *vertex, float &r, float &g, float &b) {
  if (vertex == nullptr)
    return 0;
  const VYobject &mesh = *vertex->mesh;
  const size_t c = mesh.corner_index(vertex);
  if (c >= mesh.corner_colours.size() || mesh.corner_colours[c].r == -1)
    return 0;
  r = mesh.corner_colours[c].r;
  g = mesh.corner_colours[c].g;
  b = mesh.corner_colours[c].b;
  return 1;
}

int VYpolygon_getcorners(const VYpolygon &polygon, VYcorner *out, int room) {
  const int n = VYpolygon_nvertices(polygon);
  if (n == 0 || out == nullptr)
    return n;
  const VYobject &mesh = *polygon.mesh;
  const size_t begin = mesh.corner_begin(polygon.index);
  for (int i = 0; i < n && i < room; ++i) {
    const size_t c = begin + static_cast<size_t>(i);
    VYcorner &corner = out[i];
    corner.position = mesh.corners[c].position;
    corner.normal = mesh.corners[c].normal;
    corner.has_uv = c < mesh.has_uv.size() && mesh.has_uv[c] != 0;
    corner.uv[0] = corner.has_uv ? mesh.uvs[2 * c] : 0;
    corner.uv[1] = corner.has_uv ? mesh.uvs[2 * c + 1] : 0;
    const ZAL_COLOR colour = c < mesh.corner_colours.size() ? mesh.corner_colours[c] : ZAL_COLOR{-1, 0, 0};
    corner.has_colour = colour.r != -1;
    corner.colour[0] = colour.r;
    corner.colour[1] = colour.g;
    corner.colour[2] = colour.b;
  }
  return n;
}

const float *VYobject_getpositions(VYobject *mesh, long &count, VYframe) {
  count = mesh != nullptr ? mesh->position_count() : 0;
  return count > 0 ? mesh->positions.data() : nullptr;
}

const float *VYobject_getnormals(VYobject *mesh, long &count, VYframe) {
  count = mesh != nullptr ? mesh->normal_count() : 0;
  return count > 0 ? mesh->normals.data() : nullptr;
}

void VYobject_getpivot(VYobject *mesh, float out[3], VYframe) {
  if (out == nullptr)
    return;
  static const float zero[3] = {0, 0, 0};
  copy3(mesh != nullptr ? mesh->pivot : zero, out);
}

// A mesh with polygons measures its positions; a parametric shape (no
// polygons) its given bounds; a mesh with neither, its positions if any.
void VYobject_getextents(VYobject *mesh, float out[6]) {
  if (out == nullptr)
    return;
  for (int k = 0; k < 6; ++k)
    out[k] = 0;
  if (mesh == nullptr)
    return;
  const bool use_set = mesh->has_set_bounds && mesh->polygon_count() == 0;
  if (!use_set && mesh->position_count() == 0)
    return;
  const float *low = use_set ? mesh->set_low : mesh->low;
  const float *high = use_set ? mesh->set_high : mesh->high;
  for (int k = 0; k < 3; ++k) {
    out[k] = high[k] - low[k];
    out[3 + k] = (low[k] + high[k]) * 0.5f;
  }
}

// A fan triangle of some polygon with a non-zero cross product, worked out
// in double as the module's writer does (before it rounds the positions to
// their printed digits, which can only lose triangles).
bool VYobject_has_area(const VYobject *mesh) {
  if (mesh == nullptr)
    return false;
  const auto at = [mesh](size_t corner, int axis) {
    return static_cast<double>(
        mesh->positions[3 * static_cast<size_t>(mesh->corners[corner].position) + axis]);
  };
  for (long p = 0; p < mesh->polygon_count(); ++p) {
    const size_t begin = mesh->corner_begin(p), end = mesh->corner_end(p);
    for (size_t k = begin + 2; k < end; ++k) {
      double u[3], v[3];
      for (int i = 0; i < 3; ++i) {
        u[i] = at(begin, i) - at(k - 1, i);
        v[i] = at(k, i) - at(k - 1, i);
      }
      const double x = u[1] * v[2] - u[2] * v[1], y = u[2] * v[0] - u[0] * v[2],
                   z = u[0] * v[1] - u[1] * v[0];
      if (x != 0 || y != 0 || z != 0)
        return true;
    }
  }
  return false;
}
