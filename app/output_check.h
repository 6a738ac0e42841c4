// Outputs that a command refuses before it writes anything: the scene file
// it reads, a part file or image that the loaded scene names, and a
// read-only file.
#pragma once

#include <string>

namespace bf {

// Why `out` must not be written, or "" when it may be. The scene must be
// loaded (its part files and images are in the scene database).
std::string output_refusal(const std::string &out, const std::string &scene_file);

} // namespace bf
