// The outputs of `save`: names, folders and the line after a save.
#include "app/cli/save_outputs.h"
#include "app/cli/commands.h"
#include "app/cli/picture_output.h"
#include "app/scene/json_value.h"
#include "app/scene/verbosity.h"

#include "core/ascii_text.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace bf {

namespace {

namespace fs = std::filesystem;

const char *const kPictureExtensions[] = {".png", ".tga", ".jpg",  ".jpeg", ".bmp", ".gif", ".ppm",
                                          ".pgm", ".tif", ".tiff", ".exr",  ".hdr", ".webp"};

// A path as a shell word: quoted when it holds anything but plain characters.
std::string shell_word(const std::string &text) {
  if (!text.empty() && text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                              "0123456789_-.,/+=:@%") == std::string::npos)
    return text;
  std::string quoted = "'";
  for (char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

} // namespace

bool StdoutSave::names(const std::string &operand) {
  for (const char *name : {"-", "/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"})
    if (operand == name)
      return true;
  return false;
}

StdoutSave::StdoutSave(const std::string &operand) : wanted_(names(operand)), target_(operand) {
  if (!wanted_)
    return;
  std::error_code ec;
  std::string pattern = (fs::temp_directory_path(ec) / "brightfold-save-XXXXXX").string();
  folder_ = mkdtemp(pattern.data()) ? pattern : "";
  target_ = folder_.empty() ? "" : folder_ + "/scene.pov";
}

StdoutSave::~StdoutSave() {
  std::error_code ignored;
  if (!folder_.empty())
    fs::remove_all(folder_, ignored);
}

bool StdoutSave::copy_out() const {
  // Streamed: a scene text of a big mesh runs to hundreds of megabytes.
  std::ifstream in(target_, std::ios::binary);
  std::vector<char> block(1 << 16);
  while (in) {
    in.read(block.data(), static_cast<std::streamsize>(block.size()));
    if (in.gcount() > 0 && !write_stdout(block.data(), static_cast<size_t>(in.gcount())))
      return false;
  }
  return in.eof();
}

std::string save_name_refusal(const std::string &out) {
  const std::string ext = zal::ascii_lower(fs::path(out).extension().string());
  for (const char *picture : kPictureExtensions)
    if (ext == picture)
      return "the name of a picture (" + ext +
             "): save writes POV-Ray scene text; 'brightfold render' writes "
             "pictures";
  return "";
}

std::string folder_problem(const std::string &out) {
  struct stat info;
  if (stat(out.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
    return ""; // a device or FIFO is written directly
  fs::path folder = fs::path(out).parent_path();
  if (folder.empty())
    folder = ".";
  if (stat(folder.c_str(), &info) != 0)
    return std::strerror(errno);
  if (!S_ISDIR(info.st_mode))
    return std::strerror(ENOTDIR);
  return access(folder.c_str(), W_OK | X_OK) == 0 ? "" : std::strerror(errno);
}

void say_how_to_render(const std::string &out, const std::string &saver) {
  struct stat info;
  if (stat(out.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
    return;
  const fs::path path(out);
  const fs::path folder = path.parent_path();
  const std::string version = saver.find("3.7") == std::string::npos ? "+MV3.0 " : "";
  const std::string command = "povray " + version + "+I" + shell_word(path.filename().string());
  note("saved " + out + "; render it with: " +
       (folder.empty() ? command : "cd " + shell_word(folder.string()) + " && " + command));
}

} // namespace bf
