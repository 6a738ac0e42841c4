// The two roads into the scene writer, the file save and the preview's
// scene write, and the tree walk beneath both.
#pragma once

#include "base/pov_state.h"

// 1 when the scene file was written and closed, 0 when it could not be
// opened or writing it failed (the user is told either way).
int pov_save(const char *path, _object *root, int parts_mode);
int pov_write_preview_scene(const char *path, _object *root, const SceneOptions *options);
void pov_write_node(FILE *file, _object *node, const SceneOptions *options);
