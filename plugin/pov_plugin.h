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
  explicit PovPartsSaver(PovModuleState *module_state) : state(module_state) {}
  int save(void *context, _object *root, const char *path) override;

private:
  PovModuleState *state;
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
