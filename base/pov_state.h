// Module-level state shared by the savers, the preview surface and the
// scene, geometry and texture writers. One scene write runs at a time.
#pragma once

#include "zaloku.h"

#include <cstdio>

struct SceneOptions {
  int width;
  int height;
  int antialias;
  int shadows;
};

extern FILE *scene_file;
extern const char *scene_path;
// 0: a part's include file is not written (a "POV scene file" save); 1: it
// is written when the part is first met; kPartsWriteMissing: written when
// the part is first met and no file stands at its name yet (a preview's
// later draws, which must not replace a file a saved scene relies on).
extern int parts_mode;
constexpr int kPartsWriteMissing = 2;
extern float inherited_opacity;
extern int indent_depth;
extern ASSOC parts_cache; // include-file path -> PartRecord *
extern LIST texture_list; // of TextureRecord *
extern int next_object_id;
extern int next_part_number;
