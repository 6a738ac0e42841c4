// The saver registry and the base class of saver factories.
#include "zaloku.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Registration order; factories are the registrant's, never owned here.
std::vector<SaverFactory *> &savers() {
  static std::vector<SaverFactory *> registered;
  return registered;
}

} // namespace

SaverFactoryImp::SaverFactoryImp(const char *suffix) : suffix_(suffix != nullptr ? suffix : "") {}

int SaverFactoryImp::suffix_count() { return 1; }
const char *SaverFactoryImp::suffix(int index) { return index == 0 ? suffix_.c_str() : nullptr; }
const char *SaverFactoryImp::suffix() { return suffix_.c_str(); }
int SaverFactoryImp::hints() { return 0; }
const char *SaverFactoryImp::version() { return "1.0"; }

// Registering a factory twice keeps one entry; null is refused.
int saver_register(SaverFactory *factory) {
  if (factory == nullptr)
    return 1;
  auto &list = savers();
  if (std::find(list.begin(), list.end(), factory) == list.end())
    list.push_back(factory);
  return 0;
}

int saver_unregister(SaverFactory *factory) {
  auto &list = savers();
  const auto it = std::find(list.begin(), list.end(), factory);
  if (factory == nullptr || it == list.end())
    return 1;
  list.erase(it);
  return 0;
}

int saver_count() { return static_cast<int>(savers().size()); }

SaverFactory *saver_get(int position) {
  const auto &list = savers();
  if (position < 1 || position > static_cast<int>(list.size()))
    return nullptr;
  return list[static_cast<size_t>(position - 1)];
}

// The first registered factory of that exact name.
SaverFactory *saver_find(const char *name) {
  if (name == nullptr)
    return nullptr;
  for (SaverFactory *factory : savers()) {
    const char *own = factory->name();
    if (own != nullptr && std::strcmp(own, name) == 0)
      return factory;
  }
  return nullptr;
}
