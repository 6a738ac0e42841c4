// brightfold save SCENE.json OUT.pov [OUT2.pov ...] [--saver NAME]
#include "commands.h"
#include "model_import.h"
#include "module.h"
#include "scene_loader.h"

#include "oku/scene_db.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <filesystem>
#include <memory>

namespace bf {

namespace {

constexpr const char *kDefaultSaver = "POV scene and parts files";

// A regular file (or none yet) is saved under a temporary name beside it and
// renamed over it only when the save succeeded, so a failed save (a full
// disk) never leaves the earlier scene file cut short. Anything else (a
// device such as /dev/full, a FIFO, a symbolic link) is written directly.
bool replace_by_rename(const std::string &name) {
  struct stat info;
  if (lstat(name.c_str(), &info) != 0)
    return errno == ENOENT;
  return S_ISREG(info.st_mode);
}

// The mode a new file gets from fopen (0666 less the umask), or the mode of
// the file being replaced.
mode_t mode_for(const std::string &name) {
  struct stat info;
  if (stat(name.c_str(), &info) == 0)
    return info.st_mode & 07777;
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

int save_file(Saver &saver, const std::string &name) {
  std::string temporary = std::filesystem::path(name).parent_path() /
                          ("." + std::filesystem::path(name).filename().string() + ".XXXXXX");
  int fd = replace_by_rename(name) ? mkstemp(temporary.data()) : -1;
  if (fd < 0) // not a regular file, or no temporary file possible there
    return saver.save(nullptr, db_get_root(), name.c_str());
  close(fd);
  int result = saver.save(nullptr, db_get_root(), temporary.c_str());
  if (result == 1 &&
      (chmod(temporary.c_str(), mode_for(name)) != 0 || std::rename(temporary.c_str(), name.c_str()) != 0)) {
    report("cannot replace " + name + ": " + std::strerror(errno));
    result = 0;
  }
  if (result != 1)
    unlink(temporary.c_str());
  return result;
}

// Saves with the output's directory as the current directory, so that the
// files the module writes beside the scene (parts, converted textures) land
// there, and the saved scene renders in place. The module is given the bare
// file name. When the directory cannot be entered (it does not exist; none
// is created) the module gets the path as given and reports that it cannot
// open the file.
int save_in_directory(Saver &saver, const std::string &out) {
  const std::filesystem::path path(out);
  const std::string directory = path.parent_path().string();
  if (directory.empty())
    return save_file(saver, out);
  const int home = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (home < 0 || chdir(directory.c_str()) != 0) {
    if (home >= 0)
      close(home);
    return saver.save(nullptr, db_get_root(), out.c_str());
  }
  const int result = save_file(saver, path.filename().string());
  const bool back = fchdir(home) == 0;
  close(home);
  if (!back)
    report("cannot return to the starting directory");
  return result;
}

} // namespace

int run_save(const Args &args) {
  ParsedArgs parsed;
  int code = kExitOk;
  if (!parse_args(args, {"--saver"}, {}, parsed, code))
    return code;
  if (parsed.operands.size() < 2)
    return usage_error("save needs a scene file and at least one output file");
  const std::string *chosen = parsed.find("--saver");
  const std::string saver_name = chosen != nullptr ? *chosen : kDefaultSaver;

  try {
    load_scene_input(parsed.operands.front());
  } catch (const SceneError &e) {
    report(e.what());
    return kExitUsage;
  }
  std::string error;
  const auto module = ModuleSession::open(error);
  if (!module) {
    report(error);
    return kExitUsage;
  }
  SaverFactory *factory = saver_find(saver_name.c_str());
  if (factory == nullptr)
    return usage_error("no saver is named \"" + saver_name + "\" ('brightfold list' shows them)");

  int result = kExitOk;
  for (size_t i = 1; i < parsed.operands.size(); ++i) {
    const std::string &out = parsed.operands[i];
    std::unique_ptr<Saver> saver(factory->create_saver());
    if (!saver || save_in_directory(*saver, out) != 1) {
      report("saving " + out + " failed");
      result = kExitSaveFailed;
    }
  }
  return result;
}

} // namespace bf
