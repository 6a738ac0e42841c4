// One row of the bad-input table.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace badinput {

enum class Match { Exact, Prefix };

struct Case {
  std::string name;              // a test name: letters, digits and '_'
  std::vector<std::string> args; // the command line after "brightfold"
  std::string scene;             // written to scene.json first, unless empty
  int exit_code;
  // Standard error, exactly ("{dir}" stands for the case's directory).
  std::string message;
  Match match = Match::Exact;
  // Prepares more files in the directory before the run.
  void (*setup)(const std::string &dir) = nullptr;
  // An address-space limit for the run in MiB (0: none), as `prlimit --as`.
  long address_limit_mb = 0;
};

std::vector<Case> cases();
// The rows for part files and images that the loaders must survive.
std::vector<Case> loader_cases();
// A 1 KB glTF file whose nodes place 2^21 nodes: each of 20 levels lists
// the level below twice.
void gltf_twenty_levels(const std::string &dir);
// The rows for model files given in place of a scene or named by a
// "part_mesh" entry, and the files they name.
std::vector<Case> model_cases();

// gtest shows a case by its name.
inline void PrintTo(const Case &c, std::ostream *out) { *out << c.name; }

} // namespace badinput
