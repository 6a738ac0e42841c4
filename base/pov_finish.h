// The pigment and finish statements of an object's surface.
#pragma once

#include "zaloku.h"

#include <cstdio>

void pov_write_pigment(FILE *file, int depth, const ZAL_COLOR &colour, float opacity);
// The finish with `colour` as its ambient term (white for a textured
// surface), the node's emission, highlight and reflection.
void pov_write_finish(FILE *file, int depth, _object *node, const ZAL_COLOR &colour,
                      const ZAL_COLOR &specular, float opacity);
// The environment's ambient level, never exactly zero.
float pov_ambient_level();

// The POV-Ray 3.7 surface. Host colours are sRGB values from 0 to 1; the 3.7
// scene works in linear light, so every colour is decoded once, here.
ZAL_COLOR pov_linear_colour(const ZAL_COLOR &srgb);
// finish {...} of a 3.7 surface: the ambient light reflected as the diffuse
// light is, by the pigment's colour (the 3.0 text's ambient colour would
// count that colour twice), highlight, and reflection that rises towards
// grazing angles (Fresnel; the object then needs the interior that
// pov_reflects says).
void pov_write_finish37(FILE *file, int depth, _object *node, const ZAL_COLOR &specular, float opacity);
// Whether the node's surface reflects (and needs `interior { ior 1.5 }`).
int pov_reflects(_object *node);
// The emission of a 3.7 surface as a texture layer of its own above the
// base one: POV-Ray's `emission` multiplies the pigment colour, and the
// host's emission glows on any base colour, black too. A layer that lets
// 99.9% of the one below through adds its emission times 0.001, so the
// layer's emission is 1000 times the host's. Nothing when there is none.
void pov_write_emission_layer(FILE *file, int depth, _object *node);
// Whether the node's surface has that layer.
int pov_has_emission_layer(_object *node);
