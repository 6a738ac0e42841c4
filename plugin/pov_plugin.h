// Entry points and saver factories.
#pragma once

#include "zaloku.h"

extern "C" {
__attribute__((visibility("default"))) int dll_init();
__attribute__((visibility("default"))) int dll_term();
}

int unregister_all();

class PovSceneSaver : public Saver {
public:
  int save(void *context, _object *root, const char *path) override;
};

class PovPartsSaver : public Saver {
public:
  int save(void *context, _object *root, const char *path) override;
};

class PovSceneSaverFactory : public SaverFactoryImp {
public:
  PovSceneSaverFactory();
  ~PovSceneSaverFactory() override;
  const char *name() override;
  const char *description() override;
  int saver_code() override;
  Saver *create_saver() override;
};

class PovPartsSaverFactory : public SaverFactoryImp {
public:
  PovPartsSaverFactory();
  ~PovPartsSaverFactory() override;
  const char *name() override;
  const char *description() override;
  int saver_code() override;
  Saver *create_saver() override;
};
