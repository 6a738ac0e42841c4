// Reading a model file through Assimp, and its meshes into host meshes.
#include "model_file.h"
#include "core/ascii_text.h"

#include "load_progress.h"
#include "scene_build.h"
#include "vy/mesh_store.h"

#include <assimp/ProgressHandler.hpp>
#include <assimp/config.h>

#include <malloc.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace bf {

namespace {

// Assimp's progress calls turned into terminal progress.
class ReadProgress : public Assimp::ProgressHandler {
public:
  explicit ReadProgress(const std::string &path)
      : progress_("reading " + std::filesystem::path(path).filename().string()) {}
  bool Update(float percentage) override {
    progress_.update(percentage >= 0 ? percentage : -1);
    return true;
  }

private:
  LoadProgress progress_;
};

// Lends a progress handler to the importer while it lives. Assimp deletes
// the handler it holds when it is destroyed, but not one that it is told to
// drop: handing back the default one leaves ours to its owner.
class ProgressLease {
public:
  ProgressLease(Assimp::Importer &importer, Assimp::ProgressHandler &handler) : importer_(importer) {
    importer_.SetProgressHandler(&handler);
  }
  ~ProgressLease() { importer_.SetProgressHandler(nullptr); }
  ProgressLease(const ProgressLease &) = delete;
  ProgressLease &operator=(const ProgressLease &) = delete;

private:
  Assimp::Importer &importer_;
};

bool finite3(const aiVector3D &v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

std::string why_unreadable(const std::string &path) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (status.type() == std::filesystem::file_type::not_found)
    return std::string("cannot read: ") + std::strerror(ENOENT);
  if (status.type() == std::filesystem::file_type::directory)
    return "cannot read: is a directory";
  if (status.type() != std::filesystem::file_type::regular)
    return "cannot read: not a regular file";
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr)
    return std::string("cannot read: ") + std::strerror(errno);
  std::fclose(file);
  return "";
}

// OFF files announce their counts first, and Assimp's reader sets aside
// room for them before reading on: a few bytes claiming billions of
// vertices would take minutes and gigabytes. Every vertex takes at least
// six bytes ("0 0 0\n") and every face eight ("3 0 1 2\n").
std::string implausible_off(const std::string &path) {
  const std::string ext = zal::ascii_lower(std::filesystem::path(path).extension().string());
  std::ifstream in(path, std::ios::binary);
  std::string word;
  if (ext != ".off" || !(in >> word) || word.find("OFF") == std::string::npos)
    return "";
  double vertices = 0, faces = 0;
  if (!(in >> vertices >> faces))
    return "";
  std::error_code ec;
  const double size = static_cast<double>(std::filesystem::file_size(path, ec));
  if (vertices * 6 + faces * 8 <= size + 64)
    return "";
  return "cannot import: the file announces " + std::to_string(static_cast<long long>(vertices)) +
         " vertices and " + std::to_string(static_cast<long long>(faces)) + " faces, more than its " +
         std::to_string(static_cast<long long>(size)) + " bytes can hold";
}

// The face's corners when it is a polygon whose every index names a vertex.
bool usable_face(const aiFace &face, unsigned vertices) {
  if (face.mNumIndices < 3 || face.mIndices == nullptr)
    return false;
  for (unsigned k = 0; k < face.mNumIndices; ++k)
    if (face.mIndices[k] >= vertices)
      return false;
  return true;
}

oku::Vec3 apply(const oku::Mat3 &m, const aiVector3D &v) { return oku::apply(m, oku::Vec3{v.x, v.y, v.z}); }

// The inverse transpose of m, or false when m is singular.
bool normal_matrix(const oku::Mat3 &m, oku::Mat3 &out) {
  const auto &a = m.m;
  const double c00 = a[1][1] * a[2][2] - a[1][2] * a[2][1], c01 = a[1][2] * a[2][0] - a[1][0] * a[2][2],
               c02 = a[1][0] * a[2][1] - a[1][1] * a[2][0];
  const double det = a[0][0] * c00 + a[0][1] * c01 + a[0][2] * c02;
  if (!(std::fabs(det) > 0) || !std::isfinite(det))
    return false;
  // Rows of the cofactor matrix over the determinant: the inverse transpose.
  out.m[0][0] = c00 / det, out.m[0][1] = c01 / det, out.m[0][2] = c02 / det;
  out.m[1][0] = (a[0][2] * a[2][1] - a[0][1] * a[2][2]) / det;
  out.m[1][1] = (a[0][0] * a[2][2] - a[0][2] * a[2][0]) / det;
  out.m[1][2] = (a[0][1] * a[2][0] - a[0][0] * a[2][1]) / det;
  out.m[2][0] = (a[0][1] * a[1][2] - a[0][2] * a[1][1]) / det;
  out.m[2][1] = (a[0][2] * a[1][0] - a[0][0] * a[1][2]) / det;
  out.m[2][2] = (a[0][0] * a[1][1] - a[0][1] * a[1][0]) / det;
  return true;
}

// Fills one host mesh from one Assimp mesh.
class PartBuilder {
public:
  PartBuilder(const aiMesh &mesh, const oku::Mat3 &shape, VYobject &out)
      : mesh_(mesh), shape_(shape), identity_(oku::is_identity(shape)), out_(out),
        position_of_(mesh.mNumVertices, -1), normal_of_(mesh.mNumVertices, -2) {
    has_normals_ = mesh.mNormals != nullptr && normal_matrix(shape, normals_);
  }

  void add_faces(ZAL_COLOR colour, long polygons) {
    out_.first.reserve(static_cast<size_t>(polygons));
    out_.colours.reserve(static_cast<size_t>(polygons));
    for (unsigned f = 0; f < mesh_.mNumFaces; ++f) {
      const aiFace &face = mesh_.mFaces[f];
      if (!usable_face(face, mesh_.mNumVertices))
        continue;
      VYobject_begin_polygon(&out_, colour);
      for (unsigned k = 0; k < face.mNumIndices; ++k) {
        const unsigned v = face.mIndices[k];
        if (position_of_[v] < 0)
          position_of_[v] = add_position(v);
        if (normal_of_[v] == -2)
          normal_of_[v] = has_normals_ ? add_normal(mesh_.mNormals[v]) : -1;
        VYobject_add_corner(&out_, position_of_[v], normal_of_[v]);
      }
    }
  }

private:
  // A point that is not finite is kept at the origin: the polygon's other
  // corners stay where they are, and no "inf" reaches the scene.
  int add_position(unsigned v) {
    const aiVector3D &p = mesh_.mVertices[v];
    oku::Vec3 q = identity_ ? oku::Vec3{p.x, p.y, p.z} : apply(shape_, p);
    if (!std::isfinite(static_cast<float>(q.x)) || !std::isfinite(static_cast<float>(q.y)) ||
        !std::isfinite(static_cast<float>(q.z)))
      q = {0, 0, 0};
    return VYobject_add_position(&out_, static_cast<float>(q.x), static_cast<float>(q.y),
                                 static_cast<float>(q.z));
  }

  // A zero or non-finite normal counts as none.
  int add_normal(const aiVector3D &n) {
    const double len = std::sqrt(double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z);
    if (!finite3(n) || !(len > 0))
      return -1;
    oku::Vec3 m{n.x, n.y, n.z};
    if (!identity_) {
      m = apply(normals_, n);
      const double new_len = oku::length(m);
      if (!(new_len > 0) || !std::isfinite(new_len))
        return -1;
      m = {m.x * len / new_len, m.y * len / new_len, m.z * len / new_len};
    }
    return VYobject_add_normal(&out_, static_cast<float>(m.x), static_cast<float>(m.y),
                               static_cast<float>(m.z));
  }

  const aiMesh &mesh_;
  const oku::Mat3 &shape_;
  bool identity_;
  VYobject &out_;
  std::vector<int> position_of_;
  std::vector<int> normal_of_; // -2: not looked at yet
  bool has_normals_ = false;
  oku::Mat3 normals_;
};

} // namespace

std::string ai_text(const aiString &s) {
  const size_t limit = std::min<size_t>(s.length, MAXLEN - 1);
  std::string text(s.data, strnlen(s.data, limit));
  // Every byte that does not belong to a well-formed UTF-8 sequence is '?'.
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool ok = n > 0 && i + n <= text.size() && !(c < 0x20 && c != '\t');
    for (size_t k = 1; ok && k < n; ++k)
      ok = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (!ok) {
      text[i++] = '?';
      continue;
    }
    i += n;
  }
  return text;
}

std::shared_ptr<ModelFile> ModelFile::open(const std::string &path, std::string &error) {
  error = why_unreadable(path);
  if (error.empty())
    error = implausible_off(path);
  if (!error.empty())
    return nullptr;
  auto model = std::shared_ptr<ModelFile>(new ModelFile());
  model->path_ = path;
  model->importer_ = std::make_unique<Assimp::Importer>();
  Assimp::Importer &importer = *model->importer_;
  // Assimp would otherwise make up a skeleton mesh for a file of bones alone.
  importer.SetPropertyBool(AI_CONFIG_IMPORT_NO_SKELETON_MESHES, true);
  const aiScene *scene = nullptr;
  {
    ReadProgress progress(path);
    ProgressLease lease(importer, progress);
    scene = importer.ReadFile(path, 0);
  }
  if (scene == nullptr) {
    error = importer.GetErrorString();
    error = "cannot import: " + (error.empty() ? std::string("not a model file that Assimp reads") : error);
    return nullptr;
  }
  if (scene->mRootNode == nullptr) {
    error = "cannot import: the file holds no scene (no root node)";
    return nullptr;
  }
  model->scene_ = scene;
  model->facts_.resize(model->mesh_count());
  return model;
}

const aiMesh *ModelFile::mesh(unsigned index) const {
  if (index >= mesh_count())
    return nullptr;
  const aiMesh *m = scene_->mMeshes[index];
  if (m == nullptr || m->mNumVertices == 0 || m->mVertices == nullptr || m->mNumFaces == 0 ||
      m->mFaces == nullptr)
    return nullptr;
  return m;
}

const ModelFile::MeshFacts &ModelFile::facts(unsigned index) const {
  MeshFacts &facts = facts_[index];
  if (facts.polygons >= 0)
    return facts;
  facts.polygons = 0;
  const aiMesh *m = mesh(index);
  if (m == nullptr)
    return facts;
  MeshBounds &b = facts.bounds;
  for (unsigned f = 0; f < m->mNumFaces; ++f) {
    const aiFace &face = m->mFaces[f];
    if (!usable_face(face, m->mNumVertices))
      continue;
    ++facts.polygons;
    for (unsigned k = 0; k < face.mNumIndices; ++k) {
      const aiVector3D &p = m->mVertices[face.mIndices[k]];
      if (!finite3(p))
        continue;
      const double v[3] = {p.x, p.y, p.z};
      double *low[3] = {&b.low.x, &b.low.y, &b.low.z}, *high[3] = {&b.high.x, &b.high.y, &b.high.z};
      for (int i = 0; i < 3; ++i) {
        *low[i] = b.empty ? v[i] : std::fmin(*low[i], v[i]);
        *high[i] = b.empty ? v[i] : std::fmax(*high[i], v[i]);
      }
      b.empty = false;
    }
  }
  return facts;
}

long ModelFile::polygon_count(unsigned index) const {
  return index < mesh_count() ? facts(index).polygons : 0;
}

MeshBounds ModelFile::bounds(unsigned index) const {
  return index < mesh_count() ? facts(index).bounds : MeshBounds{};
}

const aiMaterial *ModelFile::material_of(unsigned mesh_index) const {
  const aiMesh *m = mesh(mesh_index);
  if (m == nullptr || scene_->mMaterials == nullptr || m->mMaterialIndex >= scene_->mNumMaterials)
    return nullptr;
  return scene_->mMaterials[m->mMaterialIndex];
}

VYobject *ModelFile::build_mesh(unsigned index, const oku::Mat3 &shape, ZAL_COLOR colour,
                                std::string &error) const {
  const aiMesh *m = mesh(index);
  const long polygons = index < mesh_count() ? polygon_count(index) : 0;
  if (m == nullptr || polygons == 0) {
    error = "mesh " + std::to_string(index) + " of the file holds no polygons";
    return nullptr;
  }
  MeshPtr out(VYobject_create());
  if (!out) {
    error = "out of memory";
    return nullptr;
  }
  try {
    PartBuilder(*m, shape, *out).add_faces(colour, polygons);
  } catch (const std::bad_alloc &) {
    error = "out of memory";
    return nullptr;
  }
  if (out->polygon_count() != polygons) {
    error = "out of memory";
    return nullptr;
  }
  return out.release();
}

void ModelFile::release_mesh(unsigned index) {
  if (index >= mesh_count())
    return;
  facts(index); // kept
  // The scene is the importer's, which deletes what is left of it.
  aiMesh *&mesh = const_cast<aiScene *>(scene_)->mMeshes[index];
  delete mesh;
  mesh = nullptr;
  // The faces were many small blocks: their pages go back to the system
  // rather than wait for blocks of the same size.
  malloc_trim(0);
}

} // namespace bf
