// What every test suite needs of the file system: whole-file reads and
// writes, and a scratch folder that is removed with everything in it.
#pragma once

#include <filesystem>
#include <string>

namespace bftest {

// The bytes of the file; empty when it cannot be read.
std::string read_file(const std::filesystem::path &path);
// Writes the bytes as the whole file; false when it could not be written.
bool write_file(const std::filesystem::path &path, const std::string &bytes);

// A new folder under the test's temporary folder, removed with its contents
// when the object goes.
class ScratchDir {
public:
  explicit ScratchDir(const std::string &prefix = "bf_test");
  ~ScratchDir();
  ScratchDir(const ScratchDir &) = delete;
  ScratchDir &operator=(const ScratchDir &) = delete;

  const std::filesystem::path &path() const { return path_; }
  std::string file(const std::string &name) const { return (path_ / name).string(); }

private:
  std::filesystem::path path_;
};

} // namespace bftest
