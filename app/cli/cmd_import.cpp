// brightfold import MODEL OUT.json [--up y|z] [--camera NAME]
//
// Writes the scene of a model file as a scene file whose objects refer to
// the model's meshes; the file is written whole under a temporary name and
// renamed into place. The model itself, the files it names and read-only
// files are refused.
#include "app/cli/commands.h"
#include "app/cli/dead_runs.h"
#include "app/cli/output_check.h"
#include "app/import/model_import.h"
#include "app/scene/json_value.h"
#include "base/ascii_text.h"
#include "base/atomic_file.h"

#include "base/ascii_text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace bf {

int run_import(const Args &args);

namespace {

namespace fs = std::filesystem;

} // namespace

bool read_import_options(const ParsedArgs &parsed, const std::string &input, ImportOptions &options,
                         int &exit_code) {
  const std::string *up = parsed.find("--up"), *camera = parsed.find("--camera");
  if ((up != nullptr || camera != nullptr) &&
      zal::ascii_lower(fs::path(input).extension().string()) == ".json") {
    exit_code = usage_error(std::string(up != nullptr ? "--up" : "--camera") +
                            " applies to model files; a scene file gives its own (\"viewpoint\", sky)");
    return false;
  }
  if (up != nullptr && *up != "y" && *up != "z") {
    exit_code = usage_error("--up takes y or z, not \"" + *up + "\"");
    return false;
  }
  if (up != nullptr)
    options.up = (*up)[0];
  if (camera != nullptr)
    options.camera = *camera;
  return true;
}

int run_import(const Args &args) {
  ParsedArgs parsed;
  int code = kExitOk;
  if (!parse_args(args, {"--up", "--camera"}, {}, parsed, code))
    return code;
  if (parsed.operands.size() != 2)
    return usage_error("import needs a model file and one scene file to write (.json)");
  const std::string &model_path = parsed.operands[0];
  const std::string &out = parsed.operands[1];
  if (zal::ascii_lower(fs::path(out).extension().string()) != ".json")
    return usage_error("the scene file to write must end in .json: " + out);
  ImportOptions options;
  if (!read_import_options(parsed, model_path, options, code))
    return code;

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
