// The pictures held in memory under a name (image_bytes.h).
#include "image_bytes.h"

#include <cstring>
#include <map>
#include <mutex>
#include <new>

namespace {

using Bytes = std::shared_ptr<const std::vector<unsigned char>>;

struct Held {
  std::mutex lock;
  std::map<std::string, Bytes> by_name;
  size_t total = 0;
};

Held &held() {
  static Held h;
  return h;
}

// Forgets `at`; the caller holds the lock.
std::map<std::string, Bytes>::iterator forget(Held &h, std::map<std::string, Bytes>::iterator at) {
  h.total -= at->second->size();
  return h.by_name.erase(at);
}

} // namespace

std::string vy_register_image_bytes(const std::string &name, const void *bytes, size_t size) {
  Held &h = held();
  std::lock_guard<std::mutex> guard(h.lock);
  if (auto at = h.by_name.find(name); at != h.by_name.end())
    forget(h, at);
  if (bytes == nullptr || size == 0)
    return "the picture is empty";
  if (size > kMaxHeldImageBytes || h.total + size > kMaxHeldImageBytes)
    return "the pictures inside model files come to more than " + std::to_string(kMaxHeldImageBytes >> 20) +
           " MiB";
  try {
    auto copy = std::make_shared<std::vector<unsigned char>>(size);
    std::memcpy(copy->data(), bytes, size);
    h.by_name[name] = std::move(copy);
  } catch (const std::bad_alloc &) {
    return "out of memory";
  }
  h.total += size;
  return "";
}

void vy_unregister_images_under(const std::string &prefix) {
  Held &h = held();
  std::lock_guard<std::mutex> guard(h.lock);
  for (auto at = h.by_name.lower_bound(prefix);
       at != h.by_name.end() && at->first.compare(0, prefix.size(), prefix) == 0;)
    at = forget(h, at);
}

std::shared_ptr<const std::vector<unsigned char>> vy_registered_image_bytes(const char *name) {
  if (name == nullptr)
    return nullptr;
  Held &h = held();
  std::lock_guard<std::mutex> guard(h.lock);
  const auto at = h.by_name.find(name);
  return at == h.by_name.end() ? nullptr : at->second;
}
