// The one store behind the host's factory registries (savers, display
// surfaces): factories in registration order, the registrant's and never
// owned here. Every call answers 0 exactly when it changed the registry:
// registering null or a factory already there answers 1 and adds nothing
// (a second entry would outlive the one unregister its owner makes), as
// unregistering one that is not there does.
#pragma once

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

template <class Factory> class FactoryRegistry {
public:
  int add(Factory *factory) {
    if (factory == nullptr || contains(factory))
      return 1;
    try {
      factories_.push_back(factory);
    } catch (const std::bad_alloc &) {
      return 1;
    }
    return 0;
  }

  int remove(Factory *factory) {
    const auto found = std::find(factories_.begin(), factories_.end(), factory);
    if (factory == nullptr || found == factories_.end())
      return 1;
    factories_.erase(found);
    return 0;
  }

  int count() const { return static_cast<int>(factories_.size()); }

  // 1-based; null outside 1 to count().
  Factory *get(int position) const {
    if (position < 1 || position > count())
      return nullptr;
    return factories_[static_cast<size_t>(position) - 1];
  }

  // The first registered factory of exactly that name.
  Factory *find(const char *name) const {
    if (name == nullptr)
      return nullptr;
    for (Factory *factory : factories_) {
      const char *own = factory->name();
      if (own != nullptr && std::strcmp(own, name) == 0)
        return factory;
    }
    return nullptr;
  }

private:
  bool contains(Factory *factory) const {
    return std::find(factories_.begin(), factories_.end(), factory) != factories_.end();
  }

  // Few factories are ever registered: a vector searched linearly is the
  // simplest store that keeps their order.
  std::vector<Factory *> factories_;
};
