// Scene import: the scene of a model file as a scene file (JSON) whose
// objects refer to the model's meshes.
#pragma once

#include "app/import/model_file.h"
#include "app/import/studio_look.h"
#include "app/scene/json_value.h"

#include <filesystem>
#include <string>

namespace bf {

struct ImportOptions {
  char up = 0;        // 'y' or 'z' to override the file's up axis
  std::string camera; // the camera to view through; "" for the first
  // The picture's width over its height, to which a camera whose file
  // fixes its horizontal angle is fitted.
  double aspect = 4.0 / 3.0;
  StudioLook studio; // the backdrop and floor a model's scene gets
};

// Deepest group nesting an import writes; deeper nodes are placed in the
// group at this depth (their placement unchanged).
constexpr int kMaxImportDepth = 128;
// Farthest from the origin that an imported model's points may lie (its
// camera stands a few times its size away, within the range of a float).
constexpr double kMaxModelCoordinate = 1e30;
// Most objects one import writes.
constexpr long kMaxImportObjects = 1'000'000;

// The scene document of the model. Paths are written relative to
// `scene_directory` (absolute when they cannot be). Throws SceneError
// naming the model file when it holds nothing to draw or the options
// cannot be met; warnings go to standard error.
nlohmann::ordered_json import_model(const ModelFile &model, const ImportOptions &options,
                                    const std::filesystem::path &scene_directory);

// The text of a scene document as `import` writes it.
std::string scene_text(const nlohmann::ordered_json &document);

// Loads a scene file, or imports a model file (any name that does not end
// in ".json") and loads its scene as if it had been written to a scene
// file beside the model and read back; the model is read once.
void load_scene_input(const std::string &path, const ImportOptions &options = {});

} // namespace bf
