#include "app/cli/pov_version.h"

namespace bf {

bool read_pov_version(const ParsedArgs &parsed, bool default37, PovVersion &version, int &exit_code) {
  version.is37 = default37;
  const std::string *given = parsed.find("--pov-version");
  if (!given)
    return true;
  if (*given != "3.0" && *given != "3.7") {
    exit_code = usage_error("--pov-version needs 3.0 or 3.7, not \"" + *given + "\"");
    return false;
  }
  version.is37 = *given == "3.7";
  return true;
}

} // namespace bf
