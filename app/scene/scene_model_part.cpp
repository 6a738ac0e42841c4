// Geometry entries that name one mesh of a model file: { "part": FILE,
// "part_mesh": N, "part_transform": [[...], [...], [...]] }. The file is
// read once per scene load; each mesh once per shape and pivot.
#include "app/import/import_parts.h"
#include "app/import/load_progress.h"
#include "app/scene/scene_build.h"
#include "app/scene/scene_schema.h"

#include "vy/mesh.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>

namespace bf {

namespace {

namespace part_key = scene_keys::part;

std::string bits_of(const void *data, size_t size) {
  return std::string(static_cast<const char *>(data), size);
}

// The part type, which names the part's include file through its loader.
std::string part_type(const JsonRef &ref, const JsonRef &file_ref, const std::string &path) {
  if (auto v = ref.get(part_key::part_type.name))
    return read_string(*v);
  std::string type = std::filesystem::path(path).extension().string();
  if (type.empty())
    file_ref.fail("the file name has no extension; give \"part_type\"");
  return type.substr(1);
}

oku::Mat3 read_transform(const JsonRef &ref) {
  if (ref.expect_array() != 3)
    ref.fail("expected three rows of three numbers");
  oku::Mat3 m;
  for (size_t i = 0; i < 3; ++i) {
    const ZAL_VECT3 row = read_vec3(ref.element(i));
    m.m[i][0] = row.x, m.m[i][1] = row.y, m.m[i][2] = row.z;
  }
  return m;
}

ModelFile &model_of(const JsonRef &file_ref, const std::string &path, LoadContext &context) {
  auto &slot = context.models[path];
  if (!slot) {
    std::string error;
    slot = ModelFile::open(path, error);
    if (!slot) {
      context.models.erase(path);
      file_ref.fail("cannot load \"" + path + "\": " + error.substr(error.find(": ") + 2) +
                    slash_hint(file_ref.value().get<std::string>()));
    }
  }
  return *slot;
}

} // namespace

// The parts that a document's entries will build, per model file and mesh:
// entries of one mesh with the same transform and pivot share a part. The
// loader checks each entry when it gets there; this only counts.
void count_model_parts(const json &document, LoadContext &context) {
  std::set<std::string> parts;
  std::vector<const json *> pending{&document};
  while (!pending.empty()) {
    const json &value = *pending.back();
    pending.pop_back();
    if (value.is_object() && value.contains("geometry")) {
      const json &geometry = value["geometry"];
      const std::string pivot = value.contains("pivot") ? value["pivot"].dump() : "";
      for (const json &entry : geometry.is_array() ? geometry : json::array({geometry})) {
        if (!entry.is_object() || !entry.contains("part_mesh") || !entry.contains("part"))
          continue;
        const json &part = entry["part"], &mesh = entry["part_mesh"];
        if (!part.is_string() || !mesh.is_number_integer())
          continue;
        const std::string path = context.absolute(part.get<std::string>());
        const std::string shape = entry.contains("part_transform") ? entry["part_transform"].dump() : "";
        if (parts.insert(path + '\n' + mesh.dump() + '\n' + shape + '\n' + pivot).second)
          ++context.model_uses[{path, mesh.get<int>()}], ++context.model_parts_total;
      }
    }
    if (value.is_structured())
      for (const json &child : value)
        pending.push_back(&child);
  }
}

void load_model_part(const JsonRef &ref, _object *node, const ZAL_VECT3 &pivot, LoadContext &context) {
  scene_keys::expect_keys(ref, {&scene_keys::kPartFile, &scene_keys::kModelPart});
  const JsonRef file_ref = ref.member(part_key::part.name);
  const std::string file = read_string(file_ref);
  if (file.empty())
    file_ref.fail("must not be empty");
  const std::string path = context.absolute(file);
  const std::string type = part_type(ref, file_ref, path);
  if (loader_get_factory(type.c_str()) == nullptr)
    (ref.get(part_key::part_type.name) ? *ref.get(part_key::part_type.name) : file_ref)
        .fail("no loader for part type \"" + type + "\"");
  const JsonRef mesh_ref = ref.member(part_key::part_mesh.name);
  const int index = read_int(mesh_ref);
  oku::Mat3 shape;
  if (auto v = ref.get(part_key::part_transform.name))
    shape = read_transform(*v);
  _part_info info = read_part_info(ref, type);

  ModelFile &model = model_of(file_ref, path, context);
  if (index < 0 || model.polygon_count(static_cast<unsigned>(index)) == 0)
    mesh_ref.fail("\"" + path + "\" holds no mesh " + std::to_string(index) + " with polygons");
  std::string key = path + '\n' + bits_of(&index, sizeof index) + bits_of(&pivot, sizeof pivot);
  for (const auto &row : shape.m)
    key += bits_of(row, sizeof row);
  std::shared_ptr<VYobject> &mesh = context.model_parts[key];
  if (mesh == nullptr) {
    context.model_polygons += model.polygon_count(static_cast<unsigned>(index));
    if (context.model_polygons > kMaxImportPolygons)
      mesh_ref.fail("the scene's model parts hold more than " + std::to_string(kMaxImportPolygons) +
                    " polygons");
    std::string error;
    mesh.reset(model.build_mesh(static_cast<unsigned>(index), shape,
                                import::polygon_colour(model, static_cast<unsigned>(index)), error),
               VYobject_destroy);
    if (mesh == nullptr) {
      context.model_parts.erase(key);
      file_ref.fail("cannot load mesh " + std::to_string(index) + " of \"" + path + "\": " + error);
    }
    import::paint_vertex_colours(model, static_cast<unsigned>(index), *mesh);
    if (!VYobject_has_area(mesh.get()))
      file_ref.warn("mesh " + std::to_string(index) + " of \"" + path +
                    "\" holds no polygon with an area; the part is saved empty and draws nothing");
    VYobject_set_pivot(mesh.get(), pivot.x, pivot.y, pivot.z);
    // Its last part built, the file's mesh is not needed any more.
    if (!context.model_progress)
      context.model_progress = std::make_shared<LoadProgress>("building the model's parts");
    context.model_progress->update(static_cast<double>(++context.model_parts_built) /
                                   static_cast<double>(std::max(1L, context.model_parts_total)));
    const auto parts = context.model_uses.find({path, index});
    if (parts != context.model_uses.end() && --parts->second == 0)
      model.release_mesh(static_cast<unsigned>(index));
  }
  _geometry *geometry = scene_add_geometry(node);
  geometry->share_mesh(mesh);
  geometry->set_part_file(path);
  geometry->part_info() = info;
}

} // namespace bf
