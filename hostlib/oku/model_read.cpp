// Part and model files through Assimp, guarded before, while and after it
// reads them.
#include "oku/model_read.h"
#include "core/ascii_text.h"
#include "oku/assimp_mesh.h"
#include "oku/node_graph.h"
#include "oku/part_io.h"
#include "oku/part_precheck.h"
#include "oku/quiet_output.h"

#include <assimp/config.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <unordered_set>
#include <vector>

namespace oku {

namespace {

struct ReadError : std::runtime_error {
  using std::runtime_error::runtime_error;
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
        throw ReadError("the file's node tree is broken (a node is placed twice)");
      if (static_cast<long>(seen.size()) > kMaxPlacedNodes)
        throw ReadError("the file places more than " + std::to_string(kMaxPlacedNodes) + " nodes");
      check_meshes(*node);
      for (unsigned i = 0; node->mChildren != nullptr && i < node->mNumChildren; ++i)
        pending.push_back(node->mChildren[i]);
    }
  }

  long long polygons() const { return polygons_; }

private:
  void check_meshes(const aiNode &node) {
    if (node.mNumMeshes > 0 && node.mMeshes == nullptr)
      throw ReadError("a node names meshes that the file does not hold");
    for (unsigned i = 0; i < node.mNumMeshes; ++i) {
      const unsigned index = node.mMeshes[i];
      if (index >= scene_.mNumMeshes || scene_.mMeshes == nullptr || scene_.mMeshes[index] == nullptr)
        throw ReadError("a node names a mesh that the file does not hold");
      const aiMesh &mesh = *scene_.mMeshes[index];
      if ((mesh.mNumFaces > 0 && mesh.mFaces == nullptr) ||
          (mesh.mNumVertices > 0 && mesh.mVertices == nullptr))
        throw ReadError("a mesh of the file is broken (its polygons or vertices are missing)");
      polygons_ += mesh.mNumFaces;
      if (polygons_ > kMaxPlacedPolygons)
        throw ReadError("the file places more than " + std::to_string(kMaxPlacedPolygons) +
                        " polygons (its meshes are placed over and over)");
    }
  }

  const aiScene &scene_;
  long long polygons_ = 0;
};

std::string lower_extension(const std::string &path) {
  std::string ext = std::filesystem::path(path).extension().string();
  if (!ext.empty())
    ext.erase(0, 1);
  return zal::ascii_lower(ext);
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
  if (why == "std::bad_alloc" || why.find("bad_alloc") != std::string::npos)
    return "out of memory";
  if (parser_words(why))
    return "Assimp's " + upper(type) + " reader cannot read this file (it stopped with \"" + why + "\")";
  return why;
}

bool has_polygons(const aiScene &scene) {
  for (unsigned i = 0; scene.mMeshes != nullptr && i < scene.mNumMeshes; ++i)
    if (scene.mMeshes[i] != nullptr && scene.mMeshes[i]->mNumFaces > 0)
      return true;
  return false;
}

const aiScene *read_guarded(Assimp::Importer &importer, const std::string &path, const std::string &type) {
  if (const std::string problem = file_read_problem(path); !problem.empty())
    throw ReadError(problem);
  if (const std::string problem = part_file_problem(path, type); !problem.empty())
    throw ReadError(problem);
  // Assimp would otherwise make up a skeleton mesh for a file of bones alone.
  importer.SetPropertyBool(AI_CONFIG_IMPORT_NO_SKELETON_MESHES, true);
  const std::string name = lower_extension(path) == type ? path : path + "." + type;
  auto io = std::make_unique<PartIOSystem>(name, path);
  const PartIOSystem &files = *io;
  importer.SetIOHandler(io.release()); // the importer owns it
  const aiScene *scene = nullptr;
  {
    // Some importers print to standard output or error on their own.
    QuietOutput quiet;
    scene = importer.ReadFile(name, 0);
  }
  if (!files.refused().empty())
    throw ReadError(files.refused());
  if (scene == nullptr)
    throw ReadError(plain_reason(importer.GetErrorString(), type));
  if (unreadable_kind(type) && !has_polygons(*scene))
    throw ReadError(plain_reason("", type));
  if (scene->mRootNode == nullptr)
    throw ReadError("the file holds no polygons");
  TreeCheck(*scene).run(scene->mRootNode);
  return scene;
}

} // namespace

const aiScene *read_model(Assimp::Importer &importer, const std::string &path, const std::string &type,
                          std::string &error) {
  try {
    return read_guarded(importer, path, type);
  } catch (const std::bad_alloc &) {
    error = "out of memory";
  } catch (const std::exception &e) {
    error = e.what();
  }
  importer.FreeScene();
  return nullptr;
}

} // namespace oku
