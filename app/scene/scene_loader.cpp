// The scene file as a whole: reading it, the environment, the tree and the
// view point.
#include "app/scene/scene_loader.h"
#include "app/scene/animation_keys.h"

#include "app/scene/json_text.h"
#include "app/scene/scene_build.h"
#include "app/scene/scene_schema.h"

#include "core/input_file.h"
#include "vy/mesh.h"

#include <vector>

namespace fs = std::filesystem;

namespace bf {

namespace {

void load_environment(const JsonRef &ref) {
  namespace key = scene_keys::environment;
  scene_keys::expect_keys(ref, {&scene_keys::kEnvironment});
  SceneEnvironment &env = scene_environment();
  if (auto v = ref.get(key::background.name))
    env.background = read_colour(*v);
  if (auto v = ref.get(key::ambient.name))
    env.ambient = read_float(*v, key::ambient);
}

// The camera named `name`; there must be exactly one.
void set_viewpoint(const JsonRef &ref) {
  const std::string name = read_string(ref);
  std::vector<_object *> pending{db_get_root()}, found;
  while (!pending.empty()) {
    _object *node = pending.back();
    pending.pop_back();
    if (node->type == OBJECT_TYPE_CAMERA && node->name == name)
      found.push_back(node);
    for (const auto &child : node->children)
      pending.push_back(child.get());
  }
  if (found.empty())
    ref.fail("no camera is named \"" + name + "\"");
  if (found.size() > 1)
    ref.fail("several cameras are named \"" + name + "\"");
  scene_set_viewpoint(found.front());
}

void load_document(const json &document, const std::string &path, const ModelCache *models) {
  const JsonRef top(document, path);
  if (!document.is_object())
    top.fail("expected an object at the top level");
  namespace key = scene_keys::top;
  scene_keys::expect_keys(top, {&scene_keys::kTop});
  LoadContext context;
  std::error_code ec;
  context.directory = fs::absolute(fs::path(path), ec).parent_path();
  if (models != nullptr)
    context.models = *models;
  count_model_parts(document, context);
  if (auto env = top.get(key::environment.name))
    load_environment(*env);
  if (auto root = top.get(key::root.name)) {
    read_node_type(*root, true);
    load_node(*root, db_get_root(), 0, context);
    check_contents(*root, db_get_root());
  }
  if (auto viewpoint = top.get(key::viewpoint.name))
    set_viewpoint(*viewpoint);
  // A standby camera other than the view point leaves the tree's cameras:
  // the saved scene holds one camera statement however many the file keeps.
  const _object *view = RootGetViewPoint(obj_get_assembly(db_get_root()));
  for (_object *node : context.standby)
    if (node != view && node->type == OBJECT_TYPE_CAMERA)
      node->type = kStandbyCamera;
}

} // namespace

void MeshDeleter::operator()(VYobject *mesh) const { VYobject_destroy(mesh); }

std::string LoadContext::absolute(const std::string &path) const {
  const fs::path p(path);
  return (p.is_absolute() ? p : directory / p).lexically_normal().string();
}

void load_scene_text(const std::string &text, const std::string &path, const ModelCache *models) {
  scene_reset();
  scene_animations().clear();
  try {
    load_document(parse_scene_text(text, path), path, models);
  } catch (...) {
    scene_reset(); // never leave half a scene behind
    scene_animations().clear();
    throw;
  }
}

void load_scene_file(const std::string &path) {
  std::string text, why;
  if (!zal::read_input_file(path, kMaxSceneFileBytes, text, why))
    throw SceneError(path + ": cannot read: " + why);
  load_scene_text(text, path);
}

} // namespace bf
