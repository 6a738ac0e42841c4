// brightfold import MODEL OUT.json [--up y|z] [--camera NAME]
//
// Writes the scene of a model file as a scene file whose objects refer to
// the model's meshes; the file is written whole under a temporary name and
// renamed into place. The model itself, the files it names and read-only
// files are refused.
#include "base/atomic_file.h"
#include "commands.h"
#include "dead_runs.h"
#include "model_import.h"
#include "output_check.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace bf {

int run_import(const Args &args);

namespace {

namespace fs = std::filesystem;

} // namespace

int run_import(const Args &args) {
  ParsedArgs parsed;
  int code = kExitOk;
  if (!parse_args(args, {"--up", "--camera"}, {}, parsed, code))
    return code;
  if (parsed.operands.size() != 2)
    return usage_error("import needs a model file and one scene file to write (.json)");
  const std::string &model_path = parsed.operands[0];
  const std::string &out = parsed.operands[1];
  if (fs::path(out).extension() != ".json")
    return usage_error("the scene file to write must end in .json: " + out);
  ImportOptions options;
  if (const std::string *up = parsed.find("--up")) {
    if (*up != "y" && *up != "z")
      return usage_error("--up takes y or z, not \"" + *up + "\"");
    options.up = (*up)[0];
  }
  if (const std::string *camera = parsed.find("--camera"))
    options.camera = *camera;

  std::error_code ec;
  const fs::path model = fs::absolute(model_path, ec).lexically_normal();
  const fs::path scene = fs::absolute(out, ec).lexically_normal();
  std::shared_ptr<ModelFile> file;
  {
    std::string error;
    file = ModelFile::open(model.string(), error);
    if (!file) {
      report(model_path + ": " + error);
      return kExitUsage;
    }
  }
  // The files the model named are known once it is read.
  if (const std::string why = output_refusal(out, model_path); !why.empty()) {
    report("cannot write " + out + ": " + why);
    return kExitSaveFailed;
  }
  std::string text;
  try {
    text = scene_text(import_model(*file, options, scene.parent_path()));
  } catch (const SceneError &e) {
    report(e.what());
    return kExitUsage;
  }
  sweep_dead_runs(scene.parent_path().string(), ".bf-", ".partial");
  if (!zal::write_whole_file(scene.string(), text.data(), text.size())) {
    report("cannot write " + out + ": " + std::strerror(errno));
    return kExitSaveFailed;
  }
  return kExitOk;
}

} // namespace bf
