// The module-level objects. They live in this one file so that they are
// constructed in this order at load and destroyed in the reverse order.
#include "base/pov_state.h"
#include "plugin/pov_plugin.h"
#include "preview/pov_preview.h"

ASSOC parts_cache;
LIST texture_list;
static PovPreviewSurfaceFactory preview_factory;
static PovSceneSaverFactory scene_saver_factory;
static PovPartsSaverFactory parts_saver_factory;

extern "C" int dll_init() {
  saver_register(&scene_saver_factory);
  saver_register(&parts_saver_factory);
  return pov_register_preview(&preview_factory);
}

extern "C" int dll_term() { return unregister_all(); }

int unregister_all() {
  universe_display_surface_unregister(&preview_factory);
  saver_unregister(&scene_saver_factory);
  return saver_unregister(&parts_saver_factory);
}
