// Texture coordinates and colours of an Assimp mesh's vertices given to the
// corners of a host mesh built from it.
#pragma once

#include "vy/mesh.h"

#include <assimp/mesh.h>

namespace oku {

// How a file's vertex colour becomes a corner's colour: each channel mapped
// by `shown` (none: as it is), then times `tint`, then held to 0..1.
struct CornerTint {
  ZAL_COLOR tint{1, 1, 1};
  double (*shown)(double) = nullptr;
};

// Whether the face is a polygon (three corners or more) whose every index
// names one of the mesh's `vertices`.
bool usable_face(const aiFace &face, unsigned vertices);

// Gives the corners of `out` that were built from `mesh` the mesh's
// texture coordinates (channel 0) and colours (set 0), where it has them.
// Those corners are the last before corner `end`, one per corner of each
// polygon of the mesh (a face of three or more corners, every index naming
// a vertex), in the mesh's order. A vertex whose coordinates or colour are
// not finite numbers leaves its corners without them.
//
// The corners are given from the last to the first, so that the host mesh
// makes room for them once rather than growing as they come.
void set_corner_data(const aiMesh &mesh, VYobject &out, long end, const CornerTint &tint);

} // namespace oku
