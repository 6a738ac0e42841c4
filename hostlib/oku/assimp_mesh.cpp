// Part files through Assimp: the file's meshes become one host mesh.
#include "oku/assimp_mesh.h"
#include "core/ascii_text.h"
#include "oku/node_graph.h"
#include "oku/part_io.h"
#include "oku/part_precheck.h"
#include "oku/quiet_output.h"

#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/material.h>
#include <assimp/scene.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <stdexcept>
#include <unordered_set>
#include <utility>
#include <vector>

namespace oku {

namespace {

struct LoadError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

bool finite3(const aiVector3D &v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

std::string lower_extension(const std::string &path) {
  std::string ext = std::filesystem::path(path).extension().string();
  if (!ext.empty())
    ext.erase(0, 1);
  return zal::ascii_lower(ext);
}

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

  VYobject *release() {
    if (VYobject_polygon_count(mesh_) == 0)
      throw LoadError("the file holds no polygons");
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

  const aiScene &scene_;
  bool stand_ins_;
  VYobject *mesh_;
  long polygons_ = 0, corners_ = 0; // added so far
};

// Every pointer, count and index of the node tree and of the meshes it
// places, checked before anything is built from them: a node graph may
// place far more than its file holds. A null child (Assimp's RAW reader
// makes them) is no node and left out.
class TreeCheck {
public:
  explicit TreeCheck(const aiScene &scene) : scene_(scene) {}

  void run(const aiNode *root) {
    std::vector<const aiNode *> pending{root};
    std::unordered_set<const aiNode *> seen;
    while (!pending.empty()) {
      const aiNode *node = pending.back();
      pending.pop_back();
      if (node == nullptr)
        continue; // Assimp's RAW reader counts a child that it never made
      if (!seen.insert(node).second)
        throw LoadError("the file's node tree is broken (a node is placed twice)");
      if (static_cast<long>(seen.size()) > kMaxPlacedNodes)
        throw LoadError("the file places more than " + std::to_string(kMaxPlacedNodes) + " nodes");
      check_meshes(*node);
      for (unsigned i = 0; node->mChildren != nullptr && i < node->mNumChildren; ++i)
        pending.push_back(node->mChildren[i]);
    }
  }

private:
  void check_meshes(const aiNode &node) {
    if (node.mNumMeshes > 0 && node.mMeshes == nullptr)
      throw LoadError("a node names meshes that the file does not hold");
    for (unsigned i = 0; i < node.mNumMeshes; ++i) {
      const unsigned index = node.mMeshes[i];
      if (index >= scene_.mNumMeshes || scene_.mMeshes == nullptr || scene_.mMeshes[index] == nullptr)
        throw LoadError("a node names a mesh that the file does not hold");
      const aiMesh &mesh = *scene_.mMeshes[index];
      if ((mesh.mNumFaces > 0 && mesh.mFaces == nullptr) ||
          (mesh.mNumVertices > 0 && mesh.mVertices == nullptr))
        throw LoadError("a mesh of the file is broken (its polygons or vertices are missing)");
      polygons_ += mesh.mNumFaces;
      if (polygons_ > kMaxPlacedPolygons)
        throw LoadError("the file places more than " + std::to_string(kMaxPlacedPolygons) +
                        " polygons (its meshes are placed over and over)");
    }
  }

  const aiScene &scene_;
  long long polygons_ = 0;
};

void check_readable(const std::string &path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec))
    throw LoadError("no such file");
  if (!std::filesystem::is_regular_file(path, ec))
    throw LoadError("not a regular file");
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr)
    throw LoadError(std::strerror(errno));
  std::fclose(file);
}

const aiScene *read_scene(Assimp::Importer &importer, const std::string &path, const std::string &type) {
  // Assimp would otherwise make up a skeleton mesh for a file of bones alone.
  importer.SetPropertyBool(AI_CONFIG_IMPORT_NO_SKELETON_MESHES, true);
  const std::string name = lower_extension(path) == type ? path : path + "." + type;
  importer.SetIOHandler(std::make_unique<PartIOSystem>(name, path).release()); // the importer owns it
  // Some importers print to standard output or error on their own.
  QuietOutput quiet;
  return importer.ReadFile(name, 0);
}

// Kinds of file that the Assimp library at hand reads none of (its
// Irrlicht readers fail on every file of Irrlicht's own examples).
const char *unreadable_kind(const std::string &type) {
  if (type == "irr")
    return "Irrlicht scene files (.irr)";
  if (type == "irrmesh")
    return "Irrlicht mesh files (.irrmesh)";
  return nullptr;
}

// Words of Assimp's parsers that tell where a reader stopped, not what is
// wrong with the file (these readers stop so on files their own authors
// made): the message says whose failure it is.
bool parser_words(const std::string &why) {
  static const char *const phrases[] = {"End of file or ", "Cannot parse string", "Failure resolving pointer",
                                        "block offset is out of range", "Unable to build a valid node graph"};
  for (const char *phrase : phrases)
    if (why.find(phrase) != std::string::npos)
      return true;
  return false;
}

std::string upper(std::string s) {
  for (char &c : s)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  return s;
}

// Why Assimp gave no scene, in plain words.
std::string plain_reason(const std::string &why, const std::string &type) {
  if (const char *kind = unreadable_kind(type))
    return std::string(kind) + " cannot be read: the Assimp library in use does not read them";
  if (why.empty())
    return "not a readable " + type + " file";
  if (why == "std::bad_alloc")
    return "out of memory";
  if (parser_words(why))
    return "Assimp's " + upper(type) + " reader cannot read this file (it stopped with \"" + why + "\")";
  return why;
}

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
    check_readable(path);
    const std::string problem = part_file_problem(path, type);
    if (!problem.empty())
      throw LoadError(problem);
    Assimp::Importer importer;
    const aiScene *scene = read_scene(importer, path, type);
    if (scene == nullptr)
      throw LoadError(plain_reason(importer.GetErrorString(), type));
    if (scene->mRootNode == nullptr)
      throw LoadError(unreadable_kind(type) ? plain_reason("", type) : "the file holds no polygons");
    TreeCheck(*scene).run(scene->mRootNode);
    // OFF files have no materials; Assimp gives them a grey one of its own.
    MeshBuilder builder(*scene, type == "off");
    builder.add_tree(scene->mRootNode);
    if (unreadable_kind(type) && builder.empty())
      throw LoadError(plain_reason("", type));
    return builder.release();
  } catch (const std::bad_alloc &) {
    error = "out of memory";
  } catch (const std::exception &e) {
    error = e.what();
  }
  return nullptr;
}

} // namespace oku
