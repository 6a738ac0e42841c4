// --pov-version 3.0|3.7: the POV-Ray language that save and render write.
// render writes 3.7 unless told 3.0; save writes the 3.0 savers' language
// unless told 3.7.
#pragma once

#include "app/cli/commands.h"

#include <string>

namespace bf {

struct PovVersion {
  bool is37 = false;
  // The preview surface that renders in this language.
  const char *surface() const { return is37 ? "Photo-realistic (POV-Ray 3.7)" : "Photo-realistic (POVRay)"; }
  // The saver that save uses when no --saver is given.
  const char *saver() const {
    return is37 ? "POV-Ray 3.7 scene and parts files" : "POV scene and parts files";
  }
};

// The --pov-version given, else the default; false (after usage_error) on
// another value.
bool read_pov_version(const ParsedArgs &parsed, bool default37, PovVersion &version, int &exit_code);

} // namespace bf
