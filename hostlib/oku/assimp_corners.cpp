// Corner texture coordinates and colours from an Assimp mesh.
#include "oku/assimp_corners.h"

#include <cmath>

namespace oku {

bool usable_face(const aiFace &face, unsigned vertices) {
  if (face.mNumIndices < 3 || face.mIndices == nullptr)
    return false;
  for (unsigned k = 0; k < face.mNumIndices; ++k)
    if (face.mIndices[k] >= vertices)
      return false;
  return true;
}

namespace {

float channel(double v, double tint, double (*shown)(double)) {
  const double c = (shown != nullptr ? shown(v) : v) * tint;
  return static_cast<float>(std::fmin(1.0, std::fmax(0.0, c)));
}

} // namespace

void set_corner_data(const aiMesh &mesh, VYobject &out, long end, const CornerTint &tint) {
  const aiVector3D *uvs = mesh.mTextureCoords[0];
  const aiColor4D *colours = mesh.mColors[0];
  if ((uvs == nullptr && colours == nullptr) || mesh.mFaces == nullptr)
    return;
  long corner = end;
  for (unsigned f = mesh.mNumFaces; f-- > 0 && corner > 0;) {
    const aiFace &face = mesh.mFaces[f];
    if (!usable_face(face, mesh.mNumVertices))
      continue;
    for (unsigned k = face.mNumIndices; k-- > 0 && corner > 0;) {
      const unsigned v = face.mIndices[k];
      --corner;
      if (uvs != nullptr && std::isfinite(uvs[v].x) && std::isfinite(uvs[v].y))
        VYobject_set_corner_uv(&out, corner, uvs[v].x, uvs[v].y);
      if (colours == nullptr)
        continue;
      const aiColor4D &c = colours[v];
      if (std::isfinite(c.r) && std::isfinite(c.g) && std::isfinite(c.b))
        VYobject_set_corner_colour(&out, corner,
                                   {channel(c.r, tint.tint.r, tint.shown),
                                    channel(c.g, tint.tint.g, tint.shown),
                                    channel(c.b, tint.tint.b, tint.shown)});
    }
  }
}

} // namespace oku
