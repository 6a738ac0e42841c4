// Outputs that a command refuses before it writes anything: the scene file
// it reads, a part file or image that the loaded scene names, a file that a
// part or model read (oku::named_files_read), okudefs.inc, and a read-only
// file.
#pragma once

#include <string>

namespace bf {

// Why `out` must not be written, or "" when it may be. The scene must be
// loaded (its part files and images are in the scene database).
std::string output_refusal(const std::string &out, const std::string &scene_file);

// Why a scene must not be saved to `out`, or "" when it may: a file that a
// part or model read lies beside it at a name of the kind the save writes
// there (an include file, or a Targa file named "oku_..."), which the save
// could take.
std::string beside_refusal(const std::string &out);

} // namespace bf
