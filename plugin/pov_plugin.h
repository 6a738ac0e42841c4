// Entry points and saver factories.
#pragma once

#include "base/pov_session.h"
#include "zaloku.h"

extern "C" {
__attribute__((visibility("default"))) int dll_init();
__attribute__((visibility("default"))) int dll_term();
}

int unregister_all();

class PovSceneSaver : public Saver {
public:
  explicit PovSceneSaver(PovModuleState *module_state) : state(module_state) {}
  int save(void *context, _object *root, const char *path) override;

private:
  PovModuleState *state;
};

class PovPartsSaver : public Saver {
public:
  explicit PovPartsSaver(PovModuleState *module_state, int pov_language = kPovLanguage30)
      : state(module_state), language(pov_language) {}
  int save(void *context, _object *root, const char *path) override;

private:
  PovModuleState *state;
  int language;
};

class PovSceneSaverFactory : public SaverFactoryImp {
public:
  PovSceneSaverFactory();
  ~PovSceneSaverFactory() override;
  const char *name() override;
  const char *description() override;
  int saver_code() override;
  Saver *create_saver() override;

  PovModuleState *state = nullptr; // handed to every saver it creates
};

class PovPartsSaverFactory : public SaverFactoryImp {
public:
  PovPartsSaverFactory();
  ~PovPartsSaverFactory() override;
  const char *name() override;
  const char *description() override;
  int saver_code() override;
  Saver *create_saver() override;

  PovModuleState *state = nullptr; // handed to every saver it creates
};

// "POV-Ray 3.7 scene and parts files": the scene and its include files in
// the POV-Ray 3.7 language.
class PovParts37SaverFactory : public SaverFactoryImp {
public:
  PovParts37SaverFactory();
  ~PovParts37SaverFactory() override;
  const char *name() override;
  const char *description() override;
  int saver_code() override;
  Saver *create_saver() override;

  PovModuleState *state = nullptr; // handed to every saver it creates
};
