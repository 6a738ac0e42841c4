// The scene loader's messages: one table, checked both in the loader itself
// (app/scene/scene_errors_test.cpp) and through the brightfold program
// (tests/badinput).
#pragma once

#include <string>
#include <vector>

namespace bftest {

struct LoaderMessage {
  std::string name;  // a test name: letters and digits
  std::string scene; // the scene file's text
  // The message after the scene file's name: ":LINE:COLUMN: ..." for text
  // that is not JSON, ": POINTER: ..." for a value.
  std::string message;
};

// Every row is refused by the loader; no row needs a file of its own.
const std::vector<LoaderMessage> &loader_messages();

// A scene whose root has `levels` levels of groups below it.
std::string deep_children(int levels);

} // namespace bftest
