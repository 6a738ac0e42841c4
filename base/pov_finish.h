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
