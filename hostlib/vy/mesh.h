// Building meshes in the emulated host (part loaders, inline meshes, tests).
#pragma once

#include "zalvy.h"

// A new empty mesh; destroy it with VYobject_destroy (or hand it to a _geometry).
VYobject *VYobject_create();
void VYobject_destroy(VYobject *mesh);

// Answers the new position's / normal's index.
int VYobject_add_position(VYobject *mesh, float x, float y, float z);
int VYobject_add_normal(VYobject *mesh, float x, float y, float z);
// Starts a polygon of the given colour; its corners follow with add_corner.
void VYobject_begin_polygon(VYobject *mesh, ZAL_COLOR color);
// A corner of the polygon begun last: a position index, and a normal index
// or -1 when the corner has no normal.
void VYobject_add_corner(VYobject *mesh, int position, int normal);
// Gives a polygon already added another colour (nothing when there is no
// such polygon).
void VYobject_set_polygon_colour(VYobject *mesh, long polygon, ZAL_COLOR color);
// Gives a corner already added (counted over all polygons, from 0, as
// VYobject_corner_count counts them) texture coordinates or a colour of its
// own; nothing when there is no such corner.
void VYobject_set_corner_uv(VYobject *mesh, long corner, float u, float v);
void VYobject_set_corner_colour(VYobject *mesh, long corner, ZAL_COLOR color);
void VYobject_set_pivot(VYobject *mesh, float x, float y, float z);
// Sets the bounds of a mesh without polygons (parametric shapes): the box
// from min to max in the geometry's own frame. A mesh with polygons has the
// bounds of its positions.
void VYobject_set_bounds(VYobject *mesh, const float min[3], const float max[3]);
long VYobject_polygon_count(const VYobject *mesh);
// Corners of all polygons: with the polygon count, how a builder sees that
// a polygon or corner was not added (memory ran out).
long VYobject_corner_count(const VYobject *mesh);
// Whether some polygon of the mesh has an area (a corner off the line of
// two others); false for a null mesh or one of points and lines alone.
bool VYobject_has_area(const VYobject *mesh);
