// The export module, loaded for the length of one command.
#pragma once

#include <memory>
#include <string>

namespace bf {

struct ImportOptions;
class ModuleSession;

// Loads the scene file (or imports the model file) at `input`, then loads
// the module: null after saying why (a scene or module that cannot be
// used is a usage error, exit 2).
std::unique_ptr<ModuleSession> load_input_and_module(const std::string &input, const ImportOptions &options);

// Where the module is: $BRIGHTFOLD_MODULE when set, else
// <directory of the program>/../lib/povexport.so.
std::string module_path();

// Loads the module and calls its dll_init; the destructor calls dll_term and
// unloads it. Everything the module handed out (savers, surfaces) must be
// gone before that.
class ModuleSession {
public:
  // Null with a message in `error` when the module cannot be loaded.
  static std::unique_ptr<ModuleSession> open(std::string &error);
  ~ModuleSession();
  ModuleSession(const ModuleSession &) = delete;
  ModuleSession &operator=(const ModuleSession &) = delete;

  int init_result() const { return init_result_; } // non-zero: no POV-Ray for previews

private:
  ModuleSession(void *handle, int (*term)()) : handle_(handle), term_(term) {}
  void *handle_;
  int (*term_)();
  int init_result_ = 0;
};

} // namespace bf
