// LIST, LIST_ITER and ASSOC.
#include "zalbase.h"

#include <string>
#include <unordered_map>
#include <utility>

void *LIST::get(int position) const {
  if (position < 1 || position > count())
    return nullptr;
  return items_[position - 1];
}

int LIST::add(void *item) {
  items_.push_back(item);
  return count();
}

int LIST::append(void *item) { return add(item); }

int LIST::remove(int position) {
  if (position < 1 || position > count())
    return 0;
  items_.erase(items_.begin() + (position - 1));
  return 1;
}

int LIST::findcontents(const void *item, LIST_COMPARE cmp) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (cmp(item, items_[i]) == 0)
      return static_cast<int>(i) + 1;
  return 0;
}

int LIST_ITER::first() {
  position_ = 1;
  return list_ != nullptr && position_ <= list_->count();
}

int LIST_ITER::next() {
  if (list_ == nullptr || position_ > list_->count())
    return 0;
  ++position_;
  return position_ <= list_->count();
}

void *LIST_ITER::getdata() const { return list_ ? list_->get(position_) : nullptr; }

int LIST_ITER::remove() {
  if (list_ == nullptr || !list_->remove(position_))
    return 0;
  --position_; // the successor now stands at the current position
  return 1;
}

struct ASSOC::Impl {
  std::vector<std::pair<std::string, void *>> entries;
  std::unordered_map<std::string, int> index; // key -> 0-based entry
};

ASSOC::ASSOC() : impl_(new Impl) {}
ASSOC::~ASSOC() = default;

int ASSOC::add(const char *key, void *value) {
  std::string k = key ? key : "";
  auto found = impl_->index.find(k);
  if (found != impl_->index.end()) {
    impl_->entries[found->second].second = value;
    return found->second + 1;
  }
  impl_->entries.emplace_back(k, value);
  int position = static_cast<int>(impl_->entries.size());
  try {
    impl_->index.emplace(std::move(k), position - 1);
  } catch (...) { // all or nothing: the caller still owns the value
    impl_->entries.pop_back();
    throw;
  }
  return position;
}

int ASSOC::find(const char *key) const {
  auto found = impl_->index.find(key ? key : "");
  return found == impl_->index.end() ? 0 : found->second + 1;
}

void *ASSOC::getvalue(const char *key) const { return getvalue(find(key)); }

void *ASSOC::getvalue(int position) const {
  if (position < 1 || position > count())
    return nullptr;
  return impl_->entries[position - 1].second;
}

const char *ASSOC::getkey(int position) const {
  if (position < 1 || position > count())
    return nullptr;
  return impl_->entries[position - 1].first.c_str();
}

int ASSOC::count() const { return static_cast<int>(impl_->entries.size()); }

void ASSOC::clear(ASSOC_RELEASE release) {
  // Take the entries out first, so a release function that looks at the
  // table sees it empty rather than half torn down.
  std::vector<std::pair<std::string, void *>> entries;
  entries.swap(impl_->entries);
  impl_->index.clear();
  if (release)
    for (auto &entry : entries)
      release(entry.second);
}
