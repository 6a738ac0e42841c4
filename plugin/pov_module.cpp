// The module's entry points. dll_init creates the module state and hands it
// to the factories, through which the savers and the preview surfaces reach
// it; dll_term takes the factories back and destroys the state.
#include "plugin/pov_plugin.h"
#include "preview/pov_preview.h"

static PovPreviewSurfaceFactory preview_factory;
static PovPreviewSurfaceFactory preview37_factory(kPovLanguage37);
static PovSceneSaverFactory scene_saver_factory;
static PovPartsSaverFactory parts_saver_factory;
static PovParts37SaverFactory parts37_saver_factory;

extern "C" int dll_init() {
  PovModuleState *state = scene_saver_factory.state ? scene_saver_factory.state : pov_module_state_new();
  if (!state)
    return -1;
  scene_saver_factory.state = state;
  parts_saver_factory.state = state;
  parts37_saver_factory.state = state;
  preview_factory.state = state;
  preview37_factory.state = state;
  saver_register(&scene_saver_factory);
  saver_register(&parts_saver_factory);
  saver_register(&parts37_saver_factory);
  const int result = pov_register_preview(&preview_factory);
  if (result == 0)
    pov_register_preview(&preview37_factory);
  return result;
}

extern "C" int dll_term() {
  const int result = unregister_all();
  pov_module_state_free(scene_saver_factory.state);
  scene_saver_factory.state = nullptr;
  parts_saver_factory.state = nullptr;
  parts37_saver_factory.state = nullptr;
  preview_factory.state = nullptr;
  preview37_factory.state = nullptr;
  return result;
}

int unregister_all() {
  universe_display_surface_unregister(&preview_factory);
  universe_display_surface_unregister(&preview37_factory);
  saver_unregister(&scene_saver_factory);
  saver_unregister(&parts37_saver_factory);
  return saver_unregister(&parts_saver_factory);
}
