// Loading the export module with dlopen.
#include "app/cli/export_module.h"
#include "app/import/model_import.h"
#include "app/scene/json_value.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace bf {

namespace {

std::string program_directory() {
  std::vector<char> buffer(4096);
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0)
    return ".";
  return std::filesystem::path(std::string(buffer.data(), static_cast<size_t>(n))).parent_path().string();
}

} // namespace

std::string module_path() {
  const char *override_path = std::getenv("BRIGHTFOLD_MODULE");
  if (override_path != nullptr && *override_path != '\0')
    return override_path;
  return program_directory() + "/../lib/povexport.so";
}

std::unique_ptr<ModuleSession> ModuleSession::open(std::string &error) {
  const std::string path = module_path();
  void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char *why = dlerror();
    error = "cannot load the module " + path + ": " + (why != nullptr ? why : "unknown error");
    return nullptr;
  }
  auto init = reinterpret_cast<int (*)()>(dlsym(handle, "dll_init"));
  auto term = reinterpret_cast<int (*)()>(dlsym(handle, "dll_term"));
  if (init == nullptr || term == nullptr) {
    error = "the module " + path + " does not export dll_init and dll_term";
    dlclose(handle);
    return nullptr;
  }
  std::unique_ptr<ModuleSession> session(new ModuleSession(handle, term));
  session->init_result_ = init();
  return session;
}

ModuleSession::~ModuleSession() {
  term_();
  dlclose(handle_);
}

std::unique_ptr<ModuleSession> load_input_and_module(const std::string &input, const ImportOptions &options) {
  try {
    load_scene_input(input, options);
  } catch (const SceneError &e) {
    report(e.what());
    return nullptr;
  }
  std::string error;
  auto module = ModuleSession::open(error);
  if (!module)
    report(error);
  return module;
}

} // namespace bf
