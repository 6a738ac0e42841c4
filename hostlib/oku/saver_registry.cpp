// The saver registry and the base class of saver factories.
#include "core/factory_registry.h"
#include "zaloku.h"

namespace {

FactoryRegistry<SaverFactory> &savers() {
  static FactoryRegistry<SaverFactory> registry;
  return registry;
}

} // namespace

SaverFactoryImp::SaverFactoryImp(const char *suffix) : suffix_(suffix != nullptr ? suffix : "") {}

int SaverFactoryImp::suffix_count() { return 1; }
const char *SaverFactoryImp::suffix(int index) { return index == 0 ? suffix_.c_str() : nullptr; }
const char *SaverFactoryImp::suffix() { return suffix_.c_str(); }
int SaverFactoryImp::hints() { return 0; }
const char *SaverFactoryImp::version() { return "1.0"; }

int saver_register(SaverFactory *factory) { return savers().add(factory); }
int saver_unregister(SaverFactory *factory) { return savers().remove(factory); }
int saver_count() { return savers().count(); }
SaverFactory *saver_get(int position) { return savers().get(position); }
SaverFactory *saver_find(const char *name) { return savers().find(name); }
