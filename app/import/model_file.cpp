// Reading a model file through Assimp, and its meshes into host meshes.
#include "app/import/model_file.h"
#include "core/ascii_text.h"

#include "app/import/import_parts.h"
#include "app/import/load_progress.h"
#include "app/scene/scene_build.h"
#include "oku/assimp_corners.h"
#include "oku/model_read.h"
#include "oku/part_io.h"
#include "vy/mesh_store.h"

#include <assimp/ProgressHandler.hpp>
#include <assimp/config.h>

#include <malloc.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

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
      if (!oku::usable_face(face, mesh_.mNumVertices))
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
    const size_t n = zal::utf8_sequence(text.data(), text.size(), i);
    if (n == 0 || (c < 0x20 && c != '\t')) {
      text[i++] = '?';
      continue;
    }
    i += n;
  }
  return text;
}

std::shared_ptr<ModelFile> ModelFile::open(const std::string &path, std::string &error) {
  error = why_unreadable(path);
  if (!error.empty())
    return nullptr;
  const size_t first_read = oku::named_files_read().size();
  auto model = std::shared_ptr<ModelFile>(new ModelFile());
  model->path_ = path;
  model->importer_ = std::make_unique<Assimp::Importer>();
  Assimp::Importer &importer = *model->importer_;
  {
    ReadProgress progress(path);
    ProgressLease lease(importer, progress);
    const std::string type = zal::ascii_lower(std::filesystem::path(path).extension().string());
    model->scene_ = oku::read_model(importer, path, type.empty() ? type : type.substr(1), error);
  }
  if (model->scene_ == nullptr) {
    error = "cannot import: " + error;
    return nullptr;
  }
  model->facts_.resize(model->mesh_count());
  model->note_images();
  model->hold_images();
  warn_reads_outside(first_read);
  return model;
}

// Every image file that the model's materials name: inputs, as the files
// Assimp opened for it.
void ModelFile::note_images() const {
  for (unsigned i = 0; scene_->mMaterials != nullptr && i < scene_->mNumMaterials; ++i) {
    const aiMaterial *m = scene_->mMaterials[i];
    for (int type = 0; m != nullptr && type <= AI_TEXTURE_TYPE_MAX; ++type) {
      const auto kind = static_cast<aiTextureType>(type);
      for (unsigned k = 0, n = std::min(m->GetTextureCount(kind), 64u); k < n; ++k) {
        aiString name;
        if (m->GetTexture(kind, k, &name) != AI_SUCCESS || name.length == 0 || name.data[0] == '*')
          continue;
        const std::string file = image_path(ai_text(name));
        if (!file.empty())
          oku::note_named_file(file, path_);
      }
    }
  }
}

std::string ModelFile::image_path(std::string name) const {
  for (char &c : name)
    if (c == '\\')
      c = '/';
  const std::filesystem::path directory = std::filesystem::path(path_).parent_path();
  const std::filesystem::path path =
      std::filesystem::path(name).is_absolute() ? std::filesystem::path(name) : directory / name;
  std::error_code ec;
  if (std::filesystem::is_regular_file(path, ec))
    return path.string();
  // A path of the author's machine: the file of that name beside the model,
  // its case aside (3DS files name "IMAGE.JPG" for image.jpg).
  const std::string base = zal::ascii_lower(std::filesystem::path(name).filename().string());
  for (std::filesystem::directory_iterator it(directory, ec), end; !base.empty() && !ec && it != end;
       it.increment(ec))
    if (zal::ascii_lower(it->path().filename().string()) == base &&
        std::filesystem::is_regular_file(it->path(), ec))
      return it->path().string();
  return "";
}

void warn_reads_outside(size_t first) {
  const std::vector<oku::NamedFileRead> &reads = oku::named_files_read();
  for (size_t i = first; i < reads.size(); ++i)
    if (reads[i].outside)
      import::report_warning(
          reads[i].by + " reads \"" + reads[i].path +
          "\", outside its own folder; a model from others may read any file the user can");
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
    if (!oku::usable_face(face, m->mNumVertices))
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
  // A glTF file's vertex colours are linear light, as its materials' are.
  oku::set_corner_data(*m, *out, VYobject_corner_count(out.get()),
                       {colour, import::is_gltf(*this) ? import::display_value : nullptr});
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
