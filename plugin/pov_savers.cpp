// The scene savers and their factories: the same scene writer, with and
// without writing the part include files.
#include "base/pov_file_out.h"
#include "geometry/pov_parts.h"
#include "plugin/pov_plugin.h"
#include "scene/pov_save.h"
#include "texture/pov_texture.h"

#include <new>

namespace {

const int kSaverCode = 1000;

// Nothing is thrown across the module's boundary: a save that runs out of
// memory fails, and leaves no temporary file and no Targa file it made.
int guarded_save(PovModuleState *state, const char *path, _object *root, int mode,
                 int language = kPovLanguage30) {
  if (!state)
    return 0;
  try {
    return pov_save(state, path, root, mode, language);
  } catch (const std::bad_alloc &) {
    pov_files_abandon(&state->files);
    pov_parts_clear(state, 0);
    texture_list_clear(state, 1);
    esd_send("POV Save: out of memory.");
  }
  return 0;
}

} // namespace

int PovSceneSaver::save(void *, _object *root, const char *path) {
  return guarded_save(state, path, root, 0);
}

int PovPartsSaver::save(void *, _object *root, const char *path) {
  return guarded_save(state, path, root, 1, language);
}

PovSceneSaverFactory::PovSceneSaverFactory() : SaverFactoryImp("pov") {}
PovSceneSaverFactory::~PovSceneSaverFactory() = default;
const char *PovSceneSaverFactory::name() { return "POV scene file"; }
const char *PovSceneSaverFactory::description() { return name(); }
int PovSceneSaverFactory::saver_code() { return kSaverCode; }
Saver *PovSceneSaverFactory::create_saver() { return new (std::nothrow) PovSceneSaver(state); }

PovPartsSaverFactory::PovPartsSaverFactory() : SaverFactoryImp("pov") {}
PovPartsSaverFactory::~PovPartsSaverFactory() = default;
const char *PovPartsSaverFactory::name() { return "POV scene and parts files"; }
const char *PovPartsSaverFactory::description() { return name(); }
int PovPartsSaverFactory::saver_code() { return kSaverCode; }
Saver *PovPartsSaverFactory::create_saver() { return new (std::nothrow) PovPartsSaver(state); }

PovParts37SaverFactory::PovParts37SaverFactory() : SaverFactoryImp("pov") {}
PovParts37SaverFactory::~PovParts37SaverFactory() = default;
const char *PovParts37SaverFactory::name() { return "POV-Ray 3.7 scene and parts files"; }
const char *PovParts37SaverFactory::description() { return name(); }
int PovParts37SaverFactory::saver_code() { return kSaverCode; }
Saver *PovParts37SaverFactory::create_saver() {
  return new (std::nothrow) PovPartsSaver(state, kPovLanguage37);
}
