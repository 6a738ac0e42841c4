// The node tree of a model file as groups and objects: every placement
// split into the rotation and position that the scene file can hold and a
// shape (scale, shear, mirror) baked into the part.
#include "app/import/import_parts.h"

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <unordered_set>

namespace bf::import {

namespace {

// A node being written: its keys, and children once they are known.
struct OutNode {
  ojson value;
  std::vector<std::unique_ptr<OutNode>> children;
  bool group = false;
  // A group's node and the node of the group that holds it, for its keys.
  const aiNode *node = nullptr, *frame_node = nullptr;
};

// A rotation and position in the scene.
struct Frame {
  Mat3 r;
  Vec3 t;
  const aiNode *node = nullptr; // the group's node; null for the scene
};

// The node's keys relative to the frame of the group that holds it.
void place_in(const Frame &parent, const Frame &own, ojson &value) {
  const Mat3 back = oku::transpose(parent.r);
  const ojson position = vec_json(oku::apply(back, oku::sub(own.t, parent.t)));
  if (!scene_keys::is_fallback(node_key::position, position))
    value[node_key::position.name] = position;
  const Vec3 angles = oku::euler_angles(oku::multiply(back, own.r));
  const ojson rotation = vec_json(angles);
  if (!scene_keys::is_fallback(node_key::rotation, rotation))
    value[node_key::rotation.name] = rotation;
}

// Identifier characters only, so that the part's include file is named
// after it as it is.
std::string label_text(const std::string &text) {
  std::string out;
  for (char c : text) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (out.size() < 48 && (plain || (!out.empty() && out.back() != '_')))
      out += plain ? c : '_';
  }
  while (!out.empty() && out.back() == '_')
    out.pop_back();
  return out;
}

// FBX pivots arrive as chains of helper nodes; they carry no meaning of
// their own and are folded into the node they lead to.
bool helper_node(const std::string &name) { return name.find("$AssimpFbx$") != std::string::npos; }

class TreeWalk {
public:
  TreeWalk(const ModelFile &model, const std::string &part_file, const std::filesystem::path &scene_directory)
      : model_(model), part_file_(part_file), materials_(model, scene_directory), motion_(model) {
    stem_ = label_text(std::filesystem::path(model.path()).stem().string());
    if (stem_.empty())
      stem_ = "model";
  }

  TreeResult run() {
    const aiNode *root = model_.scene().mRootNode;
    result_.root_name = ai_text(root->mName);
    Affine world = to_affine(root->mTransformation);
    if (!finite(world)) {
      warn("the root node's transform is not finite; it is left out");
      world = Affine();
    }
    OutNode top;
    seen_.insert(root);
    visit_content(root, world, top, Frame(), 0);
    while (!pending_.empty()) {
      Item item = pending_.back();
      pending_.pop_back();
      visit(item);
    }
    for (auto &child : top.children)
      if (auto converted = to_json(*child); !converted.is_null())
        result_.children.push_back(std::move(converted));
    return std::move(result_);
  }

private:
  struct Item {
    const aiNode *node;
    Affine parent_world;
    OutNode *out;
    Frame frame;
    int depth;
  };

  void warn(const std::string &message) {
    if (warned_.insert(message).second)
      report_warning(model_.path() + ": " + message);
  }

  void visit(const Item &item) {
    const aiNode *node = item.node;
    if (!seen_.insert(node).second) {
      warn("a node appears more than once in the node tree; only its first place is kept");
      return;
    }
    const std::string name = ai_text(node->mName);
    const Affine world = compose(item.parent_world, to_affine(node->mTransformation));
    if (!finite(world)) {
      warn("node \"" + name +
           "\" has a transform that is not finite or out of range; it and its children are left out");
      return;
    }
    result_.places.emplace(name, world);
    result_.own_places.emplace(name, to_affine(node->mTransformation));
    const bool has_children = node->mNumChildren > 0 && node->mChildren != nullptr;
    if (!has_children || helper_node(name) || item.depth >= kMaxImportDepth) {
      if (has_children && item.depth >= kMaxImportDepth)
        warn("nodes nested deeper than " + std::to_string(kMaxImportDepth) +
             " levels are placed in the group at that depth");
      visit_content(node, world, *item.out, item.frame, item.depth);
      return;
    }
    auto group = std::make_unique<OutNode>();
    group->group = true;
    group->value = {{node_key::type.name, "group"}, {node_key::name.name, name}};
    Frame frame;
    Mat3 shape;
    split(world.l, frame.r, shape);
    frame.t = world.t;
    frame.node = node;
    place_in(item.frame, frame, group->value);
    group->node = node;
    group->frame_node = item.frame.node;
    OutNode &out = *group;
    item.out->children.push_back(std::move(group));
    visit_content(node, world, out, frame, item.depth + 1);
  }

  // The node's meshes as objects in `out`; its children queued.
  void visit_content(const aiNode *node, const Affine &world, OutNode &out, const Frame &frame, int depth) {
    const unsigned meshes = node->mMeshes != nullptr ? node->mNumMeshes : 0;
    for (unsigned i = 0; i < meshes; ++i)
      add_object(node, node->mMeshes[i], meshes, world, out, frame);
    if (node->mChildren == nullptr)
      return;
    for (unsigned i = node->mNumChildren; i-- > 0;)
      if (node->mChildren[i] != nullptr)
        pending_.push_back({node->mChildren[i], world, &out, frame, depth});
  }

  void add_object(const aiNode *node, unsigned index, unsigned meshes, const Affine &world, OutNode &out,
                  const Frame &frame) {
    if (index >= model_.mesh_count()) {
      warn("a node names a mesh that the file does not hold; it is left out");
      return;
    }
    if (model_.polygon_count(index) == 0) {
      ++result_.meshes_without_polygons;
      return;
    }
    if (++result_.objects > kMaxImportObjects)
      throw SceneError(model_.path() + ": cannot import: more than " + std::to_string(kMaxImportObjects) +
                       " mesh placements");
    Frame own;
    Mat3 shape;
    split(world.l, own.r, shape);
    own.t = world.t;
    std::string name = ai_text(node->mName);
    if (meshes > 1) {
      const std::string mesh_name = ai_text(model_.mesh(index)->mName);
      name += ":" + (mesh_name.empty() ? "mesh " + std::to_string(index) : mesh_name);
    }
    auto object = std::make_unique<OutNode>();
    object->value = {{node_key::type.name, "object"}, {node_key::name.name, name}};
    place_in(frame, own, object->value);
    object->value[node_key::geometry.name] = part_entry(index, shape);
    for (const auto &[key, value] : materials_.keys(index).items())
      object->value[key] = value;
    animate(node, frame.node, name, object->value);
    add_bounds(index, world);
    out.children.push_back(std::move(object));
  }

  void animate(const aiNode *node, const aiNode *frame_node, const std::string &name, ojson &value) {
    if (ojson keys = motion_.keys(node, frame_node, name); !keys.is_null())
      value[node_key::animation.name] = std::move(keys);
  }

  ojson part_entry(unsigned index, const Mat3 &shape) {
    const ojson transform = oku::is_identity(shape) ? ojson() : matrix_json(shape);
    const std::string key = std::to_string(index) + transform.dump();
    auto [it, added] = labels_.try_emplace(key);
    if (added) {
      polygons_ += model_.polygon_count(index);
      if (polygons_ > kMaxImportPolygons)
        throw SceneError(model_.path() + ": cannot import: more than " + std::to_string(kMaxImportPolygons) +
                         " polygons once every scaled instance is a part of its own");
      std::string base = label_text(ai_text(model_.mesh(index)->mName));
      base = stem_ + "_" + (base.empty() ? "mesh" + std::to_string(index) : base);
      std::string label = base;
      for (int n = 2; !used_labels_.insert(label).second; ++n)
        label = base + "_" + std::to_string(n);
      it->second = label;
    }
    ojson entry = {{part_key::part.name, part_file_},
                   {part_key::part_mesh.name, index},
                   {part_key::part_label.name, it->second}};
    if (!transform.is_null())
      entry[part_key::part_transform.name] = transform;
    return entry;
  }

  void add_bounds(unsigned index, const Affine &world) {
    const MeshBounds b = model_.bounds(index);
    if (b.empty)
      return;
    for (int corner = 0; corner < 8; ++corner)
      result_.bounds.add(place(world, {corner & 1 ? b.high.x : b.low.x, corner & 2 ? b.high.y : b.low.y,
                                       corner & 4 ? b.high.z : b.low.z}));
  }

  // A group that holds nothing is left out.
  ojson to_json(OutNode &node) {
    ojson value = std::move(node.value);
    if (!node.group)
      return value;
    ojson children = ojson::array();
    for (auto &child : node.children)
      if (auto converted = to_json(*child); !converted.is_null())
        children.push_back(std::move(converted));
    if (children.empty())
      return ojson();
    animate(node.node, node.frame_node, value[node_key::name.name].get<std::string>(), value);
    value[node_key::children.name] = std::move(children);
    return value;
  }

  const ModelFile &model_;
  std::string part_file_;
  std::string stem_;
  MaterialTable materials_;
  NodeMotion motion_;
  TreeResult result_;
  std::vector<Item> pending_;
  std::unordered_set<const aiNode *> seen_;
  std::set<std::string> warned_;
  std::map<std::string, std::string> labels_; // mesh and shape -> part label
  std::set<std::string> used_labels_;
  long long polygons_ = 0;
};

} // namespace

TreeResult walk_tree(const ModelFile &model, const std::string &part_file,
                     const std::filesystem::path &scene_directory) {
  return TreeWalk(model, part_file, scene_directory).run();
}

} // namespace bf::import
