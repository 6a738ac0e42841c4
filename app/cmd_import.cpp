// brightfold import MODEL OUT.json [--up y|z] [--camera NAME]
//
// Writes the scene of a model file as a scene file whose objects refer to
// the model's meshes; the file is written whole under a temporary name and
// renamed into place.
#include "commands.h"
#include "model_import.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace bf {

int run_import(const Args &args);

namespace {

namespace fs = std::filesystem;

// Writes `text` to `out` through a temporary file beside it; false with the
// reason in `error`.
bool write_whole(const std::string &out, const std::string &text, std::string &error) {
  const fs::path target(out);
  std::string temporary = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(temporary.data());
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    done += static_cast<size_t>(n);
  }
  const int write_errno = done == text.size() ? 0 : errno ? errno : ENOSPC;
  const mode_t mask = umask(0);
  umask(mask);
  const bool ok = write_errno == 0 && fchmod(fd, 0666 & ~mask) == 0 && fsync(fd) == 0;
  const int saved = ok ? 0 : write_errno ? write_errno : errno;
  if (close(fd) != 0 || !ok || std::rename(temporary.c_str(), out.c_str()) != 0) {
    error = std::strerror(saved ? saved : errno);
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

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
  if (fs::equivalent(model, scene, ec))
    return usage_error("the scene file would replace the model file: " + out);
  std::string text;
  try {
    std::string error;
    const auto file = ModelFile::open(model.string(), error);
    if (!file)
      throw SceneError(model_path + ": " + error);
    text = scene_text(import_model(*file, options, scene.parent_path()));
  } catch (const SceneError &e) {
    report(e.what());
    return kExitUsage;
  }
  std::string error;
  if (!write_whole(scene.string(), text, error)) {
    report("cannot write " + out + ": " + error);
    return kExitSaveFailed;
  }
  return kExitOk;
}

} // namespace bf
