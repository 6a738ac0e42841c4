// What the studio look adds to an imported scene: the
// environment's background and a floor object, a wide thin box whose top
// lies at the model's lowest point along the scene's up axis.
#include "app/import/studio_look.h"
#include "app/import/import_parts.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace bf {

namespace import {

namespace {

// The floor reaches this many of the model's radii from its middle, far
// enough to meet the backdrop near the horizon; it is this thin.
constexpr double kFloorReach = 100, kFloorThickness = 0.01;
} // namespace

void add_studio_look(ojson &environment, ojson &children, const TreeResult &tree, const Axes &axes,
                     const StudioLook &look) {
  if (look.backdrop)
    environment[environment_key::background.name] =
        vec_json({look.background[0], look.background[1], look.background[2]});
  if (!look.floor)
    return;
  const double r = tree.bounds.radius() > 0 && std::isfinite(tree.bounds.radius()) ? tree.bounds.radius() : 1;
  const Vec3 centre = tree.bounds.centre();
  const double lowest = std::fmin(oku::dot(axes.up, tree.bounds.low), oku::dot(axes.up, tree.bounds.high));
  const double thick = kFloorThickness * r;
  // The box's top face at the lowest point; up is one of the axes, so the
  // box stays axis-aligned.
  const double drop = lowest - oku::dot(axes.up, centre) - thick / 2;
  const Vec3 position = oku::add(centre, Vec3{axes.up.x * drop, axes.up.y * drop, axes.up.z * drop});
  const auto side = [&](double up) { return up != 0 ? thick : 2 * kFloorReach * r; };
  children.push_back(
      {{node_key::type.name, "object"},
       {node_key::name.name, "Studio floor"},
       {node_key::position.name, vec_json(position)},
       {node_key::geometry.name,
        {{scene_keys::primitive::primitive.name, "box"},
         {scene_keys::primitive::size.name, vec_json({side(axes.up.x), side(axes.up.y), side(axes.up.z)})}}},
       {node_key::color.name, vec_json({look.background[0], look.background[1], look.background[2]})}});
}

} // namespace import

} // namespace bf
