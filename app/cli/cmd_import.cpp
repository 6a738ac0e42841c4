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
#include "app/import/studio_look.h"
#include "app/scene/json_value.h"
#include "core/ascii_text.h"
#include "core/atomic_file.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace bf {

int run_import(const Args &args);

namespace {

namespace fs = std::filesystem;

} // namespace

namespace {

// A colour as "#RRGGBB" or "R,G,B" (each 0..1); false when it is neither.
bool parse_colour(const std::string &text, std::array<double, 3> &out) {
  if (text.size() == 7 && text[0] == '#') {
    for (int i = 0; i < 3; ++i) {
      const std::string hex = text.substr(1 + 2 * i, 2);
      char *end = nullptr;
      const long v = std::strtol(hex.c_str(), &end, 16);
      if (*end || !std::isxdigit(static_cast<unsigned char>(hex[0])))
        return false;
      out[i] = v / 255.0;
    }
    return true;
  }
  const char *p = text.c_str();
  for (int i = 0; i < 3; ++i) {
    char *end = nullptr;
    const double v = std::strtod(p, &end);
    if (end == p || !(v >= 0 && v <= 1) || *end != (i < 2 ? ',' : '\0'))
      return false;
    out[i] = v;
    p = end + 1;
  }
  return true;
}

// --background COLOR|none and --floor on|off for a model file; a scene
// file keeps what it says, so there they are refused. False (after
// usage_error) on a bad value.
bool read_studio_options(const ParsedArgs &parsed, bool scene_file, StudioLook &look, int &exit_code) {
  const std::string *background = parsed.find("--background"), *floor = parsed.find("--floor");
  if ((background != nullptr || floor != nullptr) && scene_file) {
    exit_code = usage_error(std::string(background != nullptr ? "--background" : "--floor") +
                            " applies to model files; a scene file keeps its own background and objects");
    return false;
  }
  if (background != nullptr) {
    look.backdrop = *background != "none";
    if (look.backdrop && !parse_colour(*background, look.background)) {
      exit_code =
          usage_error("--background takes #RRGGBB, R,G,B (each 0 to 1) or none, not \"" + *background + "\"");
      return false;
    }
  }
  if (floor != nullptr && *floor != "on" && *floor != "off") {
    exit_code = usage_error("--floor takes on or off, not \"" + *floor + "\"");
    return false;
  }
  if (floor != nullptr)
    look.floor = *floor == "on";
  return true;
}

} // namespace

bool read_import_options(const ParsedArgs &parsed, const std::string &input, ImportOptions &options,
                         int &exit_code) {
  const std::string *up = parsed.find("--up"), *camera = parsed.find("--camera");
  const bool scene_file = zal::ascii_lower(fs::path(input).extension().string()) == ".json";
  if ((up != nullptr || camera != nullptr) && scene_file) {
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
  return read_studio_options(parsed, scene_file, options.studio, exit_code);
}

int run_import(const Args &args) {
  ParsedArgs parsed;
  int code = kExitOk;
  if (!parse_args(args, {"--up", "--camera", "--background", "--floor"}, {}, parsed, code))
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
