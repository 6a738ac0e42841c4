// Scene files (JSON) into the emulated host's scene database.
#pragma once

#include "app/scene/json_value.h"

#include <map>
#include <memory>
#include <string>

namespace bf {

class ModelFile;
// Model files already read, by absolute path: a scene that refers to their
// meshes takes them from here instead of reading the files again.
using ModelCache = std::map<std::string, std::shared_ptr<ModelFile>>;

// Deepest tree of nodes accepted: the root's children are level 1.
constexpr int kMaxTreeDepth = 256;

// Largest scene file read: a scene names its big meshes in model files.
constexpr long long kMaxSceneFileBytes = 256LL << 20;

// Empties the scene database and fills it from the scene file. Relative
// paths in the file are taken relative to the file's directory and stored
// absolute. A scene file that is not a regular file of at most
// kMaxSceneFileBytes is refused before it is read. Throws SceneError with a message naming the file and, for
// a bad value, its JSON pointer; the database is then left empty.
void load_scene_file(const std::string &path);
// The same for scene text that comes from `path`.
void load_scene_text(const std::string &text, const std::string &path, const ModelCache *models = nullptr);

} // namespace bf
