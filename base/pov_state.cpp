// Module state shared by the savers, the preview and the writers.
#include "base/pov_state.h"

// parts_cache and texture_list are defined with the factories, so that the
// module-level objects are constructed in one fixed order.
FILE *scene_file = nullptr;
const char *scene_path = nullptr;
int parts_mode = 0;
float inherited_opacity = 1.0f;
int indent_depth = 0;
int next_object_id = 1;
int next_part_number = 1;
