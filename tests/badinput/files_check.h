// What every fault test checks afterwards: no temporary file is left, no
// file other than the outputs changed, and no earlier output was lost.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace badinput {

inline std::string slurp(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

using Snapshot = std::map<std::string, std::string>;

// Every entry below dir: a regular file by its content, anything else by
// its kind (a symbolic link is not followed).
inline Snapshot snapshot(const std::filesystem::path &dir) {
  Snapshot files;
  for (const auto &entry : std::filesystem::recursive_directory_iterator(dir)) {
    const std::string name = std::filesystem::relative(entry.path(), dir).string();
    if (entry.is_symlink())
      files[name] = "<link>";
    else if (entry.is_regular_file())
      files[name] = slurp(entry.path());
    else
      files[name] = entry.is_directory() ? "<dir>" : "<other>";
  }
  return files;
}

// After a run: the files of `before` are all there and unchanged, except
// the outputs named (which may also be new); nothing else is new.
inline void expect_only_outputs_changed(const Snapshot &before, const Snapshot &after,
                                        const std::set<std::string> &outputs = {}) {
  for (const auto &[name, content] : before) {
    if (outputs.count(name))
      continue;
    const auto it = after.find(name);
    EXPECT_TRUE(it != after.end()) << name << " was lost";
    if (it != after.end()) {
      EXPECT_TRUE(it->second == content) << name << " was changed";
    }
  }
  for (const auto &[name, content] : after)
    EXPECT_TRUE(before.count(name) || outputs.count(name)) << "left behind: " << name;
}

} // namespace badinput
