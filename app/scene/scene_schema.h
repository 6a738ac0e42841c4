// The keys of the scene file, each once: its name, its type, the range the
// loader holds its numbers to, the value taken when it is left out and a
// line of documentation. The loader checks keys and ranges by it, the import
// writes the names it holds, and the format reference's key tables are made
// from it.
#pragma once

#include "app/scene/json_value.h"

#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

namespace bf::scene_keys {

constexpr double kUnbounded = std::numeric_limits<double>::infinity();

// Numbers from `low` to `high`; with `open`, both ends left out.
struct Range {
  double low = -kUnbounded, high = kUnbounded;
  bool open = false;
  bool limited() const { return low > -kUnbounded || high < kUnbounded; }
};

struct Key {
  const char *name;
  const char *type; // as the format reference names it: "number", "colour"...
  Range range;
  // The value taken when the key is left out, as JSON text ("[0, 0, 0]",
  // "1", "\"\""), or words when it is no single value ("derived"); "" when
  // there is nothing to say.
  const char *fallback;
  const char *doc;
};

// The keys that one JSON object of the scene file may hold.
struct Table {
  const char *name;
  std::vector<const Key *> keys;
};

// The keys, by the object that holds them.
namespace top {
extern const Key environment, viewpoint, root;
}
namespace environment {
extern const Key background, ambient;
}
namespace node {
extern const Key type, name, id, active, visible, opacity, position, rotation, look_at, sky, color, specular,
    emission, shininess, reflectivity, kind, intensity, fade_distance, cone_angle, exponent, standby,
    view_angle, geometry, pivot, texture, orientation, euler, midpoint, radius, animation, children;
}
namespace animation { // keyed values of a node over time
extern const Key position, rotation, interpolation;
}
namespace part { // a part file, or one mesh of a model file
extern const Key part, part_type, part_label, part_params, part_mesh, part_transform;
}
namespace mesh { // a mesh held in the scene file, and its polygons
extern const Key mesh, vertices, normals, polygons, v, n, color, uv, colors;
}
namespace primitive {
extern const Key primitive, size, radius, height, width;
}
namespace texture {
extern const Key image, active, type, method, quality, mapping, scale, position, angle, wrap, grid_position,
    grid_angles;
}

extern const Table kTop, kEnvironment, kNode, kPartFile, kModelPart, kMeshEntry, kMesh, kPolygon, kPrimitive,
    kTexture, kAnimation;
// Every table above.
const std::vector<const Table *> &all_tables();

// Fails with "unknown key" at the first key of `ref` (an object) that none
// of `tables` holds.
void expect_keys(const JsonRef &ref, std::initializer_list<const Table *> tables);
// A number or an integer within the key's range.
float read_float(const JsonRef &ref, const Key &key);
int read_int(const JsonRef &ref, const Key &key);
// Whether `value` is the one the loader takes when `key` is left out.
bool is_fallback(const Key &key, const nlohmann::ordered_json &value);
// The row of the format reference's key table for `key`.
std::string doc_row(const Key &key);

} // namespace bf::scene_keys
