// The scene database: one tree of nodes, the environment and the view point.
#include "oku/scene_db.h"

#include "vy/mesh.h"

#include <utility>
#include <vector>

// The root's assembly; the emulated host has one scene and so one assembly.
struct OkuAssembly {
  _object *viewpoint = nullptr;
};

namespace {

struct Database {
  std::unique_ptr<_object> root;
  SceneEnvironment environment;
  OkuAssembly assembly;
};

Database &database() {
  static Database db;
  if (!db.root) {
    db.root = std::make_unique<_object>();
    db.root->type = OBJECT_TYPE_ROOT;
  }
  return db;
}

} // namespace

_object::_object() = default;

// Children are released without recursion, so that even a very deep tree
// cannot exhaust the stack.
_object::~_object() {
  std::vector<std::unique_ptr<_object>> pending = std::move(children);
  while (!pending.empty()) {
    std::unique_ptr<_object> node = std::move(pending.back());
    pending.pop_back();
    for (auto &child : node->children)
      pending.push_back(std::move(child));
    node->children.clear();
  }
}

_geometry::_geometry() = default;

_geometry::~_geometry() = default;

void _geometry::set_mesh(VYobject *mesh) {
  if (mesh != mesh_.get())
    mesh_.reset(mesh, VYobject_destroy);
}

void scene_reset() {
  Database &db = database();
  db.root = std::make_unique<_object>();
  db.root->type = OBJECT_TYPE_ROOT;
  db.environment = SceneEnvironment();
  db.assembly.viewpoint = nullptr;
}

_object *scene_add_object(_object *parent, OBJECT_TYPE type) {
  if (parent == nullptr)
    parent = database().root.get();
  auto node = std::make_unique<_object>();
  node->type = type;
  node->parent = parent;
  if (type == OBJECT_TYPE_LIGHT)
    node->color = {1, 1, 1}; // a light without a colour of its own is white
  _object *raw = node.get();
  parent->children.push_back(std::move(node));
  parent->child_list.add(raw);
  return raw;
}

_geometry *scene_add_geometry(_object *o) {
  if (o == nullptr)
    return nullptr;
  o->geometries.push_back(std::make_unique<_geometry>());
  _geometry *raw = o->geometries.back().get();
  o->geolist.add(raw);
  return raw;
}

void scene_set_params(_object *o, const GeomParams &params) {
  if (o == nullptr)
    return;
  auto stored = std::make_unique<GeomParams>(params);
  o->vars.add("_GEOM_PARAMS", stored.get());
  o->params = std::move(stored); // the previous record, if any, goes now
}

SceneEnvironment &scene_environment() { return database().environment; }

void scene_set_viewpoint(_object *camera) { database().assembly.viewpoint = camera; }

_object *db_get_root() { return database().root.get(); }

OkuAssembly *obj_get_assembly(_object *o) { return o != nullptr ? &database().assembly : nullptr; }

// The named view point, else the first camera in tree order (depth first,
// children in order), else none.
_object *RootGetViewPoint(OkuAssembly *assembly) {
  if (assembly == nullptr)
    return nullptr;
  if (assembly->viewpoint != nullptr)
    return assembly->viewpoint;
  std::vector<_object *> pending{database().root.get()};
  while (!pending.empty()) {
    _object *node = pending.back();
    pending.pop_back();
    if (node->type == OBJECT_TYPE_CAMERA)
      return node;
    for (auto it = node->children.rbegin(); it != node->children.rend(); ++it)
      pending.push_back(it->get());
  }
  return nullptr;
}

int env_get_bgcolor(ZAL_COLOR &out) {
  out = database().environment.background;
  return 1;
}

float env_get_ambient() { return database().environment.ambient; }
