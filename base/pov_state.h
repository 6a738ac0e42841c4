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
extern int parts_mode;
extern float inherited_opacity;
extern int indent_depth;
extern ASSOC parts_cache;  // include-file path -> PartRecord *
extern LIST texture_list;  // of TextureRecord *
extern int next_object_id;
extern int next_part_number;
