// Midpoint and radius of a node's contents.
//
// The contents of a node are the geometries of every geometry object in its
// subtree, the node itself included. A geometry point g of an object lands
// in the scene at R * (g - pivot) + position, exactly as the module places
// it (translate by -pivot, rotate, translate), where the pivot is that of the
// object's first geometry, the one the module reads. Each geometry stands in
// with the eight corners of its bounding box. The midpoint is the centre of
// the scene-frame box around all corners; the radius is the largest distance
// of a corner from the midpoint, so the sphere holds all contents.
// A camera or light answers its position and radius 0; so does a node with
// no contents. Every frame answers the scene frame.
#include "oku/placement.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

using namespace oku;

namespace {

// Calls visit(point) for every box corner of the contents below `node`.
template <class Visit> void for_each_corner(const _object *node, Visit &&visit) {
  std::vector<std::pair<const _object *, Placement>> pending;
  pending.emplace_back(node, scene_placement(node));
  while (!pending.empty()) {
    const auto [o, placement] = pending.back();
    pending.pop_back();
    if (o->type == OBJECT_TYPE_GEOMETRY && !o->geometries.empty()) {
      float pivot[3];
      VYobject_getpivot(o->geometries.front()->handle(), pivot, 0);
      for (const auto &geometry : o->geometries) {
        float e[6];
        VYobject_getextents(geometry->handle(), e);
        for (int corner = 0; corner < 8; ++corner) {
          const Vec3 g{e[3] + ((corner & 1) ? 0.5 : -0.5) * e[0], e[4] + ((corner & 2) ? 0.5 : -0.5) * e[1],
                       e[5] + ((corner & 4) ? 0.5 : -0.5) * e[2]};
          visit(add(apply(placement.r, sub(g, Vec3{pivot[0], pivot[1], pivot[2]})), placement.pos));
        }
      }
    }
    for (const auto &child : o->children)
      pending.emplace_back(child.get(), child_placement(placement, child.get()));
  }
}

bool is_point_like(const _object *o) { return o->type == OBJECT_TYPE_LIGHT || o->type == OBJECT_TYPE_CAMERA; }

// The derived midpoint; false when the node has no contents.
bool contents_midpoint(const _object *o, Vec3 &out) {
  if (is_point_like(o))
    return false;
  bool any = false;
  Vec3 low, high;
  for_each_corner(o, [&](const Vec3 &p) {
    low = any ? Vec3{std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)} : p;
    high = any ? Vec3{std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)} : p;
    any = true;
  });
  if (any)
    out = {(low.x + high.x) / 2, (low.y + high.y) / 2, (low.z + high.z) / 2};
  return any;
}

Vec3 midpoint_of(const _object *o) {
  if (o->has_midpoint)
    return to_vec(o->midpoint);
  Vec3 mid;
  return contents_midpoint(o, mid) ? mid : scene_placement(o).pos;
}

} // namespace

int obj_get_midpoint(_object *o, ZAL_VECT3 &out, FRAME) {
  if (o == nullptr) {
    out = {0, 0, 0};
    return 0;
  }
  out = to_float(midpoint_of(o));
  return 1;
}

float obj_get_grpradius(_object *o) {
  if (o == nullptr)
    return 0;
  if (o->has_radius)
    return o->radius;
  if (is_point_like(o))
    return 0;
  const Vec3 mid = midpoint_of(o);
  double radius = 0;
  for_each_corner(o, [&](const Vec3 &p) { radius = std::max(radius, length(sub(p, mid))); });
  return static_cast<float>(radius);
}
