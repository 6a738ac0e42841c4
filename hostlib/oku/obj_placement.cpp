// The placement calls: position, orientation and Euler angles of a node.
//
// Frames: FRAME_PARENT (2) answers the node's own values relative to its
// parent; every other frame answers the scene frame. The raw overrides
// (`orientation`, `euler`) replace the scene-frame answers only, and the
// composition of children always uses the derived placement.
#include "oku/placement.h"

using namespace oku;

namespace {

const _object kNoNode; // answers for a null node: the origin, no rotation

struct Derived {
  Placement parent;
  Placement self;
  bool looks = false; // the node's orientation comes from a usable look_at
};

Derived derive(const _object *o) {
  Derived d;
  if (o->parent != nullptr)
    d.parent = scene_placement(o->parent);
  d.self = child_placement(d.parent, o);
  Mat3 unused;
  d.looks = o->has_look_at && look_at_matrix(d.self.pos, to_vec(o->look_at), to_vec(o->sky), unused);
  return d;
}

const _object &node_or_default(const _object *o) { return o != nullptr ? *o : kNoNode; }

} // namespace

void scene_rotation(_object *o, float r[3][3]) {
  const Placement p = scene_placement(&node_or_default(o));
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      r[i][j] = static_cast<float>(p.r.m[i][j]);
}

ZAL_VECT3 scene_position(_object *o) { return to_float(scene_placement(&node_or_default(o)).pos); }

int obj_get_pos(_object *o, ZAL_VECT3 &out, FRAME frame) {
  const _object &node = node_or_default(o);
  out = frame == FRAME_PARENT ? node.position : to_float(scene_placement(&node).pos);
  return o != nullptr;
}

int obj_get_orient(_object *o, ZAL_QUAT &out, FRAME frame) {
  const _object &node = node_or_default(o);
  if (frame != FRAME_PARENT && node.has_orientation) {
    out = node.orientation;
    return 1;
  }
  const Derived d = derive(&node);
  const Mat3 r = frame == FRAME_PARENT ? multiply(transpose(d.parent.r), d.self.r) : d.self.r;
  out = host_quaternion(r);
  return o != nullptr;
}

int obj_get_eangles(_object *o, ZAL_VECT3 &out, FRAME frame) {
  const _object &node = node_or_default(o);
  if (frame != FRAME_PARENT && node.has_euler) {
    out = node.euler;
    return 1;
  }
  const Derived d = derive(&node);
  // Without a look_at the node's own angles are its parent-relative answer,
  // and also its scene answer when no ancestor rotates: no round trip.
  if (!d.looks && (frame == FRAME_PARENT || is_identity(d.parent.r))) {
    out = node.rotation;
    return o != nullptr;
  }
  const Mat3 r = frame == FRAME_PARENT ? multiply(transpose(d.parent.r), d.self.r) : d.self.r;
  out = to_float(euler_angles(r));
  return o != nullptr;
}
