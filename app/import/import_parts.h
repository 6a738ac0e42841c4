// The pieces of a scene import: placement arithmetic, the tree walk,
// materials, cameras and lights. Internal to model_import*.cpp.
#pragma once

#include "app/import/model_import.h"
#include "app/scene/animation_keys.h"
#include "app/scene/scene_schema.h"

#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace bf::import {

using ojson = nlohmann::ordered_json;
// The scene file's keys that the import writes.
namespace top_key = scene_keys::top;
namespace environment_key = scene_keys::environment;
namespace node_key = scene_keys::node;
namespace part_key = scene_keys::part;
namespace texture_key = scene_keys::texture;
using oku::Mat3;
using oku::Vec3;

// "brightfold: warning: MESSAGE" on standard error.
void report_warning(const std::string &message);

// Whether the model is a glTF file (by its name): its colours are linear
// light, its cameras and spot lights come from Assimp's glTF reader.
bool is_gltf(const ModelFile &model);
// A linear colour value as the renderer's 3.0 dialect shows it, which
// applies no gamma: raised to 1 / 2.2.
double display_value(double linear);

// An affine placement: p -> l * p + t.
struct Affine {
  Mat3 l;
  Vec3 t;
};
Affine to_affine(const aiMatrix4x4 &m);
Affine compose(const Affine &outer, const Affine &inner);
bool finite(const Affine &a);
Vec3 place(const Affine &a, const Vec3 &p);

// Splits a linear map into a rotation and what is left: l = rotation *
// shape. A rotation without a mirror; a mirror stays in the shape. An
// identity shape is exactly the identity.
void split(const Mat3 &l, Mat3 &rotation, Mat3 &shape);

// A number as the scene file shows it: seven significant digits, no -0.
double tidy(double v);
// The same as JSON: a whole number without a fraction.
ojson number(double v);
ojson vec_json(const Vec3 &v);
ojson matrix_json(const Mat3 &m);
// [r, g, b] clamped into 0..1; false when a value is not a number.
bool colour_json(double r, double g, double b, ojson &out);

struct Bounds {
  Vec3 low, high;
  bool empty = true;
  void add(const Vec3 &p);
  Vec3 centre() const;
  double radius() const; // half the diagonal
};

// Where a node is: its world placement, for cameras and lights by name.
using NodePlaces = std::map<std::string, Affine>;

// The node channels of the model's animations, and the scene file's keys
// (node key "animation") they give a written node.
class NodeMotion {
public:
  explicit NodeMotion(const ModelFile &model);
  // The keys of `node` placed in the frame of `frame_node` (null: the
  // scene's), or null when the animation does not move it there. `name`
  // names the node in warnings.
  ojson keys(const aiNode *node, const aiNode *frame_node, const std::string &name);

private:
  struct Channel { // keys in seconds
    std::vector<PositionKey> position, scale;
    std::vector<RotationKey> rotation;
  };
  const Channel *channel(const aiNode *node) const;
  Affine local(const aiNode *node, double time, bool rest) const;
  Affine world(const aiNode *node, double time, bool rest) const;
  bool relative(const aiNode *node, const aiNode *frame_node, double time, bool rest, Vec3 &position,
                Mat3 &rotation, Mat3 &shape) const;
  std::map<std::string, Channel> channels_;
  std::string path_;        // the model's, for warnings
  size_t keys_written_ = 0; // times given keys so far
};

// What the walk of the node tree gives.
struct TreeResult {
  ojson children = ojson::array(); // of the scene's root
  std::string root_name;
  Bounds bounds;
  NodePlaces places;
  NodePlaces own_places; // relative to the parent node
  long objects = 0;
  long meshes_without_polygons = 0; // placed meshes of points or lines only
};
TreeResult walk_tree(const ModelFile &model, const std::string &part_file,
                     const std::filesystem::path &scene_directory);

// A file's path as a scene file in `scene_directory` names it: relative to
// that folder, absolute when it cannot be.
std::string scene_path(const std::string &file, const std::filesystem::path &scene_directory);

// Material keys of an object ("color", "specular", ...), for the material
// of the mesh; image colours are averaged once per image. A colour image
// in a file of its own (not one inside the model) is also the object's
// texture, laid on by the mesh's texture coordinates, when the mesh has
// them; the image's mean stays the colour.
class MaterialTable {
public:
  MaterialTable(const ModelFile &model, const std::filesystem::path &scene_directory)
      : model_(model), scene_directory_(scene_directory), gltf_(is_gltf(model)) {}
  const ojson &keys(unsigned mesh_index);

private:
  ojson make(const aiMaterial &material);
  ojson texture(const aiMaterial &material, bool one_set);
  const ModelFile &model_;
  std::filesystem::path scene_directory_;
  bool gltf_;
  // By material, whether the mesh has vertex colours, whether it has
  // texture coordinates and whether it has only one set of them.
  std::map<std::tuple<unsigned, bool, bool, bool>, ojson> by_material_;

  std::map<std::string, std::vector<double>> image_means_;
};

// The colour of the mesh's polygons in its part: the material's diffuse or
// base colour, white when it has none.
ZAL_COLOR polygon_colour(const ModelFile &model, unsigned mesh_index);

// Whether the mesh has colours at its corners; its objects then take their
// colours from the part, which paint_vertex_colours gives them.
bool has_vertex_colours(const ModelFile &model, unsigned mesh_index);
// Each polygon of `part` (built from the mesh) the mean of its corners'
// colours, tinted by the material's colour.
void paint_vertex_colours(const ModelFile &model, unsigned mesh_index, VYobject &part);

// The base colour (glTF) or diffuse image that the material names ("" for
// none); `by_uv` tells whether it is laid on by texture coordinates, `set`
// by which of the mesh's sets, `found` which of the two images it is.
std::string colour_image(const aiMaterial &m, bool *by_uv = nullptr, aiTextureType *found = nullptr,
                         unsigned *set = nullptr);
// Adds to the texture keys of an image laid on by texture coordinates the
// material's wrap modes and texture transform for that image (of `type`);
// defaults add nothing. `where` names the file in a warning.
void add_uv_placement(const aiMaterial &m, aiTextureType type, bool gltf, const std::string &where,
                      ojson &keys);

// The mean colour (r, g, b in 0..1) of a texture image that the material
// names, embedded ("*0") or a file beside the model; empty when it cannot
// be read.
std::vector<double> image_mean(const ModelFile &model, const std::string &name);

// The scene's up, front (towards the viewer) and right directions.
struct Axes {
  Vec3 up{0, 1, 0}, front{0, 0, 1}, right{1, 0, 0};
};
Axes scene_axes(const aiScene &scene, char up_option);

// A camera's angle of view as its file fixes it: the whole angle in
// degrees, across the picture (kept at the picture's width) or up it.
struct Lens {
  double degrees;
  bool horizontal;
};
class CameraFit {
public:
  explicit CameraFit(const ModelFile &model);
  Lens lens(const aiCamera &camera) const;
  // The vertical view angle (degrees) of the camera in a picture of that
  // width over height.
  double view_angle(const aiCamera &camera, double picture_aspect) const;

private:
  enum class Format { gltf, fbx, collada, other } format_;
  std::vector<double> xfovs_, yfovs_; // of a Collada file
};

// Camera and light nodes of the file (scene coordinates), the view point's
// name, and the environment; defaults where the file has none.
struct Views {
  ojson nodes = ojson::array();
  std::string viewpoint;
  ojson environment = ojson::object();
};
Views make_views(const ModelFile &model, const TreeResult &tree, const ImportOptions &options);

// The look's background into the environment and its floor (an object
// under the model, along the axes' up) into the root's children.
void add_studio_look(ojson &environment, ojson &children, const TreeResult &tree, const Axes &axes,
                     const StudioLook &look);

} // namespace bf::import
