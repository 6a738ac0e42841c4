// The module's entry points. dll_init creates the module state and hands it
// to the factories, through which the savers and the preview surfaces reach
// it; dll_term takes the factories back and destroys the state.
#include "plugin/pov_plugin.h"
#include "preview/pov_preview.h"

static PovPreviewSurfaceFactory preview_factory;
static PovSceneSaverFactory scene_saver_factory;
static PovPartsSaverFactory parts_saver_factory;

extern "C" int dll_init() {
  PovModuleState *state = scene_saver_factory.state ? scene_saver_factory.state : pov_module_state_new();
  if (!state)
    return -1;
  scene_saver_factory.state = state;
  parts_saver_factory.state = state;
  preview_factory.state = state;
  saver_register(&scene_saver_factory);
  saver_register(&parts_saver_factory);
  return pov_register_preview(&preview_factory);
}

extern "C" int dll_term() {
  const int result = unregister_all();
  pov_module_state_free(scene_saver_factory.state);
  scene_saver_factory.state = nullptr;
  parts_saver_factory.state = nullptr;
  preview_factory.state = nullptr;
  return result;
}

int unregister_all() {
  universe_display_surface_unregister(&preview_factory);
  saver_unregister(&scene_saver_factory);
  return saver_unregister(&parts_saver_factory);
}
