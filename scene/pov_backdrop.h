// The backdrop image plane behind the scene, from the root's texture.
#pragma once

#include "zaloku.h"

#include <cstdio>

void pov_write_backdrop(FILE *file, int depth, _object *root);
