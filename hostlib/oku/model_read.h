// Reading a part or model file through Assimp with every guard: the one
// way that files of other programs reach Assimp, whether a scene names
// them as parts or they are given in place of a scene.
#pragma once

#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <string>

namespace oku {

// Reads the file at `path` as a file of the given type (lower case, no
// dot; its extension chooses the importer when they are the same). Before
// Assimp reads it: a regular file of bounded size whose header counts,
// node graph (part_precheck.h) and archive size hold; while it reads: every
// file it names passes the same check (PartIOSystem); after: the node tree
// and the meshes it places pass the tree check (pointers, indices, no node
// placed twice, at most kMaxPlacedNodes nodes and kMaxPlacedPolygons
// polygons, assimp_mesh.h). Kinds of file that the Assimp library at hand
// reads none of (Irrlicht's) are refused so whatever Assimp makes of them.
// Answers the scene, which the importer owns, or
// null with the reason in plain words in `error`.
const aiScene *read_model(Assimp::Importer &importer, const std::string &path, const std::string &type,
                          std::string &error);

} // namespace oku
