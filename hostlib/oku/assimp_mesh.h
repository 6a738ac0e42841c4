// Reading a part file with Assimp into a host mesh.
#pragma once

#include "vy/mesh.h"

#include <string>

namespace oku {

// Loads the part file at `path` as a file of the given part type (lower
// case, e.g. "obj"), whatever its own extension. Answers a new mesh, or
// null with a message in `error`.
//
// The mesh keeps the file's polygons as they are: no triangulation, no
// generated normals (a corner whose normal the file does not give, or gives
// as a zero or non-finite vector, has none), points and lines left out.
// A polygon's colour is its material's diffuse colour; white when the
// material has none or is a stand-in Assimp made up for a file without
// materials. The meshes of the file are placed by its node hierarchy, as
// the file's author sees the model; formats without nodes (OBJ, STL, PLY,
// OFF) have identity transforms, and their numbers pass through unchanged.
//
// The file is read through read_model (model_read.h), with every guard
// that a model file given in place of a scene gets too. Pointers, counts
// and indices that Assimp hands back are checked before use. A file whose
// nodes place more than kMaxPlacedPolygons polygons in all, or more than
// kMaxPlacedNodes nodes (node_graph.h), is refused.
constexpr long long kMaxPlacedPolygons = 50000000;
VYobject *load_part_mesh(const std::string &path, const std::string &type, std::string &error);

// True when Assimp reads files of the part type (lower case, no dot).
bool part_type_supported(const std::string &type);

} // namespace oku
