// The texture list (texture_list of the module state): the records whose Targa file exists, shared by every
// object that uses the same texture file within a scene write. The list keeps its order and stays the
// module's LIST (the preview reads it); beside it a hash index answers "is an equal record listed?" in
// constant time, since a scene may hold thousands of textured objects.
#include "texture/pov_texture_internal.h"
#include "win32.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <unordered_map>

namespace {

// Two records compare equal exactly when their texture names and their file
// names are equal ignoring ASCII case, so the key holds both, lower-cased.
void append_lower(std::string &key, const char *s) {
  for (; s && *s; s++) {
    char c = *s;
    key.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  }
}

std::string key_of(TextureRecord *record) {
  record->derive_file_name();
  std::string key;
  append_lower(key, record->texture_name);
  key.push_back('\0');
  append_lower(key, record->file_name);
  return key;
}

// Someone may have emptied texture_list directly (the list is shared); the
// index is then rebuilt from the list before it is trusted.
void sync_index(PovModuleState *state) {
  const LIST &texture_list = state->texture_list;
  if (state->indexed_count == texture_list.count())
    return;
  auto &map = state->texture_index;
  map.clear();
  for (int i = 1; i <= texture_list.count(); i++) {
    TextureRecord *record = static_cast<TextureRecord *>(texture_list.get(i));
    if (record)
      map.emplace(key_of(record), record); // the first equal record wins, as in a linear search
  }
  state->indexed_count = texture_list.count();
}

} // namespace

TextureRecord *texture_list_find(PovModuleState *state, TextureRecord *record) {
  if (!record)
    return nullptr;
  sync_index(state);
  auto &map = state->texture_index;
  auto found = map.find(key_of(record));
  return found == map.end() ? nullptr : found->second;
}

void texture_list_add(PovModuleState *state, TextureRecord *record) {
  sync_index(state);
  state->release_texture = texture_record_free;
  state->texture_list.add(record);
  state->texture_index.emplace(key_of(record), record);
  state->indexed_count = state->texture_list.count();
}

TextureRecord *texture_acquire(PovSession &session, _object *object, int *usable) {
  *usable = 0;
  TextureRecord *record = texture_record_new();
  if (!record)
    return nullptr;
  record->fill(object, session.inherited_opacity);
  TextureRecord *listed = texture_list_find(session.module, record);
  if (listed) {
    texture_record_free(record);
    *usable = 1;
    return listed;
  }
  *usable = record->ensure_file(session);
  return record;
}

// Frees a record unless it is the listed one. (A transient record that only
// compares equal to a listed one is freed too: it is not in the list, and
// keeping it would leak it.)
void texture_release(PovModuleState *state, TextureRecord *record) {
  if (record && texture_list_find(state, record) != record)
    texture_record_free(record);
}

long long texture_image_stamp(const char *path) {
  if (!path || !*path)
    return 0;
  std::error_code error;
  auto time = std::filesystem::last_write_time(path, error);
  if (error) {
    const char *mark = std::strrchr(path, '#');
    return mark && mark != path ? texture_image_stamp(std::string(path, mark).c_str()) : 0;
  }
  auto size = std::filesystem::file_size(path, error);
  if (error)
    return 0;
  unsigned long long stamp = static_cast<unsigned long long>(time.time_since_epoch().count());
  stamp ^= static_cast<unsigned long long>(size) * 0x9e3779b97f4a7c15ull;
  return static_cast<long long>(stamp | 1); // never 0, the stamp of no file
}

namespace {

bool targa_exists(TextureRecord *record) {
  record->derive_file_name();
  std::error_code error;
  return record->file_name && std::filesystem::exists(record->file_name, error);
}

// Removes the records that `stale` picks, deleting the Targa files that
// this module made for them.
template <class Stale> void drop_records(PovModuleState *state, Stale stale) {
  LIST &texture_list = state->texture_list;
  for (int i = texture_list.count(); i >= 1; i--) {
    TextureRecord *record = static_cast<TextureRecord *>(texture_list.get(i));
    if (!record || !stale(record))
      continue;
    if (record->converted && record->file_name)
      _unlink(record->file_name);
    texture_record_free(record);
    texture_list.remove(i);
  }
  state->texture_index.clear();
  state->indexed_count = -1; // rebuilt at the next search
}

} // namespace

void texture_list_drop_changed(PovModuleState *state) {
  drop_records(state, [](TextureRecord *record) {
    return texture_image_stamp(record->texture_name) != record->image_stamp;
  });
  // A record that found another record's file on disk loses it with it.
  drop_records(state, [](TextureRecord *record) { return !targa_exists(record); });
}

void texture_list_clear(PovModuleState *state, int delete_files) {
  LIST &texture_list = state->texture_list;
  for (int i = 1; i <= texture_list.count(); i++) {
    TextureRecord *record = static_cast<TextureRecord *>(texture_list.get(i));
    if (!record)
      continue;
    // Only files this module made are deleted: a file found on disk may
    // belong to a saved scene that refers to it.
    if (delete_files && record->converted) {
      record->derive_file_name();
      if (record->file_name)
        _unlink(record->file_name);
    }
    texture_record_free(record);
  }
  texture_list.clear();
  state->texture_index.clear();
  state->indexed_count = 0;
}
