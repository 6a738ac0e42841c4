// A model file (glTF, FBX, Collada, 3DS, OBJ, ...) read through Assimp, with
// every count, index and pointer of the result checked before it is used.
#pragma once

#include "oku/placement.h"
#include "vy/mesh.h"

#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <memory>
#include <string>
#include <vector>

namespace bf {

// Most polygons that an import builds, counting every scaled instance of a
// mesh as a part of its own.
constexpr long long kMaxImportPolygons = 50'000'000;
// Pictures inside a model file larger than this are neither decoded nor held.
constexpr unsigned kMaxEmbeddedImageBytes = 256u << 20;

// Bounds of a mesh's usable polygons in its own frame.
struct MeshBounds {
  oku::Vec3 low, high;
  bool empty = true;
};

class ModelFile {
public:
  // Reads the model at `path` through the guards of every part file
  // (oku/model_read.h); null with "cannot read: WHY" or "cannot import:
  // WHY" in `error` when it cannot be read or is refused. The files it
  // names (buffers, material libraries, images) join
  // oku::named_files_read(); a warning names each outside the model's own
  // folder tree. Shows progress on a terminal when reading takes longer
  // than a second.
  static std::shared_ptr<ModelFile> open(const std::string &path, std::string &error);

  const std::string &path() const { return path_; }
  const aiScene &scene() const { return *scene_; }

  unsigned mesh_count() const {
    return scene_ != nullptr && scene_->mMeshes != nullptr ? scene_->mNumMeshes : 0;
  }
  // The mesh, or null when the file holds none at that index.
  const aiMesh *mesh(unsigned index) const;
  // How many of the mesh's faces are polygons that can be drawn (three or
  // more corners, every index in range); 0 for a missing mesh.
  long polygon_count(unsigned index) const;
  MeshBounds bounds(unsigned index) const;
  // The material of the mesh, or null.
  const aiMaterial *material_of(unsigned mesh_index) const;

  // A new host mesh of the mesh's polygons, its points mapped by `shape`
  // (scale and shear; normals by its inverse transpose, keeping their
  // length) and each polygon of the given colour. Its corners carry the
  // mesh's texture coordinates and vertex colours (tinted by `colour`)
  // where it has them. Null with a message in `error`.
  VYobject *build_mesh(unsigned index, const oku::Mat3 &shape, ZAL_COLOR colour, std::string &error) const;

  // The image file that the model names as `name` (a path relative to the
  // model, or one of the author's machine whose file name is found beside
  // the model); "" when there is none.
  std::string image_path(std::string name) const;

  // The picture inside the model that a material names as `name` (Assimp's
  // "*N", or the file name an FBX file gives it) and its index in the
  // model; null when the model holds none of that name.
  const aiTexture *embedded_image(const std::string &name, unsigned *index = nullptr) const;
  // The name under which the image reader answers the model's picture
  // `index` ("MODEL#N", image_bytes.h); "" when it is not held. The colour
  // images of the materials are held from open() on, for the rest of the
  // run (a later open of the same file replaces them).
  std::string held_image_name(unsigned index) const;

  // Frees the mesh's data once every part has been built from it (its
  // polygon count and bounds stay known); mesh() then answers null.
  void release_mesh(unsigned index);

private:
  struct MeshFacts {
    long polygons = -1; // not yet counted
    MeshBounds bounds;
  };
  const MeshFacts &facts(unsigned index) const;
  void note_images() const;
  void hold_images() const;

  std::string path_;
  std::unique_ptr<Assimp::Importer> importer_;
  const aiScene *scene_ = nullptr;
  mutable std::vector<MeshFacts> facts_;
};

// Warns of each file in oku::named_files_read() from index `first` on that
// lies outside the folder tree of the file that named it.
void warn_reads_outside(size_t first);

// The usable text of an Assimp name: never longer than its buffer, bytes
// that are not UTF-8 replaced by '?'.
std::string ai_text(const aiString &s);

} // namespace bf
