// The backdrop image plane behind the scene, from the root's texture.
#pragma once

#include "base/pov_session.h"
#include "zaloku.h"

#include <cstdio>

void pov_write_backdrop(PovSession &session, FILE *file, int depth, _object *root);
