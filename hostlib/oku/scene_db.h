// The emulated host's scene database: how the host program (and tests) build
// a scene that the module then reads through the obj_get_* calls.
#pragma once

#include "zaloku.h"

#include <memory>
#include <string>
#include <vector>

struct SceneTexture {
  std::string image; // the texture name as obj_get_texturename answers it
  int active = 1;    // activity bits: 1 image map, 2 bump map
  int type = 0;
  int method = 0;
  int quality = 0;
  int mapping = 0;      // 1: by the mesh's texture coordinates
  int wrap[2] = {0, 0}; // u, v beyond 0..1 with mapping 1: 0 repeat, 1 mirror, 2 clamp
  ZAL_VECT2 scale{1, 1};
  ZAL_VECT2 position{0, 0};
  float angle = 0;
  ZAL_VECT3 grid_position{0, 0, 0};
  ZAL_VECT3 grid_angles{0, 0, 0};
};

// A node. Values are the node's own, relative to its parent; the scene-frame
// values the module asks for are derived on request (see obj_get_pos etc.).
struct _object {
  OBJECT_TYPE type = OBJECT_TYPE_GEOMETRY;
  std::string name;
  int id = 0;
  int active = 1;
  int visible = 1;
  float opacity = 1;

  ZAL_VECT3 position{0, 0, 0};
  ZAL_VECT3 rotation{0, 0, 0}; // degrees, R = Rx * Ry * Rz
  bool has_look_at = false;    // look_at and sky are scene coordinates
  ZAL_VECT3 look_at{0, 0, 0};
  ZAL_VECT3 sky{0, 1, 0};

  ZAL_COLOR color{-1, 0, 0};
  ZAL_COLOR specular{0, 0, 0};
  ZAL_COLOR emission{0, 0, 0};
  float shininess = 0;
  float reflectivity = 0;

  int ltype = 0; // 0 point, 1 distant, 2 spot
  float intensity = 1;
  float fade_distance = 0; // a point or spot light's; 0: it does not fade
  float cone_angle = 30;
  float exponent = 1;
  float view_angle = 45;

  bool has_texture = false;
  SceneTexture texture;

  // Raw scene-frame values that replace the derived ones when set.
  bool has_orientation = false;
  ZAL_QUAT orientation{0, 0, 0, 1};
  bool has_euler = false;
  ZAL_VECT3 euler{0, 0, 0};
  bool has_midpoint = false;
  ZAL_VECT3 midpoint{0, 0, 0};
  bool has_radius = false;
  float radius = 0;

  std::vector<std::unique_ptr<_geometry>> geometries;
  LIST geolist;                       // views of geometries, for obj_get_geolist
  std::unique_ptr<GeomParams> params; // stored in vars under "_GEOM_PARAMS"
  ASSOC vars;

  _object *parent = nullptr;
  std::vector<std::unique_ptr<_object>> children;
  LIST child_list; // views of children, for obj_get_children

  _object();
  ~_object();
  _object(const _object &) = delete;
  _object &operator=(const _object &) = delete;
};

struct SceneEnvironment {
  ZAL_COLOR background{0, 0, 0};
  float ambient = 0.2f;
};

// Empties the database: a fresh root (type 1, no name), default environment,
// no view point.
void scene_reset();
// Adds a child node of the given type under parent (the root when null).
_object *scene_add_object(_object *parent, OBJECT_TYPE type);
// Adds a geometry entry to the object (owned by it) and answers it.
_geometry *scene_add_geometry(_object *o);
// Stores shape parameters under "_GEOM_PARAMS".
void scene_set_params(_object *o, const GeomParams &params);
SceneEnvironment &scene_environment();
// The camera that RootGetViewPoint answers; null means the first camera in
// tree order (none when the scene has no camera).
void scene_set_viewpoint(_object *camera);

// Scene-frame placement helpers (also used by the obj_get_* calls).
// The node's scene rotation matrix R (row-major, R maps own axes to the scene).
void scene_rotation(_object *o, float r[3][3]);
ZAL_VECT3 scene_position(_object *o);
