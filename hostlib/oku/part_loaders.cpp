// Loader factories, one per part type that Assimp reads. They are made on
// first request and live as long as the process.
#include "core/ascii_text.h"
#include "oku/assimp_mesh.h"
#include "zaloku.h"

#include <cstring>
#include <map>
#include <memory>
#include <string>

namespace {

// Names a part by its name (the scene file's part label); nothing when the
// part has none, so that the file name is used instead.
class LabelNamer : public PartNamer {
public:
  void name_part(const char *name, const char *, int capacity, char *out) override {
    if (out == nullptr || capacity <= 0)
      return;
    size_t n = name != nullptr ? std::strlen(name) : 0;
    const size_t room = static_cast<size_t>(capacity) - 1;
    if (n > room)
      n = zal::utf8_cut(name, room);
    if (n > 0)
      std::memcpy(out, name, n);
    out[n] = '\0';
  }
};

class AssimpLoaderFactory : public LoaderFactory {
public:
  explicit AssimpLoaderFactory(std::string type) : type_(std::move(type)) {}
  const char *type() const override { return type_.c_str(); }
  PartNamer *part_namer() override { return &namer_; }
  // The part's parameter string has no meaning for these file formats.
  VYobject *load(const char *path, const char *, std::string &error) override {
    if (path == nullptr || *path == '\0') {
      error = "no file name";
      return nullptr;
    }
    return oku::load_part_mesh(path, type_, error);
  }

private:
  std::string type_;
  LabelNamer namer_;
};

// "OBJ", "obj" and ".obj" are the same type; anything but ASCII letters and
// digits is no type at all.
bool normalise_type(const char *type, std::string &out) {
  if (type == nullptr)
    return false;
  if (*type == '.')
    ++type;
  out.clear();
  for (const char *c = type; *c != '\0'; ++c) {
    const char ch = zal::ascii_lower(*c);
    if (!((ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9')) || out.size() >= 16)
      return false;
    out += ch;
  }
  return !out.empty();
}

} // namespace

LoaderFactory *loader_get_factory(const char *type) {
  static std::map<std::string, std::unique_ptr<AssimpLoaderFactory>> factories;
  std::string key;
  if (!normalise_type(type, key))
    return nullptr;
  auto it = factories.find(key);
  if (it != factories.end())
    return it->second.get();
  if (!oku::part_type_supported(key))
    return nullptr;
  auto &slot = factories[key];
  slot = std::make_unique<AssimpLoaderFactory>(key);
  return slot.get();
}
