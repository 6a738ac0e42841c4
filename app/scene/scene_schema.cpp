// The scene file's keys. Every row of the format reference's key tables is
// made from these; the tables' order is the reference's.
#include "app/scene/scene_schema.h"

#include <climits>
#include <cstdio>

namespace bf::scene_keys {

namespace {

constexpr Range kNonNegative{0, kUnbounded, false};

std::string number_text(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

} // namespace

namespace top {
const Key environment{"environment", "object", {}, "", "see below"};
const Key viewpoint{"viewpoint",
                    "string",
                    {},
                    "the first camera in tree order",
                    "the name of exactly one camera to view through"};
const Key root{"root", "the root node", {}, "an empty root", "its `type`, if given, must be \"root\""};
} // namespace top

namespace environment {
const Key background{
    "background", "colour", {}, "[0, 0, 0]", "the picture's background (a root `color` overrides it)"};
const Key ambient{"ambient", "number", kNonNegative, "0.2", "the ambient light level"};
} // namespace environment

namespace node {
const Key type{"type",
               "\"group\", \"object\", \"light\", \"camera\", or an integer for any other node type",
               {},
               "\"root\" at the top",
               "required below the root; \"root\" only at the top"};
const Key name{"name", "string", {}, "\"\"", ""};
const Key id{"id", "integer", {}, "0", ""};
const Key active{"active", "flag", {}, "1", "0 leaves an object or light out of the scene"};
const Key visible{"visible", "flag", {}, "1", "0 hides an object (it is written commented out)"};
const Key opacity{"opacity", "number", {0, 1, false}, "1", "0 clear, 1 opaque"};
const Key position{"position", "point", {}, "[0, 0, 0]", "relative to the parent"};
const Key rotation{"rotation", "`[ex, ey, ez]`", {}, "[0, 0, 0]", "degrees; not with `look_at`"};
const Key look_at{
    "look_at", "point", {}, "none", "where the node points, in the scene frame (cameras and lights)"};
const Key sky{"sky", "point", {}, "[0, 1, 0]", "the up direction with `look_at` (needs `look_at`)"};
const Key color{"color",
                "colour",
                {},
                "objects: the part's own polygon colours, else white; lights: white",
                "objects; the root's is the background; lights' is their colour"};
const Key specular{"specular", "colour", {}, "[0, 0, 0]", "the highlight (its red value is the strength)"};
const Key emission{"emission", "colour", {}, "[0, 0, 0]", "light the surface gives off"};
const Key shininess{"shininess", "number", {}, "0", "the size of the highlight (POV-Ray's `phong_size`)"};
const Key reflectivity{"reflectivity", "number", {}, "0", "0 to 1 in practice"};
const Key kind{"kind", "\"point\", \"spot\", \"distant\", or an integer", {}, "\"point\"", "a light's kind"};
const Key intensity{"intensity", "number", {}, "1", "a light's strength"};
const Key fade_distance{"fade_distance", "number", kNonNegative, "0",
                        "the distance at which a point or spot light has its `intensity`; nearer it is "
                        "brighter, farther dimmer, by the square of the distance (0: it does not fade; only "
                        "the POV-Ray 3.7 language writes it)"};
const Key cone_angle{"cone_angle", "number", {}, "30", "a spot light's cone, degrees"};
const Key exponent{"exponent", "number", {}, "1", "how a spot light fades towards its cone's edge"};
const Key standby{"standby",
                  "flag",
                  {},
                  "false",
                  "true keeps a camera out of the saved scene unless it is the `viewpoint` (how an imported "
                  "file keeps its other cameras)"};
// 0 or 180 degrees would make the camera's direction infinite or zero.
const Key view_angle{"view_angle", "number", {0, 180, true}, "45", "a camera's vertical view angle, degrees"};
const Key geometry{"geometry", "a geometry entry or a list of them", {}, "none", "objects, see below"};
const Key pivot{
    "pivot", "point", {}, "[0, 0, 0]", "the point of the geometry's own frame placed at `position`"};
const Key texture{"texture", "object", {}, "none", "see below"};
const Key orientation{"orientation",
                      "`[x, y, z, w]`",
                      {},
                      "derived",
                      "a unit quaternion that replaces the orientation derived from `rotation`"};
const Key euler{
    "euler", "`[ex, ey, ez]`", {}, "derived", "replaces the scene-frame angles derived from the placement"};
const Key midpoint{"midpoint", "point", {}, "derived", "replaces the derived centre of the node's contents"};
const Key radius{"radius", "number", kNonNegative, "derived",
                 "replaces the derived reach of the node's contents"};
const Key animation{"animation",
                    "object",
                    {},
                    "none",
                    "keyed positions and rotations over time, for `render --frames` (see below)"};
const Key children{"children", "list of nodes", {}, "[]", "at most 256 levels deep"};
} // namespace node

namespace animation {
const Key position{
    "position", "list of `[seconds, [x, y, z]]`", {}, "none", "keys of `position`, in ascending time"};
const Key rotation{"rotation",
                   "list of `[seconds, [x, y, z, w]]`",
                   {},
                   "none",
                   "keys of the rotation as unit quaternions (the usual matrix of the quaternion is the "
                   "node's rotation, as in glTF), in ascending time"};
const Key interpolation{
    "interpolation",
    "\"linear\" or \"step\"",
    {},
    "\"linear\"",
    "between keys: linear (rotations along the shorter arc), or each key held until the next"};
} // namespace animation

namespace part {
const Key part{"part", "string", {}, "", "the file's path (required)"};
const Key part_type{"part_type", "string", {}, "the file's extension", "the loader to use"};
const Key part_label{
    "part_label", "string", {}, "the file's name", "the part's name, which names its include file"};
const Key part_params{"part_params", "string", {}, "\"\"", "the part's parameter text"};
const Key part_mesh{"part_mesh", "integer", kNonNegative, "the whole file",
                    "the mesh of a model file, by Assimp's order"};
const Key part_transform{"part_transform",
                         "three rows of three numbers",
                         {},
                         "none",
                         "the scale and shear of the placement, applied to the mesh's points"};
} // namespace part

namespace mesh {
const Key mesh{"mesh", "object", {}, "", "required"};
const Key vertices{"vertices", "list of points", {}, "[]", ""};
const Key normals{"normals", "list of `[x, y, z]`", {}, "[]", ""};
const Key polygons{"polygons", "list of polygons", {}, "[]", ""};
const Key v{"v", "list of indices into `vertices`", {}, "required", "a polygon's corners, at least 3"};
const Key n{
    "n", "list of indices into `normals` (or `null`)", {}, "none", "a polygon's normals, one per corner"};
const Key color{"color", "colour", {}, "white", "a polygon's colour"};
const Key uv{"uv",
             "list of `[u, v]`",
             {},
             "none",
             "a polygon's texture coordinates, one per corner (u to the right, v up, [0, 0] the image's "
             "bottom left)"};
const Key colors{
    "colors", "list of colours", {}, "none", "a polygon's colours at its corners, one per corner"};
} // namespace mesh

namespace primitive {
const Key primitive{"primitive",
                    "\"box\", \"cone\", \"cylinder\", \"sphere\", \"rectangle\", or an integer",
                    {},
                    "required",
                    "the shape"};
const Key size{"size", "`[x, y, z]`", kNonNegative, "[1, 1, 1]", "a box's sizes"};
const Key radius{"radius", "number", kNonNegative, "0.5", "a cone's, cylinder's or sphere's radius"};
const Key height{"height", "number", kNonNegative, "1", "a cone's, cylinder's or rectangle's height"};
const Key width{"width", "number", kNonNegative, "1", "a rectangle's width"};
} // namespace primitive

namespace texture {
const Key image{"image", "string", {}, "\"\"", "the image's path (\"\" stays empty)"};
const Key active{"active", "integer", {0, 3, false}, "1", "1 the image map, 2 the bump map, 3 both, 0 none"};
const Key type{
    "type",
    "integer",
    {},
    "0",
    "1 shows the image once instead of repeating it (on the root: tiled instead of fitted); 2 leaves "
    "the texture out"};
const Key method{"method",
                 "integer",
                 {},
                 "0",
                 "the mapping, 0 planar, 1 cylindrical, 2 spherical (on the root: the side a fitted image is "
                 "pushed to, -1 or 1)"};
const Key quality{"quality",
                  "integer",
                  {},
                  "0",
                  "1 interpolates the image (on the root: as `method`, upwards or downwards)"};
const Key mapping{"mapping",
                  "\"projection\" or \"uv\"",
                  {},
                  "\"projection\"",
                  "how the image is laid on: projected by `method`, or by the mesh's texture coordinates "
                  "(`uv` of its polygons, or a model's)"};
const Key scale{"scale", "`[x, y]`", {}, "[1, 1]", "repeats per unit (with \"uv\": see below)"};
const Key position{"position", "`[x, y]`", {}, "[0, 0]", "the image's shift (with \"uv\": see below)"};
const Key angle{"angle", "number", {}, "0", "the image's turn, degrees (with \"uv\": see below)"};
const Key wrap{"wrap",
               "`[u, v]`, each \"repeat\", \"mirror\" or \"clamp\"",
               {},
               "[\"repeat\", \"repeat\"]",
               "with \"uv\": how the image continues beyond 0 to 1 along u and along v: repeated, "
               "mirrored every other time, or its edge pixels drawn out"};
const Key grid_position{"grid_position", "point", {}, "[0, 0, 0]", "the mapping's origin"};
const Key grid_angles{"grid_angles", "`[ex, ey, ez]`", {}, "[0, 0, 0]", "the mapping's turn"};
} // namespace texture

const Table kTop{"top", {&top::environment, &top::viewpoint, &top::root}};
const Table kEnvironment{"environment", {&environment::background, &environment::ambient}};
const Table kNode{"node", {&node::type,      &node::name,          &node::id,           &node::active,
                           &node::visible,   &node::opacity,       &node::position,     &node::rotation,
                           &node::look_at,   &node::sky,           &node::color,        &node::specular,
                           &node::emission,  &node::shininess,     &node::reflectivity, &node::kind,
                           &node::intensity, &node::fade_distance, &node::cone_angle,   &node::exponent,
                           &node::standby,   &node::view_angle,    &node::geometry,     &node::pivot,
                           &node::texture,   &node::orientation,   &node::euler,        &node::midpoint,
                           &node::radius,    &node::animation,     &node::children}};
const Table kPartFile{"part file", {&part::part, &part::part_type, &part::part_label, &part::part_params}};
const Table kModelPart{"model part", {&part::part_mesh, &part::part_transform}};
const Table kMeshEntry{"mesh entry", {&mesh::mesh}};
const Table kMesh{"mesh", {&mesh::vertices, &mesh::normals, &mesh::polygons}};
const Table kPolygon{"polygon", {&mesh::v, &mesh::n, &mesh::color, &mesh::uv, &mesh::colors}};
const Table kPrimitive{
    "primitive",
    {&primitive::primitive, &primitive::size, &primitive::radius, &primitive::height, &primitive::width}};
const Table kTexture{"texture",
                     {&texture::image, &texture::active, &texture::type, &texture::method, &texture::quality,
                      &texture::mapping, &texture::scale, &texture::position, &texture::angle, &texture::wrap,
                      &texture::grid_position, &texture::grid_angles}};
const Table kAnimation{"animation", {&animation::position, &animation::rotation, &animation::interpolation}};

const std::vector<const Table *> &all_tables() {
  static const std::vector<const Table *> tables{&kTop,       &kEnvironment, &kNode,     &kPartFile,
                                                 &kModelPart, &kMeshEntry,   &kMesh,     &kPolygon,
                                                 &kPrimitive, &kTexture,     &kAnimation};
  return tables;
}

void expect_keys(const JsonRef &ref, std::initializer_list<const Table *> tables) {
  if (!ref.value().is_object())
    ref.fail("expected an object");
  for (auto it = ref.value().begin(); it != ref.value().end(); ++it) {
    bool known = false;
    for (const Table *table : tables)
      for (const Key *key : table->keys)
        known = known || it.key() == key->name;
    if (!known)
      ref.member(it.key()).fail("unknown key");
  }
}

float read_float(const JsonRef &ref, const Key &key) {
  const Range &r = key.range;
  if (!r.limited())
    return bf::read_float(ref);
  if (r.low == 0 && r.high == kUnbounded && !r.open)
    return read_non_negative(ref);
  if (!r.open)
    return read_float_in(ref, static_cast<float>(r.low), static_cast<float>(r.high));
  const float v = bf::read_float(ref);
  if (!(v > r.low && v < r.high))
    ref.fail("must be more than " + number_text(r.low) + " and less than " + number_text(r.high));
  return v;
}

int read_int(const JsonRef &ref, const Key &key) {
  const Range &r = key.range;
  if (!r.limited())
    return bf::read_int(ref);
  return read_int_in(ref, static_cast<int>(r.low), r.high < INT_MAX ? static_cast<int>(r.high) : INT_MAX);
}

bool is_fallback(const Key &key, const nlohmann::ordered_json &value) {
  return value == nlohmann::ordered_json::parse(key.fallback, nullptr, false);
}

namespace {

std::string range_text(const Range &r) {
  if (r.open)
    return "more than " + number_text(r.low) + " and less than " + number_text(r.high);
  if (r.high == kUnbounded)
    return number_text(r.low) + " or more";
  return number_text(r.low) + " to " + number_text(r.high);
}

} // namespace

std::string doc_row(const Key &key) {
  std::string type = key.type;
  if (key.range.limited())
    type += ", " + range_text(key.range);
  if (*key.doc != '\0')
    type += std::string(": ") + key.doc;
  const std::string fallback = key.fallback;
  const bool list = !fallback.empty() && fallback.front() == '[';
  return "| `" + std::string(key.name) + "` | " + type + " | " + (list ? "`" + fallback + "`" : fallback) +
         " |";
}

} // namespace bf::scene_keys
