// The files Assimp opens while it reads a part: under an alias, and as UTF-8.
#pragma once

#include "oku/utf16_text.h"

#include <assimp/DefaultIOSystem.h>

#include <string>

namespace oku {

// Lets Assimp read a file under another name, so that the part type, not
// the file's own extension, chooses the importer; every other file (a
// material library, a buffer) is opened under its own name. A text file
// in UTF-16 (with its byte order mark), which Assimp's text importers
// would read as no model at all, is handed over as UTF-8.
class PartIOSystem : public Assimp::DefaultIOSystem {
public:
  PartIOSystem(std::string alias, std::string real) : alias_(std::move(alias)), real_(std::move(real)) {}
  bool Exists(const char *file) const override { return DefaultIOSystem::Exists(map(file)); }
  Assimp::IOStream *Open(const char *file, const char *mode) override;

private:
  const char *map(const char *file) const { return file != nullptr && alias_ == file ? real_.c_str() : file; }
  std::string alias_, real_;
};

} // namespace oku
