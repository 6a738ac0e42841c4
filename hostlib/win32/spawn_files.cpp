// What a started program was told: its arguments, and the scene and picture
// named by the POV-Ray INI file among them. The host learns a render's files
// here instead of knowing the names the module gives them.
#include "core/ascii_text.h"
#include "spawn_control.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::string trimmed(const std::string &s) {
  const char *space = " \t\r";
  size_t first = s.find_first_not_of(space);
  if (first == std::string::npos)
    return "";
  return s.substr(first, s.find_last_not_of(space) - first + 1);
}

std::string resolved(const std::string &name, const std::string &dir) {
  if (name.empty())
    return name;
  return (fs::path(dir) / name).lexically_normal().string();
}

bool is_ini(const std::string &arg) {
  return arg.size() > 4 && zal::ascii_lower(arg.substr(arg.size() - 4)) == ".ini";
}

} // namespace

void win32_read_spawn_ini(const std::string &text, const std::string &dir, Win32SpawnFiles &files) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    line = trimmed(line.substr(0, line.find(';')));
    size_t equals = line.find('=');
    if (equals == std::string::npos)
      continue;
    const std::string key = zal::ascii_lower(trimmed(line.substr(0, equals)));
    std::string value = trimmed(line.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (key == "input_file_name")
      files.input_file = resolved(value, dir);
    else if (key == "output_file_name")
      files.output_file = resolved(value, dir);
  }
}

// Called by _spawnl before it starts the program.
Win32SpawnFiles win32_describe_spawn(const std::vector<std::string> &args) {
  Win32SpawnFiles files;
  files.args = args;
  std::error_code error;
  const std::string dir = fs::current_path(error).string();
  for (const std::string &arg : args) {
    if (!is_ini(arg))
      continue;
    files.ini_file = resolved(arg, dir);
    std::ifstream in(files.ini_file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    win32_read_spawn_ini(text, dir, files);
    break;
  }
  return files;
}
