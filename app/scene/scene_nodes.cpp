// Scene-file nodes: every node key, the node types and the light kinds.
// All node keys are accepted on every node type; the host answers them for
// any node and the module reads those that matter for the node's type.
#include "app/scene/scene_build.h"
#include "app/scene/scene_loader.h"
#include "app/scene/scene_schema.h"

#include <cmath>
#include <utility>

namespace bf {

namespace {

namespace node_key = scene_keys::node;

const std::pair<const char *, int> kNodeTypes[] = {
    {"root", OBJECT_TYPE_ROOT},   {"group", OBJECT_TYPE_GROUP},   {"object", OBJECT_TYPE_GEOMETRY},
    {"light", OBJECT_TYPE_LIGHT}, {"camera", OBJECT_TYPE_CAMERA},
};

const std::pair<const char *, int> kLightKinds[] = {{"point", 0}, {"distant", 1}, {"spot", 2}};

int read_light_kind(const JsonRef &ref) {
  if (ref.value().is_number_integer())
    return read_int(ref);
  if (!ref.value().is_string())
    ref.fail("expected \"distant\", \"spot\", \"point\" or an integer");
  const std::string kind = read_string(ref);
  for (const auto &[name, value] : kLightKinds)
    if (kind == name)
      return value;
  ref.fail("unknown light kind \"" + kind + "\" (expected distant, spot, point or an integer)");
}

void load_identity_and_flags(const JsonRef &ref, _object *o) {
  if (auto v = ref.get(node_key::name.name))
    o->name = read_string(*v);
  if (auto v = ref.get(node_key::id.name))
    o->id = read_int(*v);
  if (auto v = ref.get(node_key::active.name))
    o->active = read_flag(*v);
  if (auto v = ref.get(node_key::visible.name))
    o->visible = read_flag(*v);
  if (auto v = ref.get(node_key::opacity.name))
    o->opacity = read_float(*v, node_key::opacity);
}

void load_placement(const JsonRef &ref, _object *o) {
  if (auto v = ref.get(node_key::position.name))
    o->position = read_vec3(*v);
  if (auto v = ref.get(node_key::rotation.name))
    o->rotation = read_vec3(*v);
  if (auto v = ref.get(node_key::look_at.name)) {
    if (ref.get(node_key::rotation.name))
      v->fail("rotation and look_at cannot both be given");
    o->has_look_at = true;
    o->look_at = read_vec3(*v);
  }
  if (auto v = ref.get(node_key::sky.name)) {
    if (!o->has_look_at)
      v->fail("sky needs look_at");
    o->sky = read_vec3(*v);
  }
  // Raw scene-frame answers that replace the derived ones.
  if (auto v = ref.get(node_key::orientation.name)) {
    o->has_orientation = true, o->orientation = read_vec4(*v);
    // The module reads the rows of the quaternion's matrix as the node's
    // axes: any other length scales (or, at 0, collapses) them.
    const ZAL_QUAT &q = o->orientation;
    const double length = std::sqrt(static_cast<double>(q.x) * q.x + static_cast<double>(q.y) * q.y +
                                    static_cast<double>(q.z) * q.z + static_cast<double>(q.w) * q.w);
    if (!(std::fabs(length - 1) <= 1e-3))
      v->fail("must be a unit quaternion (x, y, z, w with a length of 1)");
  }
  if (auto v = ref.get(node_key::euler.name))
    o->has_euler = true, o->euler = read_vec3(*v);
  if (auto v = ref.get(node_key::midpoint.name))
    o->has_midpoint = true, o->midpoint = read_vec3(*v);
  if (auto v = ref.get(node_key::radius.name))
    o->has_radius = true, o->radius = read_float(*v, node_key::radius);
}

void load_surface(const JsonRef &ref, _object *o) {
  if (auto v = ref.get(node_key::color.name))
    o->color = read_colour(*v);
  if (auto v = ref.get(node_key::specular.name))
    o->specular = read_colour(*v);
  if (auto v = ref.get(node_key::emission.name))
    o->emission = read_colour(*v);
  if (auto v = ref.get(node_key::shininess.name))
    o->shininess = read_float(*v);
  if (auto v = ref.get(node_key::reflectivity.name))
    o->reflectivity = read_float(*v);
}

void load_light_and_camera(const JsonRef &ref, _object *o) {
  if (auto v = ref.get(node_key::kind.name))
    o->ltype = read_light_kind(*v);
  if (auto v = ref.get(node_key::intensity.name))
    o->intensity = read_float(*v);
  if (auto v = ref.get(node_key::fade_distance.name))
    o->fade_distance = read_float(*v, node_key::fade_distance);
  if (auto v = ref.get(node_key::cone_angle.name))
    o->cone_angle = read_float(*v);
  if (auto v = ref.get(node_key::exponent.name))
    o->exponent = read_float(*v);
  if (auto v = ref.get(node_key::view_angle.name))
    o->view_angle = read_float(*v, node_key::view_angle);
}

bool finite3(const ZAL_VECT3 &v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// Every value is finite as read, but sums and products of them may not be
// once the node is placed (a position of 3e38 inside a group at 3e38); the
// module would print those as "inf", which POV-Ray cannot read.
void check_placed(const JsonRef &ref, _object *node) {
  if (node->type == OBJECT_TYPE_GROUP)
    return; // a group's own values are not written
  ZAL_VECT3 position, angles, midpoint;
  obj_get_pos(node, position, FRAME_SCENE);
  obj_get_eangles(node, angles, FRAME_SCENE);
  bool finite = finite3(position) && finite3(angles);
  if (finite && node->type == OBJECT_TYPE_GEOMETRY && !node->geometries.empty()) {
    obj_get_midpoint(node, midpoint, FRAME_SCENE);
    finite = finite3(midpoint) && std::isfinite(obj_get_grpradius(node));
  }
  if (!finite)
    ref.fail("out of range once placed in the scene (a position, pivot or size too large)");
}

void load_children(const JsonRef &ref, _object *node, int depth, LoadContext &context) {
  const size_t count = ref.expect_array();
  if (count > 0 && depth + 1 > kMaxTreeDepth)
    ref.fail("children nested deeper than " + std::to_string(kMaxTreeDepth) + " levels");
  for (size_t i = 0; i < count; ++i) {
    const JsonRef child = ref.element(i);
    if (!child.value().is_object())
      child.fail("expected an object");
    const OBJECT_TYPE type = read_node_type(child, false);
    load_node(child, scene_add_object(node, type), depth + 1, context);
  }
}

} // namespace

OBJECT_TYPE read_node_type(const JsonRef &ref, bool top) {
  if (!ref.value().is_object())
    ref.fail("expected an object");
  auto v = ref.get(node_key::type.name);
  if (!v) {
    if (top)
      return OBJECT_TYPE_ROOT;
    ref.fail("missing \"type\"");
  }
  int type = 0;
  if (v->value().is_number_integer()) {
    type = read_int(*v);
  } else if (v->value().is_string()) {
    const std::string name = read_string(*v);
    for (const auto &[known, value] : kNodeTypes)
      if (name == known)
        type = value;
    if (type == 0)
      v->fail("unknown node type \"" + name +
              "\" (expected root, group, object, light, camera or an integer)");
  } else {
    v->fail("expected a node type name or an integer");
  }
  // A second root would write a second scene frame in the middle of the file.
  if (top && type != OBJECT_TYPE_ROOT)
    v->fail("the top node must be the root");
  if (!top && type == OBJECT_TYPE_ROOT)
    v->fail("only the top node can be the root");
  return type;
}

void load_node(const JsonRef &ref, _object *node, int depth, LoadContext &context) {
  scene_keys::expect_keys(ref, {&scene_keys::kNode});
  load_identity_and_flags(ref, node);
  load_placement(ref, node);
  load_surface(ref, node);
  load_light_and_camera(ref, node);
  if (auto v = ref.get(node_key::standby.name); v && read_flag(*v))
    context.standby.push_back(node);
  ZAL_VECT3 pivot{0, 0, 0};
  if (auto v = ref.get(node_key::pivot.name))
    pivot = read_vec3(*v);
  if (auto v = ref.get(node_key::geometry.name))
    load_geometry(*v, node, pivot, context);
  if (auto v = ref.get(node_key::texture.name))
    load_texture(*v, node, context);
  if (auto v = ref.get(node_key::animation.name))
    load_animation(*v, node);
  if (auto v = ref.get(node_key::children.name))
    load_children(*v, node, depth, context);
  check_placed(ref, node);
}

void check_contents(const JsonRef &ref, _object *root) {
  // The backdrop is placed by the midpoint and reach of all the contents.
  ZAL_VECT3 midpoint;
  obj_get_midpoint(root, midpoint, FRAME_CONTENTS);
  if (!finite3(midpoint) || !std::isfinite(obj_get_grpradius(root)))
    ref.fail("the scene's contents reach out of range (positions or sizes too large)");
}

} // namespace bf
