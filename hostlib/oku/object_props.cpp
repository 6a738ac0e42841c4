// The plain property calls of a node. A null node answers the defaults of a
// fresh node (and empty lists), so a caller's slip never faults the host.
#include "oku/scene_db.h"

namespace {

_object &node_or_default(_object *o) {
  static _object defaults; // never handed out for writing through a getter
  return o != nullptr ? *o : defaults;
}

} // namespace

LIST *obj_get_children(_object *o) { return &node_or_default(o).child_list; }
OBJECT_TYPE obj_get_type(_object *o) { return o != nullptr ? o->type : 0; }

int obj_get_active(_object *o) { return node_or_default(o).active; }
int obj_get_vis(_object *o) { return node_or_default(o).visible; }
const char *obj_get_name(_object *o) { return node_or_default(o).name.c_str(); }
int obj_get_id(_object *o) { return node_or_default(o).id; }

int obj_set_id(_object *o, int id) {
  if (o == nullptr)
    return 0;
  o->id = id;
  return 1;
}

float obj_get_viewangle(_object *o) { return node_or_default(o).view_angle; }

int obj_get_color(_object *o, ZAL_COLOR &out) {
  out = node_or_default(o).color;
  return o != nullptr;
}

int obj_get_specular(_object *o, ZAL_COLOR &out) {
  out = node_or_default(o).specular;
  return o != nullptr;
}

int obj_get_emission(_object *o, ZAL_COLOR &out) {
  out = node_or_default(o).emission;
  return o != nullptr;
}

float obj_get_transparency(_object *o) { return node_or_default(o).opacity; }
float obj_get_shininess(_object *o) { return node_or_default(o).shininess; }
float obj_get_reflectivity(_object *o) { return node_or_default(o).reflectivity; }

int obj_get_ltype(_object *o) { return node_or_default(o).ltype; }
float obj_get_intensity(_object *o) { return node_or_default(o).intensity; }
float obj_get_fadedistance(_object *o) { return node_or_default(o).fade_distance; }
float obj_get_angle(_object *o) { return node_or_default(o).cone_angle; }
float obj_get_exponent(_object *o) { return node_or_default(o).exponent; }

// ---------------------------------------------------------------- texture
// Without a texture nothing is active and the other texture calls answer
// the defaults of an unset texture.

namespace {

const SceneTexture &texture_of(_object *o) {
  static const SceneTexture none;
  return o != nullptr && o->has_texture ? o->texture : none;
}

} // namespace

const char *obj_get_texturename(_object *o) {
  return o != nullptr && o->has_texture ? o->texture.image.c_str() : nullptr;
}

int obj_get_textureactive(_object *o) { return o != nullptr && o->has_texture ? o->texture.active : 0; }
int obj_get_texturetype(_object *o) { return texture_of(o).type; }
int obj_get_texturemethod(_object *o) { return texture_of(o).method; }
int obj_get_texturemapping(_object *o) { return texture_of(o).mapping; }
int obj_get_texturewrap(_object *o, int out[2]) {
  out[0] = texture_of(o).wrap[0], out[1] = texture_of(o).wrap[1];
  return 1;
}
int obj_get_texturequality(_object *o) { return texture_of(o).quality; }
float obj_get_textureangle(_object *o) { return texture_of(o).angle; }

int obj_get_texturescale(_object *o, ZAL_VECT2 &out) {
  out = texture_of(o).scale;
  return 1;
}

int obj_get_texturepos(_object *o, ZAL_VECT2 &out) {
  out = texture_of(o).position;
  return 1;
}

int obj_get_texturegridpos(_object *o, ZAL_VECT3 &out) {
  out = texture_of(o).grid_position;
  return 1;
}

int obj_get_texturegrideangles(_object *o, ZAL_VECT3 &out) {
  out = texture_of(o).grid_angles;
  return 1;
}

// ---------------------------------------------------------------- geometry

VYobject *obj_get_geometry(_object *o) {
  if (o == nullptr || o->geometries.empty())
    return nullptr;
  return o->geometries.front()->handle();
}

LIST *obj_get_geolist(_object *o) { return &node_or_default(o).geolist; }
ASSOC *obj_get_vars(_object *o) { return &node_or_default(o).vars; }
