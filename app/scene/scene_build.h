// The parts of the scene loader: nodes and their geometry entries.
#pragma once

#include "app/scene/json_value.h"
#include "app/scene/scene_loader.h"
#include "oku/scene_db.h"

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace bf {

class LoadProgress;

struct MeshDeleter {
  void operator()(VYobject *mesh) const;
};
using MeshPtr = std::unique_ptr<VYobject, MeshDeleter>;

// The node type a standby camera that is not the view point takes: one
// that the module writes nothing for.
constexpr OBJECT_TYPE kStandbyCamera = 0;

// What the loader keeps while it reads one scene file.
struct LoadContext {
  std::filesystem::path directory; // the scene file's, absolute
  // Meshes of the part files read so far, by type and absolute path: a part
  // used by many objects is read once, and objects with the same pivot share
  // one mesh (the pivot lives in the mesh), owned together with the
  // geometries that use it.
  struct SharedPart {
    ZAL_VECT3 pivot;
    std::shared_ptr<VYobject> mesh;
  };
  std::map<std::pair<std::string, std::string>, std::vector<SharedPart>> parts;
  // Texture images checked so far (absolute paths): each is read once.
  std::set<std::string> checked_images;
  // Model files read so far (absolute paths), the meshes built from them
  // (by file, mesh, shape and pivot) and how many polygons those hold.
  ModelCache models;
  std::map<std::string, std::shared_ptr<VYobject>> model_parts;
  // Parts still to build per model file (absolute path) and mesh: a mesh
  // whose last part is built is freed.
  std::map<std::pair<std::string, int>, long> model_uses;
  long long model_polygons = 0;
  // Parts of model files to build in all, built so far, and the terminal
  // progress of building them (made with the first).
  long model_parts_total = 0, model_parts_built = 0;
  std::shared_ptr<LoadProgress> model_progress;
  // Cameras marked "standby": each writes nothing unless it is the view
  // point.
  std::vector<_object *> standby;

  // A path of the scene file made absolute.
  std::string absolute(const std::string &path) const;
};

// Reads the node at `ref` (its keys and, recursively, its children) into `node`.
void load_node(const JsonRef &ref, _object *node, int depth, LoadContext &context);
// Reads the node's keyed values over time into the scene's animation list.
void load_animation(const JsonRef &ref, _object *node);
// Fails when the placed contents of the whole scene overflow the float range.
void check_contents(const JsonRef &ref, _object *root);
// The node type that `ref` names; `top` is true for the document's root node.
OBJECT_TYPE read_node_type(const JsonRef &ref, bool top);
// Adds the geometry entries of `ref` (one entry or a list) to `node`, each
// with the node's pivot.
void load_geometry(const JsonRef &ref, _object *node, const ZAL_VECT3 &pivot, LoadContext &context);
// The part's type, with its "part_label" and "part_params" when given.
_part_info read_part_info(const JsonRef &ref, const std::string &type);
// Counts the parts that the document's entries build from each mesh of a
// model file.
void count_model_parts(const json &document, LoadContext &context);
// Adds the geometry entry `ref` that names a mesh of a model file
// ("part_mesh") to `node`.
void load_model_part(const JsonRef &ref, _object *node, const ZAL_VECT3 &pivot, LoadContext &context);
// A hint for a path in the scene file that holds a backslash; "" for others.
std::string slash_hint(const std::string &file);
// Sets the texture of `node` from `ref`.
// An image that cannot be read is no load error (the scene stays usable and
// the module writes that texture commented out), but it is reported as a
// warning once per file.
void load_texture(const JsonRef &ref, _object *node, LoadContext &context);

} // namespace bf
