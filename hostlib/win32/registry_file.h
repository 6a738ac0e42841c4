// The registry as a Windows .reg export file: the keys and the string
// values (REG_SZ) that the registry stand-in answers from; the host reads
// nothing else (POV-Ray's "Home" folder).
#pragma once

#include "win32.h"

#include <map>
#include <string>
#include <vector>

namespace win32 {

struct RegValue {
  DWORD type = REG_SZ;
  std::vector<unsigned char> data; // a string holds its terminating NUL
};

struct RegKey {
  std::map<std::string, RegValue> values; // by upper-cased value name ("" is the default value)
};

// Key paths are compared without regard to case; "HKLM" and the other short
// forms of the root names are accepted, and separators may be doubled.
std::string canonical_key_path(const std::string &path);

class RegistryFile {
public:
  // Parses the text of a .reg file (UTF-8, with or without a byte-order
  // mark, or UTF-16LE as regedit writes it). Lines it does not understand,
  // and values that are not strings, are skipped.
  static RegistryFile parse(const std::string &bytes);
  // An empty registry when the file cannot be read.
  static RegistryFile load(const std::string &path);

  // A key exists when a section names it or one of its subkeys.
  bool has_key(const std::string &path) const;
  // Null when the key has no section of its own (no values).
  const RegKey *key(const std::string &path) const;

private:
  void apply_line(const std::string &line, std::string &current);
  std::map<std::string, RegKey> keys_; // by canonical path
};

// $BRIGHTFOLD_REGISTRY when set and not empty, else <program dir>/../etc/registry.reg.
std::string registry_file_path();

} // namespace win32
