// Display-surface factories: the base implementation's defaults and the
// host's registry, which keeps the factories in registration order.
#include "zalvy.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

const char *VYuniverseDisplaySurfaceFactoryImp::extname() { return name(); }
int VYuniverseDisplaySurfaceFactoryImp::priority() { return 0; }
const char *VYuniverseDisplaySurfaceFactoryImp::version() { return "1.0"; }

namespace {

// Few factories are ever registered: a vector searched linearly is the
// simplest store that keeps their order.
std::vector<VYuniverseDisplaySurfaceFactory *> &registry() {
  static std::vector<VYuniverseDisplaySurfaceFactory *> factories;
  return factories;
}

bool registered(VYuniverseDisplaySurfaceFactory *factory) {
  const auto &factories = registry();
  return std::find(factories.begin(), factories.end(), factory) != factories.end();
}

} // namespace

// 0 on success; 1 for null or a factory already registered (a second entry
// would outlive the one unregister that its owner makes).
int universe_display_surface_register(VYuniverseDisplaySurfaceFactory *factory) {
  if (factory == nullptr || registered(factory))
    return 1;
  try {
    registry().push_back(factory);
  } catch (const std::bad_alloc &) {
    return 1;
  }
  return 0;
}

// 0 on success, 1 when the factory is not registered (nothing changes).
int universe_display_surface_unregister(VYuniverseDisplaySurfaceFactory *factory) {
  auto &factories = registry();
  const auto found = std::find(factories.begin(), factories.end(), factory);
  if (factory == nullptr || found == factories.end())
    return 1;
  factories.erase(found);
  return 0;
}

int universe_display_surface_count() { return static_cast<int>(registry().size()); }

VYuniverseDisplaySurfaceFactory *universe_display_surface_get(int position) {
  const auto &factories = registry();
  if (position < 1 || position > static_cast<int>(factories.size()))
    return nullptr;
  return factories[static_cast<size_t>(position) - 1];
}

VYuniverseDisplaySurfaceFactory *universe_display_surface_find(const char *name) {
  if (name == nullptr)
    return nullptr;
  for (VYuniverseDisplaySurfaceFactory *factory : registry()) {
    const char *own = factory->name();
    if (own != nullptr && std::strcmp(own, name) == 0)
      return factory;
  }
  return nullptr;
}
