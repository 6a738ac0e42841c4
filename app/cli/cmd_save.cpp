// brightfold save SCENE.json OUT.pov [OUT2.pov ...] [--saver NAME]
#include "app/cli/commands.h"
#include "app/cli/dead_runs.h"
#include "app/cli/export_module.h"
#include "app/cli/output_check.h"
#include "app/cli/pov_version.h"
#include "app/cli/save_outputs.h"
#include "app/import/model_import.h"
#include "app/scene/json_value.h"
#include "app/scene/scene_loader.h"

#include "oku/scene_db.h"
#include "vy/targa.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

namespace bf {

namespace {

// The module writes the scene file whole under a temporary name and
// renames it into place, so a full disk leaves the earlier file as it was.
// An output that the scene reads, or a read-only one, is refused before
// any output is written.
//
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
    return saver.save(nullptr, db_get_root(), out.c_str());
  const int home = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (home < 0 || chdir(directory.c_str()) != 0) {
    if (home >= 0)
      close(home);
    return saver.save(nullptr, db_get_root(), out.c_str());
  }
  const int result = saver.save(nullptr, db_get_root(), path.filename().string().c_str());
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
  if (!parse_args(args, {"--saver", "--pov-version", "--up", "--camera", "--background", "--floor"}, {},
                  parsed, code))
    return code;
  if (parsed.operands.size() < 2)
    return usage_error("save needs a scene file and at least one output file");
  ImportOptions options;
  if (!read_import_options(parsed, parsed.operands.front(), options, code))
    return code;
  PovVersion version;
  if (!read_pov_version(parsed, false, version, code))
    return code;
  const std::string *chosen = parsed.find("--saver");
  const std::string saver_name = chosen != nullptr ? *chosen : version.saver();
  for (size_t i = 1; i < parsed.operands.size(); ++i) {
    if (const std::string why = save_name_refusal(parsed.operands[i]); !why.empty())
      return usage_error("cannot save to " + parsed.operands[i] + ": " + why);
  }

  const auto module = load_input_and_module(parsed.operands.front(), options);
  if (!module)
    return kExitUsage;
  SaverFactory *factory = saver_find(saver_name.c_str());
  if (factory == nullptr)
    return usage_error("no saver is named \"" + saver_name + "\" ('brightfold list' shows them)");

  for (size_t i = 1; i < parsed.operands.size(); ++i) {
    if (StdoutSave::names(parsed.operands[i]))
      continue;
    std::string why = output_refusal(parsed.operands[i], parsed.operands.front());
    if (why.empty())
      why = beside_refusal(parsed.operands[i]);
    if (!why.empty()) {
      report("cannot save to " + parsed.operands[i] + ": " + why);
      return kExitSaveFailed;
    }
  }
  int result = kExitOk;
  for (size_t i = 1; i < parsed.operands.size(); ++i) {
    const std::string &out = parsed.operands[i];
    const StdoutSave to_stdout(out);
    // Temporary files of saves (and renders) that were killed outright.
    const std::string directory = std::filesystem::path(out).parent_path().string();
    for (const char *prefix : {".oku-", ".bf-"})
      sweep_dead_runs(directory, prefix, ".partial");
    std::unique_ptr<Saver> saver(factory->create_saver());
    const unsigned lost_textures = vy_targa_failed_writes();
    if (const std::string why = folder_problem(to_stdout.target()); !why.empty()) {
      report("cannot save to " + out + ": " + why); // no folder is made
      result = kExitSaveFailed;
    } else if (!saver || to_stdout.target().empty() || save_in_directory(*saver, to_stdout.target()) != 1) {
      report("saving " + out + " failed");
      result = kExitSaveFailed;
    } else if (vy_targa_failed_writes() != lost_textures) {
      // The scene stands, with the texture left out; the module said which.
      report("saving " + out + " failed: a texture could not be written");
      result = kExitSaveFailed;
    } else if (to_stdout.wanted() && !to_stdout.copy_out()) {
      report("cannot write the scene to standard output: " + std::string(std::strerror(errno)));
      result = kExitSaveFailed;
    } else if (!to_stdout.wanted()) {
      say_how_to_render(out, saver_name);
    }
  }
  return result;
}

} // namespace bf
