// Display-surface factories: the base implementation's defaults and the
// host's registry, which keeps the factories in registration order.
#include "core/factory_registry.h"
#include "zalvy.h"

const char *VYuniverseDisplaySurfaceFactoryImp::extname() { return name(); }
int VYuniverseDisplaySurfaceFactoryImp::priority() { return 0; }
const char *VYuniverseDisplaySurfaceFactoryImp::version() { return "1.0"; }

namespace {

FactoryRegistry<VYuniverseDisplaySurfaceFactory> &registry() {
  static FactoryRegistry<VYuniverseDisplaySurfaceFactory> factories;
  return factories;
}

} // namespace

int universe_display_surface_register(VYuniverseDisplaySurfaceFactory *factory) {
  return registry().add(factory);
}
int universe_display_surface_unregister(VYuniverseDisplaySurfaceFactory *factory) {
  return registry().remove(factory);
}
int universe_display_surface_count() { return registry().count(); }
VYuniverseDisplaySurfaceFactory *universe_display_surface_get(int position) {
  return registry().get(position);
}
VYuniverseDisplaySurfaceFactory *universe_display_surface_find(const char *name) {
  return registry().find(name);
}
