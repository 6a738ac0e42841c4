// The files beside a kept scene.
#include "app/cli/keep_scene.h"
#include "app/cli/output_check.h"
#include "app/cli/save_outputs.h"

#include "core/ascii_text.h"
#include "core/atomic_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

namespace bf {

namespace {

namespace fs = std::filesystem;

std::string read_text(const fs::path &path, bool &ok) {
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ok = in.good() || in.eof();
  return text;
}

// Quoted plain file names ending in .inc or .tga.
std::vector<std::string> named_files(const std::string &text) {
  std::vector<std::string> names;
  for (size_t open = text.find('"'); open != std::string::npos; open = text.find('"', open + 1)) {
    const size_t close = text.find_first_of("\"\n", open + 1);
    if (close == std::string::npos || text[close] != '"')
      continue;
    const std::string name = text.substr(open + 1, close - open - 1);
    const std::string ext = zal::ascii_lower(fs::path(name).extension().string());
    if ((ext == ".inc" || ext == ".tga") && name.find('/') == std::string::npos && name.size() > 4)
      names.push_back(name);
    open = close;
  }
  return names;
}

} // namespace

std::string keep_scene_files(const std::string &rendered, const std::string &kept) {
  const fs::path from = fs::path(rendered).parent_path(), to = fs::path(kept).parent_path();
  if (const std::string why = folder_problem(kept); !why.empty())
    return "cannot keep the scene as " + kept + ": " + why;
  bool ok = true;
  std::vector<std::string> pending = named_files(read_text(rendered, ok));
  std::set<std::string> chosen;
  std::error_code ec;
  while (!pending.empty()) {
    const std::string name = pending.back();
    pending.pop_back();
    const fs::path source = from / name;
    if (!fs::is_regular_file(source, ec) || !chosen.insert(name).second)
      continue;
    if (name == "okudefs.inc" && fs::exists(fs::symlink_status(to / name, ec)))
      chosen.erase(name); // the user's own
    else if (zal::ascii_lower(source.extension().string()) == ".inc")
      for (std::string &inner : named_files(read_text(source, ok)))
        pending.push_back(std::move(inner));
  }
  for (const std::string &name : chosen) {
    const std::string target = (to / name).string();
    struct stat info;
    std::string why = lstat(target.c_str(), &info) == 0 && S_ISLNK(info.st_mode)
                          ? "a symbolic link stands there"
                          : output_refusal(target, "");
    if (why.empty())
      why = zal::write_refusal(target, true);
    if (!why.empty())
      return "cannot keep " + target + " beside the scene: " + why;
  }
  for (const std::string &name : chosen) {
    const std::string text = read_text(from / name, ok);
    if (!ok || !zal::write_whole_file((to / name).string(), text.data(), text.size()))
      return "cannot keep " + (to / name).string() + ": " + std::strerror(errno ? errno : EIO);
  }
  return "";
}

} // namespace bf
