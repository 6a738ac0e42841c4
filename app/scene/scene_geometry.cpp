// Scene-file geometry entries (part files, inline meshes, primitives) and
// textures.
#include "app/import/model_file.h"
#include "app/scene/scene_build.h"
#include "app/scene/scene_schema.h"

#include "core/ascii_text.h"
#include "oku/part_io.h"
#include "vy/image_bounds.h"
#include "vy/image_bytes.h"
#include "vy/mesh.h"
#include "vy/mesh_store.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

namespace bf {

namespace {

namespace part_key = scene_keys::part;
namespace mesh_key = scene_keys::mesh;
namespace primitive_key = scene_keys::primitive;
namespace texture_key = scene_keys::texture;

// Positions or normals of a mesh being built, each value added once.
class TripleTable {
public:
  TripleTable(VYobject *mesh, int (*add)(VYobject *, float, float, float)) : mesh_(mesh), add_(add) {}
  int index_of(const float v[3]) {
    Key key;
    std::memcpy(key.bits.data(), v, sizeof key.bits); // exact bits: 0 and -0 stay apart
    const auto [it, added] = indices_.try_emplace(key, 0);
    if (added)
      it->second = add_(mesh_, v[0], v[1], v[2]);
    return it->second;
  }

private:
  struct Key {
    std::array<uint32_t, 3> bits;
    bool operator==(const Key &o) const { return bits == o.bits; }
  };
  struct Hash {
    size_t operator()(const Key &k) const {
      return (static_cast<size_t>(k.bits[0]) * 0x9E3779B97F4A7C15ull) ^ (k.bits[1] * 0xC2B2AE3D27D4EB4Full) ^
             k.bits[2];
    }
  };
  VYobject *mesh_;
  int (*add_)(VYobject *, float, float, float);
  std::unordered_map<Key, int, Hash> indices_;
};

// A copy of a mesh's polygons, colours, positions, normals and corner data
// (not its pivot, which belongs to the object that uses it).
VYobject *copy_mesh(VYobject *from) {
  VYobject *to = VYobject_create();
  if (to == nullptr)
    return nullptr;
  TripleTable positions(to, VYobject_add_position), normals(to, VYobject_add_normal);
  VYpolygon cursor;
  VYpolygon_initpoly(cursor, from);
  while (VYpolygon_nextpoly(cursor, cursor)) {
    ZAL_COLOR c;
    VYpolygon_getcolor(cursor, c.r, c.g, c.b);
    VYobject_begin_polygon(to, c);
    const int n = VYpolygon_nvertices(cursor);
    for (int k = 0; k < n; ++k) {
      VYvertex *v = VYpolygon_getvertex(cursor, k);
      float p[3], nrm[3];
      VYvertex_getposition(v, p, 0);
      const int normal = VYvertex_getnormal(v, nrm, 0) ? normals.index_of(nrm) : -1;
      VYobject_add_corner(to, positions.index_of(p), normal);
    }
  }
  // The corners are the same, in the same order.
  try {
    to->uvs = from->uvs;
    to->has_uv = from->has_uv;
    to->corner_colours = from->corner_colours;
  } catch (const std::bad_alloc &) {
    VYobject_destroy(to);
    return nullptr;
  }
  return to;
}

bool same_bits(const ZAL_VECT3 &a, const ZAL_VECT3 &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The mesh of a part file for an object with this pivot: shared with the
// objects that use the same part with the same pivot, copied from another
// user's mesh for a new pivot, read from the file on first use. Null with a
// message in `error` when the file cannot be read.
std::shared_ptr<VYobject> part_mesh(LoaderFactory &factory, const std::string &type, const std::string &path,
                                    const std::string &params, const ZAL_VECT3 &pivot, LoadContext &context,
                                    std::string &error) {
  auto &users = context.parts[{zal::ascii_lower(type), path}];
  for (const auto &user : users)
    if (same_bits(user.pivot, pivot))
      return user.mesh;
  VYobject *loaded =
      users.empty() ? factory.load(path.c_str(), params.c_str(), error) : copy_mesh(users.front().mesh.get());
  if (loaded == nullptr) {
    if (error.empty())
      error = "out of memory";
    return nullptr;
  }
  std::shared_ptr<VYobject> mesh(loaded, VYobject_destroy);
  VYobject_set_pivot(loaded, pivot.x, pivot.y, pivot.z);
  users.push_back({pivot, mesh});
  return mesh;
}

void load_part(const JsonRef &ref, _object *node, const ZAL_VECT3 &pivot, LoadContext &context) {
  if (ref.get(part_key::part_mesh.name)) {
    load_model_part(ref, node, pivot, context);
    return;
  }
  scene_keys::expect_keys(ref, {&scene_keys::kPartFile});
  const JsonRef file_ref = ref.member(part_key::part.name);
  const std::string file = read_string(file_ref);
  if (file.empty())
    file_ref.fail("must not be empty");
  const std::string path = context.absolute(file);
  std::string type;
  const auto type_ref = ref.get(part_key::part_type.name);
  if (type_ref) {
    type = read_string(*type_ref);
  } else {
    type = std::filesystem::path(path).extension().string();
    if (type.empty())
      file_ref.fail("the file name has no extension; give \"part_type\"");
    type.erase(0, 1);
  }
  LoaderFactory *factory = loader_get_factory(type.c_str());
  if (factory == nullptr)
    (type_ref ? *type_ref : file_ref).fail("no loader for part type \"" + type + "\"");
  _part_info info = read_part_info(ref, type);

  std::string error;
  const bool first_use = context.parts.count({zal::ascii_lower(type), path}) == 0;
  const size_t first_read = oku::named_files_read().size();
  const std::shared_ptr<VYobject> mesh = part_mesh(*factory, type, path, info.params_, pivot, context, error);
  if (mesh == nullptr)
    file_ref.fail("cannot load \"" + path + "\": " + error + slash_hint(file));
  warn_reads_outside(first_read);
  if (first_use && !VYobject_has_area(mesh.get()))
    file_ref.warn("\"" + path +
                  "\" holds no polygon with an area; the part is saved empty and draws nothing");
  _geometry *geometry = scene_add_geometry(node);
  geometry->share_mesh(mesh);
  geometry->set_part_file(path);
  geometry->part_info() = info;
}

// Index `ref` into a table of `count` entries.
int read_index(const JsonRef &ref, size_t count, const char *what) {
  const int index = read_int(ref);
  if (index < 0 || static_cast<size_t>(index) >= count)
    ref.fail(std::string(what) + " index out of range");
  return index;
}

void load_polygon(const JsonRef &ref, VYobject *mesh, size_t positions, size_t normals) {
  scene_keys::expect_keys(ref, {&scene_keys::kPolygon});
  const JsonRef v = ref.member(mesh_key::v.name);
  const size_t corners = v.expect_array();
  // The module writes a polygon as a fan of triangles; fewer than three
  // corners make no surface.
  if (corners < 3)
    v.fail("a polygon needs at least 3 corners");
  const auto n = ref.get(mesh_key::n.name), uv = ref.get(mesh_key::uv.name),
             colors = ref.get(mesh_key::colors.name);
  for (const auto &[list, key] :
       {std::pair{&n, &mesh_key::n}, {&uv, &mesh_key::uv}, {&colors, &mesh_key::colors}})
    if (*list && (*list)->expect_array() != corners)
      (*list)->fail("\"" + std::string(key->name) + "\" must have as many entries as \"v\"");
  VYobject_begin_polygon(mesh, ref.get(mesh_key::color.name) ? read_colour(ref.member(mesh_key::color.name))
                                                             : ZAL_COLOR{1, 1, 1});
  const long first = VYobject_corner_count(mesh);
  for (size_t k = 0; k < corners; ++k) {
    const int position = read_index(v.element(k), positions, "vertex");
    int normal = -1;
    if (n && !n->element(k).value().is_null()) // null: this corner has no normal
      normal = read_index(n->element(k), normals, "normal");
    VYobject_add_corner(mesh, position, normal);
    const long corner = first + static_cast<long>(k);
    if (uv) {
      const ZAL_VECT2 t = read_vec2(uv->element(k));
      VYobject_set_corner_uv(mesh, corner, t.x, t.y);
    }
    if (colors)
      VYobject_set_corner_colour(mesh, corner, read_colour(colors->element(k)));
  }
}

void load_mesh(const JsonRef &ref, _object *node, const ZAL_VECT3 &pivot) {
  scene_keys::expect_keys(ref, {&scene_keys::kMeshEntry});
  const JsonRef m = ref.member(mesh_key::mesh.name);
  scene_keys::expect_keys(m, {&scene_keys::kMesh});
  MeshPtr mesh(VYobject_create());
  size_t positions = 0, normals = 0;
  if (auto vertices = m.get(mesh_key::vertices.name)) {
    positions = vertices->expect_array();
    for (size_t i = 0; i < positions; ++i) {
      const ZAL_VECT3 p = read_vec3(vertices->element(i));
      VYobject_add_position(mesh.get(), p.x, p.y, p.z);
    }
  }
  if (auto list = m.get(mesh_key::normals.name)) {
    normals = list->expect_array();
    for (size_t i = 0; i < normals; ++i) {
      const ZAL_VECT3 n = read_vec3(list->element(i));
      VYobject_add_normal(mesh.get(), n.x, n.y, n.z);
    }
  }
  if (auto polygons = m.get(mesh_key::polygons.name)) {
    const size_t count = polygons->expect_array();
    for (size_t i = 0; i < count; ++i)
      load_polygon(polygons->element(i), mesh.get(), positions, normals);
  }
  VYobject_set_pivot(mesh.get(), pivot.x, pivot.y, pivot.z);
  scene_add_geometry(node)->set_mesh(mesh.release());
}

const std::pair<const char *, int> kPrimitives[] = {
    {"box", 0}, {"cone", 1}, {"cylinder", 2}, {"sphere", 3}, {"rectangle", 4}};

int read_primitive_kind(const JsonRef &ref) {
  if (ref.value().is_number_integer())
    return read_int(ref);
  const std::string name = read_string(ref);
  for (const auto &[known, kind] : kPrimitives)
    if (name == known)
      return kind;
  ref.fail("unknown primitive \"" + name +
           "\" (expected box, cone, cylinder, sphere, rectangle or an integer)");
}

// The host geometry of a primitive: no polygons, the bounds of the shape as
// the module writes it (any kind outside 0 to 4 is written as a sphere).
void set_primitive_bounds(VYobject *mesh, const GeomParams &p) {
  float low[3], high[3];
  switch (p.kind) {
  case 0:
    low[0] = -p.size_x / 2, low[1] = -p.size_y / 2, low[2] = -p.size_z / 2;
    high[0] = p.size_x / 2, high[1] = p.size_y / 2, high[2] = p.size_z / 2;
    break;
  case 1:
  case 2:
    low[0] = -p.radius, low[1] = 0, low[2] = -p.radius;
    high[0] = p.radius, high[1] = p.height, high[2] = p.radius;
    break;
  case 4:
    low[0] = -p.width / 2, low[1] = -p.height / 2, low[2] = 0;
    high[0] = p.width / 2, high[1] = p.height / 2, high[2] = 0;
    break;
  default:
    low[0] = low[1] = low[2] = -p.radius;
    high[0] = high[1] = high[2] = p.radius;
  }
  VYobject_set_bounds(mesh, low, high);
}

// Unset sizes give shapes that fit the unit cube.
void load_primitive(const JsonRef &ref, _object *node, const ZAL_VECT3 &pivot) {
  scene_keys::expect_keys(ref, {&scene_keys::kPrimitive});
  if (node->params)
    ref.fail("an object holds at most one primitive");
  GeomParams p{read_primitive_kind(ref.member(primitive_key::primitive.name)), 0, 1, 1, 1, 0.5f, 1, 1};
  if (auto v = ref.get(primitive_key::size.name)) {
    const ZAL_VECT3 s = read_vec3(*v);
    for (size_t i = 0; i < 3; ++i)
      read_float(v->element(i), primitive_key::size);
    p.size_x = s.x, p.size_y = s.y, p.size_z = s.z;
  }
  if (auto v = ref.get(primitive_key::radius.name))
    p.radius = read_float(*v, primitive_key::radius);
  if (auto v = ref.get(primitive_key::height.name))
    p.height = read_float(*v, primitive_key::height);
  if (auto v = ref.get(primitive_key::width.name))
    p.width = read_float(*v, primitive_key::width);
  MeshPtr mesh(VYobject_create());
  set_primitive_bounds(mesh.get(), p);
  VYobject_set_pivot(mesh.get(), pivot.x, pivot.y, pivot.z);
  scene_add_geometry(node)->set_mesh(mesh.release());
  scene_set_params(node, p);
}

void load_entry(const JsonRef &ref, _object *node, const ZAL_VECT3 &pivot, LoadContext &context) {
  if (!ref.value().is_object())
    ref.fail("expected an object");
  const int kinds = !!ref.get(part_key::part.name) + !!ref.get(mesh_key::mesh.name) +
                    !!ref.get(primitive_key::primitive.name);
  if (kinds == 0)
    ref.fail("expected one of \"part\", \"mesh\" or \"primitive\"");
  if (kinds > 1)
    ref.fail("give only one of \"part\", \"mesh\" and \"primitive\"");
  if (ref.get(part_key::part.name))
    load_part(ref, node, pivot, context);
  else if (ref.get(mesh_key::mesh.name))
    load_mesh(ref, node, pivot);
  else
    load_primitive(ref, node, pivot);
}

// 0 for "projection", 1 for "uv" (SceneTexture::mapping).
int read_mapping(const JsonRef &ref) {
  const std::string name = read_string(ref);
  if (name != "projection" && name != "uv")
    ref.fail("expected \"projection\" or \"uv\"");
  return name == "uv" ? 1 : 0;
}

// "repeat", "mirror" or "clamp" along u and v (SceneTexture::wrap).
void read_wrap(const JsonRef &ref, int out[2]) {
  static const char *const kNames[] = {"repeat", "mirror", "clamp"};
  if (!ref.value().is_array() || ref.value().size() != 2)
    ref.fail("expected [u, v], each \"repeat\", \"mirror\" or \"clamp\"");
  for (int axis = 0; axis < 2; ++axis) {
    const JsonRef item = ref.element(axis);
    const std::string name = read_string(item);
    const auto known = std::find(std::begin(kNames), std::end(kNames), name);
    if (known == std::end(kNames))
      item.fail("expected \"repeat\", \"mirror\" or \"clamp\"");
    out[axis] = static_cast<int>(known - std::begin(kNames));
  }
}

// Why the image at `path` cannot be used as a texture; "" when it can.
std::string image_problem(const std::string &path) {
  if (vy_registered_image_bytes(path.c_str()) != nullptr) // a picture inside a model part
    return vy_image_readable(path.c_str()) ? "" : vy_image_reader_failure();
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (status.type() == std::filesystem::file_type::not_found)
    return "no such file";
  if (ec)
    return ec.message();
  if (status.type() != std::filesystem::file_type::regular)
    return "not a regular file";
  // The checks of the reader that the module's conversion uses, without
  // decoding: the conversion reads the pixels once. It opens only a regular
  // file, without waiting, and refuses cut-off files and pictures beyond
  // the pixel budget, saying why.
  return vy_image_readable(path.c_str()) ? "" : vy_image_reader_failure();
}

void check_image(const JsonRef &ref, const std::string &path) {
  const std::string problem = image_problem(path);
  if (!problem.empty())
    ref.warn("cannot read \"" + path + "\": " + problem +
             "; the texture is written commented out unless its Targa file is already there");
}

} // namespace

_part_info read_part_info(const JsonRef &ref, const std::string &type) {
  _part_info info;
  info.type_ = type;
  if (auto v = ref.get(part_key::part_label.name))
    info.name_ = read_string(*v);
  if (auto v = ref.get(part_key::part_params.name))
    info.params_ = read_string(*v);
  return info;
}

void load_geometry(const JsonRef &ref, _object *node, const ZAL_VECT3 &pivot, LoadContext &context) {
  if (ref.value().is_object()) {
    load_entry(ref, node, pivot, context);
    return;
  }
  if (!ref.value().is_array())
    ref.fail("expected an object or an array");
  for (size_t i = 0; i < ref.value().size(); ++i)
    load_entry(ref.element(i), node, pivot, context);
}

std::string slash_hint(const std::string &file) {
  return file.find('\\') == std::string::npos ? "" : " (paths in a scene file use forward slashes: a/b.obj)";
}

void load_texture(const JsonRef &ref, _object *node, LoadContext &context) {
  scene_keys::expect_keys(ref, {&scene_keys::kTexture});
  SceneTexture &t = node->texture;
  node->has_texture = true;
  if (auto v = ref.get(texture_key::image.name)) {
    t.image = read_string(*v);
    if (!t.image.empty()) { // an empty name stays empty
      t.image = context.absolute(t.image);
      if (context.checked_images.insert(t.image).second)
        check_image(*v, t.image);
    }
  }
  if (auto v = ref.get(texture_key::active.name))
    t.active = read_int(*v, texture_key::active);
  if (auto v = ref.get(texture_key::type.name))
    t.type = read_int(*v);
  if (auto v = ref.get(texture_key::method.name))
    t.method = read_int(*v);
  if (auto v = ref.get(texture_key::quality.name))
    t.quality = read_int(*v);
  if (auto v = ref.get(texture_key::mapping.name))
    t.mapping = read_mapping(*v);
  if (auto v = ref.get(texture_key::scale.name))
    t.scale = read_vec2(*v);
  if (auto v = ref.get(texture_key::position.name))
    t.position = read_vec2(*v);
  if (auto v = ref.get(texture_key::angle.name))
    t.angle = read_float(*v);
  if (auto v = ref.get(texture_key::wrap.name)) {
    read_wrap(*v, t.wrap);
    if (t.mapping != 1 && (t.wrap[0] != 0 || t.wrap[1] != 0))
      v->fail("needs \"mapping\": \"uv\"");
  }
  if (auto v = ref.get(texture_key::grid_position.name))
    t.grid_position = read_vec3(*v);
  if (auto v = ref.get(texture_key::grid_angles.name))
    t.grid_angles = read_vec3(*v);
}

} // namespace bf
