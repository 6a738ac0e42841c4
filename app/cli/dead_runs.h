// What runs killed outright (SIGKILL runs no clean-up) left behind: their
// private render folders and their temporary files carry the process id of
// the run in their names, so a later run can tell them from a live run's.
#pragma once

#include <string>

namespace bf {

// Removes, in dir, each entry of this user named PREFIX PID "-" ... SUFFIX
// whose process no longer exists.
void sweep_dead_runs(const std::string &dir, const std::string &prefix, const std::string &suffix);

} // namespace bf
