// Vertex colours of a model's mesh as polygon colours. A part carries one
// colour per polygon, so each polygon takes the mean of its corners'
// colours (tinted by the material's colour), quantised to 16 levels a
// channel: at most 4,096 colours, each an object statement of the saved
// scene.
#include "app/import/import_parts.h"

#include "vy/mesh.h"

#include <cmath>

namespace bf::import {

namespace {

constexpr double kLevels = 15; // steps of a channel: 16 levels

float quantised(double v) {
  return static_cast<float>(std::round(std::fmin(1.0, std::fmax(0.0, v)) * kLevels) / kLevels);
}

} // namespace

bool has_vertex_colours(const ModelFile &model, unsigned mesh_index) {
  const aiMesh *m = model.mesh(mesh_index);
  return m != nullptr && m->mColors[0] != nullptr;
}

void paint_vertex_colours(const ModelFile &model, unsigned mesh_index, VYobject &part) {
  const aiMesh *m = model.mesh(mesh_index);
  if (m == nullptr || m->mColors[0] == nullptr)
    return;
  const ZAL_COLOR tint = polygon_colour(model, mesh_index);
  const bool gltf = is_gltf(model);
  const auto shown = [gltf](double v) { return gltf ? display_value(v) : v; };
  long polygon = 0;
  for (unsigned f = 0; f < m->mNumFaces; ++f) {
    const aiFace &face = m->mFaces[f];
    bool usable = face.mNumIndices >= 3 && face.mIndices != nullptr;
    double sum[3] = {0, 0, 0};
    for (unsigned k = 0; usable && k < face.mNumIndices; ++k) {
      usable = face.mIndices[k] < m->mNumVertices;
      if (!usable)
        break;
      const aiColor4D &c = m->mColors[0][face.mIndices[k]];
      // A colour that is not a number counts as white.
      sum[0] += std::isfinite(c.r) ? c.r : 1, sum[1] += std::isfinite(c.g) ? c.g : 1,
          sum[2] += std::isfinite(c.b) ? c.b : 1;
    }
    if (!usable) // the part left it out too
      continue;
    const double n = face.mNumIndices;
    VYobject_set_polygon_colour(&part, polygon++,
                                {quantised(shown(sum[0] / n) * tint.r), quantised(shown(sum[1] / n) * tint.g),
                                 quantised(shown(sum[2] / n) * tint.b)});
  }
}

} // namespace bf::import
