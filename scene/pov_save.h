// The two roads into the scene writer, the file save and the preview's
// scene write, and the tree walk beneath both.
#pragma once

#include "base/pov_session.h"

// The save driver: one scene write in a session of its own. 1 when the
// scene file was written and closed, 0 when it could not be opened or
// writing it failed (the user is told either way).
int pov_save(PovModuleState *state, const char *path, _object *root, int parts_mode,
             int language = kPovLanguage30);
// A preview draw's scene write, in the session the draw made.
int pov_write_preview_scene(PovSession &session, const char *path, _object *root,
                            const SceneOptions *options);
// Writes node and its subtree at the session's indent depth.
void pov_write_node(PovSession &session, FILE *file, _object *node, const SceneOptions *options);
