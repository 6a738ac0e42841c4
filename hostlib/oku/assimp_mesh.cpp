// Part files through Assimp: the file's meshes become one host mesh.
#include "oku/assimp_mesh.h"
#include "oku/assimp_corners.h"
#include "oku/model_read.h"

#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/material.h>
#include <assimp/scene.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

namespace oku {

namespace {

struct LoadError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

bool finite3(const aiVector3D &v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// Fills one host mesh from the meshes of an Assimp scene.
class MeshBuilder {
public:
  MeshBuilder(const aiScene &scene, bool stand_in_materials)
      : scene_(scene), stand_ins_(stand_in_materials), mesh_(VYobject_create()) {
    if (mesh_ == nullptr)
      throw LoadError("out of memory");
  }
  ~MeshBuilder() { VYobject_destroy(mesh_); }

  // Every placed node's meshes, in the file's order. The tree has passed
  // TreeCheck, so its indices hold; null children are left out.
  void add_tree(const aiNode *root) {
    std::vector<std::pair<const aiNode *, aiMatrix4x4>> pending{{root, root->mTransformation}};
    while (!pending.empty()) {
      const auto [node, transform] = pending.back();
      pending.pop_back();
      for (unsigned i = 0; i < node->mNumMeshes; ++i)
        add_mesh(*scene_.mMeshes[node->mMeshes[i]], transform);
      for (unsigned i = node->mChildren != nullptr ? node->mNumChildren : 0; i-- > 0;)
        if (const aiNode *child = node->mChildren[i])
          pending.emplace_back(child, transform * child->mTransformation);
    }
  }

  bool empty() const { return VYobject_polygon_count(mesh_) == 0; }

  // Corner texture coordinates and colours are given once every polygon is
  // in, last mesh first (see set_corner_data).
  VYobject *release() {
    if (VYobject_polygon_count(mesh_) == 0)
      throw LoadError("the file holds no polygons");
    for (auto it = added_.rbegin(); it != added_.rend(); ++it)
      set_corner_data(*it->mesh, *mesh_, it->end, {it->colour, nullptr});
    return std::exchange(mesh_, nullptr);
  }

private:
  ZAL_COLOR colour_of(unsigned material_index) const {
    const ZAL_COLOR white{1, 1, 1};
    if (stand_ins_ || material_index >= scene_.mNumMaterials || scene_.mMaterials == nullptr ||
        scene_.mMaterials[material_index] == nullptr)
      return white;
    const aiMaterial *material = scene_.mMaterials[material_index];
    aiString name;
    if (material->Get(AI_MATKEY_NAME, name) == AI_SUCCESS &&
        std::strcmp(name.C_Str(), AI_DEFAULT_MATERIAL_NAME) == 0)
      return white;
    aiColor3D c;
    if (material->Get(AI_MATKEY_COLOR_DIFFUSE, c) != AI_SUCCESS || !std::isfinite(c.r) ||
        !std::isfinite(c.g) || !std::isfinite(c.b))
      return white;
    return {c.r, c.g, c.b};
  }

  void add_mesh(const aiMesh &mesh, const aiMatrix4x4 &transform) {
    const bool identity = transform == aiMatrix4x4();
    const aiMatrix3x3 normal_matrix = aiMatrix3x3(transform).Inverse().Transpose();
    const ZAL_COLOR colour = colour_of(mesh.mMaterialIndex);
    std::vector<int> position_of(mesh.mNumVertices, -1);
    std::vector<int> normal_of(mesh.mNumVertices, -2); // -2: not looked at yet
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
      const aiFace &face = mesh.mFaces[f];
      if (face.mNumIndices < 3 || face.mIndices == nullptr)
        continue; // a point or a line, not a polygon
      for (unsigned k = 0; k < face.mNumIndices; ++k)
        if (face.mIndices[k] >= mesh.mNumVertices)
          throw LoadError("a polygon names a vertex that the file does not hold");
      VYobject_begin_polygon(mesh_, colour);
      ++polygons_;
      corners_ += face.mNumIndices;
      for (unsigned k = 0; k < face.mNumIndices; ++k) {
        const unsigned v = face.mIndices[k];
        if (position_of[v] < 0)
          position_of[v] = add_position(mesh.mVertices[v], transform, identity);
        if (normal_of[v] == -2)
          normal_of[v] = mesh.HasNormals() ? add_normal(mesh.mNormals[v], normal_matrix, identity) : -1;
        VYobject_add_corner(mesh_, position_of[v], normal_of[v]);
      }
      // The mesh drops what it has no memory for.
      if (VYobject_polygon_count(mesh_) != polygons_ || VYobject_corner_count(mesh_) != corners_)
        throw LoadError("out of memory");
    }
    added_.push_back({&mesh, corners_, colour});
  }

  int add_position(const aiVector3D &p, const aiMatrix4x4 &transform, bool identity) {
    const aiVector3D q = identity ? p : transform * p;
    if (!finite3(q))
      throw LoadError("a vertex position is not a finite number");
    const int index = VYobject_add_position(mesh_, q.x, q.y, q.z);
    if (index < 0)
      throw LoadError("out of memory"); // or 2^31 positions, which no memory holds
    return index;
  }

  // A zero or non-finite normal counts as none. A transformed normal keeps
  // its length.
  int add_normal(const aiVector3D &n, const aiMatrix3x3 &normal_matrix, bool identity) {
    const float len = n.Length();
    if (!finite3(n) || !(len > 0))
      return -1;
    aiVector3D m = n;
    if (!identity) {
      m = normal_matrix * n;
      const float new_len = m.Length();
      if (!finite3(m) || !(new_len > 0))
        return -1;
      m *= len / new_len;
    }
    const int index = VYobject_add_normal(mesh_, m.x, m.y, m.z);
    if (index < 0)
      throw LoadError("out of memory");
    return index;
  }

  // A mesh placed, the corner after its last, and its polygons' colour.
  struct Added {
    const aiMesh *mesh;
    long end;
    ZAL_COLOR colour;
  };

  const aiScene &scene_;
  bool stand_ins_;
  std::vector<Added> added_;
  VYobject *mesh_;
  long polygons_ = 0, corners_ = 0; // added so far
};

} // namespace

bool part_type_supported(const std::string &type) {
  static const std::set<std::string> types = [] {
    std::set<std::string> out;
    std::string list; // "*.3ds;*.obj;..."
    Assimp::Importer().GetExtensionList(list);
    size_t start = 0;
    while (start <= list.size()) {
      size_t end = list.find(';', start);
      if (end == std::string::npos)
        end = list.size();
      std::string item = list.substr(start, end - start);
      if (item.rfind("*.", 0) == 0)
        out.insert(item.substr(2));
      start = end + 1;
    }
    return out;
  }();
  return types.count(type) != 0;
}

VYobject *load_part_mesh(const std::string &path, const std::string &type, std::string &error) {
  try {
    Assimp::Importer importer;
    const aiScene *scene = read_model(importer, path, type, error);
    if (scene == nullptr)
      return nullptr;
    // OFF files have no materials; Assimp gives them a grey one of its own.
    MeshBuilder builder(*scene, type == "off");
    builder.add_tree(scene->mRootNode);
    return builder.release();
  } catch (const std::bad_alloc &) {
    error = "out of memory";
  } catch (const std::exception &e) {
    error = e.what();
  }
  return nullptr;
}

} // namespace oku
