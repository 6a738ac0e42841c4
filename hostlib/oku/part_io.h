// The files Assimp opens while it reads a part or a model: under an alias,
// as UTF-8, and only when they are regular files of a bounded size.
#pragma once

#include "oku/utf16_text.h"

#include <assimp/DefaultIOSystem.h>

#include <string>
#include <vector>

namespace oku {

// Largest file that a part or model reads, itself or a file it names.
constexpr long long kMaxReadFileBytes = 1LL << 30;

// Why the file at `path` must not be opened for reading, looked at before
// it is opened (a FIFO blocks the open, a device never ends): "no such
// file", "not a regular file", "larger than ..."; "" when it may be read.
std::string file_read_problem(const std::string &path);

// A file that Assimp opened for a part or model file (`by`), absolute.
// `outside` when it lies outside the folder tree of the file that named it.
struct NamedFileRead {
  std::string path, by;
  bool outside = false;
};

// Every file that parts and models named and Assimp read since the program
// started, in order: inputs that no output may replace.
const std::vector<NamedFileRead> &named_files_read();
// Adds the file that `by` names (once) to named_files_read().
void note_named_file(const std::string &path, const std::string &by);

// Lets Assimp read a file under another name, so that the part type, not
// the file's own extension, chooses the importer; every other file (a
// material library, a buffer) is opened under its own name, once it has
// passed file_read_problem, and is noted in named_files_read(). A text file
// in UTF-16 (with its byte order mark), which Assimp's text importers
// would read as no model at all, is handed over as UTF-8.
class PartIOSystem : public Assimp::DefaultIOSystem {
public:
  PartIOSystem(std::string alias, std::string real);
  using DefaultIOSystem::Exists;
  bool Exists(const char *file) const override;
  Assimp::IOStream *Open(const char *file, const char *mode) override;

  // The first named file that was refused, with why ("" when none was).
  const std::string &refused() const { return refused_; }

private:
  const char *map(const char *file) const { return file != nullptr && alias_ == file ? real_.c_str() : file; }
  std::string alias_, real_;
  mutable std::string refused_;
};

} // namespace oku
