// RegOpenKeyExA, RegQueryValueExA and RegCloseKey answered from the .reg file.
// The file is read afresh at every open, so a change to it is seen by the
// next lookup, as a change to the real registry would be.
#include "registry_file.h"

#include <cctype>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>

#define ERROR_INVALID_HANDLE 6L
#define ERROR_INVALID_PARAMETER 87L

// An open key: its path and a copy of its values at the time it was opened.
struct HKEY__ {
  std::string path;
  win32::RegKey key;
};

namespace {

std::mutex handles_mutex;
std::set<HKEY> &open_handles() {
  static std::set<HKEY> handles;
  return handles;
}

// The predefined root keys are small constants, never real handles.
const char *root_name(HKEY key) {
  switch (reinterpret_cast<uintptr_t>(key)) {
  case 0x80000000u:
    return "HKEY_CLASSES_ROOT";
  case 0x80000001u:
    return "HKEY_CURRENT_USER";
  case 0x80000002u:
    return "HKEY_LOCAL_MACHINE";
  case 0x80000003u:
    return "HKEY_USERS";
  case 0x80000005u:
    return "HKEY_CURRENT_CONFIG";
  default:
    return nullptr;
  }
}

bool is_open(HKEY key) {
  std::lock_guard<std::mutex> lock(handles_mutex);
  return open_handles().count(key) != 0;
}

} // namespace

LONG RegOpenKeyExA(HKEY root, LPCSTR subkey, DWORD, REGSAM, PHKEY result) {
  if (!result)
    return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::string path;
  if (const char *name = root_name(root))
    path = name;
  else if (root && is_open(root))
    path = root->path;
  else
    return ERROR_INVALID_HANDLE;
  if (subkey && *subkey)
    path = path + "\\" + subkey;
  win32::RegistryFile registry = win32::RegistryFile::load(win32::registry_file_path());
  if (!registry.has_key(path))
    return ERROR_FILE_NOT_FOUND;
  auto handle = std::make_unique<HKEY__>();
  handle->path = win32::canonical_key_path(path);
  if (const win32::RegKey *key = registry.key(path))
    handle->key = *key;
  std::lock_guard<std::mutex> lock(handles_mutex);
  *result = handle.get();
  open_handles().insert(handle.release());
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
  if (!is_open(key))
    return ERROR_INVALID_HANDLE;
  if (data && !size)
    return ERROR_INVALID_PARAMETER;
  std::string upper = name ? name : "";
  for (char &c : upper)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  auto it = key->key.values.find(upper);
  if (it == key->key.values.end())
    return ERROR_FILE_NOT_FOUND;
  const win32::RegValue &value = it->second;
  if (type)
    *type = value.type;
  DWORD needed = static_cast<DWORD>(value.data.size());
  LONG answer = ERROR_SUCCESS;
  if (data) {
    if (*size < needed)
      answer = ERROR_MORE_DATA;
    else if (needed)
      std::memcpy(data, value.data.data(), needed);
  }
  if (size)
    *size = needed;
  return answer;
}

LONG RegCloseKey(HKEY key) {
  if (root_name(key))
    return ERROR_SUCCESS;
  std::unique_ptr<HKEY__> owned;
  {
    std::lock_guard<std::mutex> lock(handles_mutex);
    if (!open_handles().erase(key))
      return ERROR_INVALID_HANDLE;
    owned.reset(key);
  }
  return ERROR_SUCCESS;
}
