// What the preview's tests share: a private working directory, a registry
// file of the test's own, a POV-Ray home whose bin/pvengine.exe is a
// stand-in the test controls, and Targa files written byte by byte.
#pragma once

#include "tests/support/files.h"
#include "tests/support/targa.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pvtest {

namespace fs = std::filesystem;

// Whole files and Targa pictures: the shared test support's.
using bftest::read_file;
using bftest::Rgba;
using bftest::write_file;
using bftest::write_targa;

inline std::vector<std::string> lines_of(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// A colour that tells every pixel of a small picture apart.
inline Rgba pattern(int x, int y) {
  return {static_cast<unsigned char>(10 + x), static_cast<unsigned char>(100 + y),
          static_cast<unsigned char>(200 + (x + y) % 50), static_cast<unsigned char>(7 + x + y)};
}

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
public:
  ScopedEnv(const char *name, const std::string &value) : name_(name) {
    const char *old = std::getenv(name);
    had_ = old != nullptr;
    if (old)
      old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_)
      setenv(name_.c_str(), old_.c_str(), 1);
    else
      unsetenv(name_.c_str());
  }
  ScopedEnv(const ScopedEnv &) = delete;
  ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
  std::string name_, old_;
  bool had_ = false;
};

// A scratch root holding work/ (the current directory while the test runs),
// home/ (POV-Ray's home with bin/pvengine.exe) and registry.reg.
class PreviewFixture : public ::testing::Test {
protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "bf-preview-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    work_ = root_ / "work";
    home_ = root_ / "home";
    fs::create_directories(work_);
    fs::create_directories(home_ / "bin");
    old_cwd_ = fs::current_path();
    fs::current_path(work_);
    registry_env_ = std::make_unique<ScopedEnv>("BRIGHTFOLD_REGISTRY", (root_ / "registry.reg").string());
    install_stand_in();
  }
  void TearDown() override {
    fs::current_path(old_cwd_);
    registry_env_.reset();
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  // The registry with "Home" under the given key ("" for no key at all).
  void set_registry(const std::string &key, const std::string &home_value_line) {
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
    if (!key.empty())
      text += "[HKEY_LOCAL_MACHINE\\" + key + "]\r\n" + home_value_line + "\r\n";
    write_file(root_ / "registry.reg", text);
  }
  static std::string home_line(const std::string &home) {
    std::string escaped;
    for (char c : home) {
      if (c == '\\' || c == '"')
        escaped += '\\';
      escaped += c;
    }
    return "\"Home\"=\"" + escaped + "\"";
  }
  void use_stand_in() {
    set_registry("Software\\POV-Ray\\CurrentVersion\\Windows", home_line(home_.string()));
  }

  // bin/pvengine.exe: records its arguments and working directory, keeps
  // copies of the INI and scene files, counts its runs, answers the image
  // home/render.tga as its render and exits with home/exit_code.
  void install_stand_in() {
    fs::path program = home_ / "bin" / "pvengine.exe";
    std::string h = home_.string();
    write_file(program,
               "#!/bin/sh\n"
               "h='" +
                   h +
                   "'\n"
                   "for a in \"$0\" \"$@\"; do printf '%s\\n' \"$a\"; done > \"$h/args.txt\"\n"
                   "pwd > \"$h/cwd.txt\"\n"
                   "echo run >> \"$h/runs.txt\"\n"
                   "cp \"$1\" \"$h/last.ini\" 2>/dev/null\n"
                   "if [ -f '$$povuds.pov' ]; then echo yes; else echo no; fi > \"$h/scene_seen.txt\"\n"
                   "cp '$$povuds.pov' \"$h/last.pov\" 2>/dev/null\n"
                   "[ -f \"$h/render.tga\" ] && cp \"$h/render.tga\" '$$povuds.tga'\n"
                   "exit $(cat \"$h/exit_code\" 2>/dev/null || echo 0)\n");
    fs::permissions(program, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  }
  int runs() const { return static_cast<int>(lines_of(read_file(home_ / "runs.txt")).size()); }
  std::vector<std::string> work_entries() const {
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(work_))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path root_, work_, home_, old_cwd_;
  std::unique_ptr<ScopedEnv> registry_env_;
};

} // namespace pvtest
