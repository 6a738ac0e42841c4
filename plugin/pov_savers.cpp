// The two scene savers and their factories: the same scene writer, with and
// without writing the part include files.
#include "plugin/pov_plugin.h"
#include "scene/pov_save.h"

#include <new>

int PovSceneSaver::save(void *, _object *root, const char *path) { return pov_save(path, root, 0); }

int PovPartsSaver::save(void *, _object *root, const char *path) { return pov_save(path, root, 1); }

namespace {
const int kSaverCode = 1000;
} // namespace

PovSceneSaverFactory::PovSceneSaverFactory() : SaverFactoryImp("pov") {}
PovSceneSaverFactory::~PovSceneSaverFactory() = default;
const char *PovSceneSaverFactory::name() { return "POV scene file"; }
const char *PovSceneSaverFactory::description() { return name(); }
int PovSceneSaverFactory::saver_code() { return kSaverCode; }
Saver *PovSceneSaverFactory::create_saver() { return new (std::nothrow) PovSceneSaver; }

PovPartsSaverFactory::PovPartsSaverFactory() : SaverFactoryImp("pov") {}
PovPartsSaverFactory::~PovPartsSaverFactory() = default;
const char *PovPartsSaverFactory::name() { return "POV scene and parts files"; }
const char *PovPartsSaverFactory::description() { return name(); }
int PovPartsSaverFactory::saver_code() { return kSaverCode; }
Saver *PovPartsSaverFactory::create_saver() { return new (std::nothrow) PovPartsSaver; }
