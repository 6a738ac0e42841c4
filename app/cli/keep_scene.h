// render --keep-scene: the include and Targa files that the kept scene
// needs, kept beside it so that POV-Ray renders it where it stands.
#pragma once

#include <string>

namespace bf {

// Copies the include and Targa files that the scene `rendered` (and its
// include files) name, and that stand beside it, into the folder of `kept`.
// Every copy is checked before any is written, by the rules of a save's
// outputs: a file that the loaded scene reads, a read-only file or anything
// but a regular file is refused; a user's okudefs.inc already there is
// left as it is. Answers "" or why the files cannot be kept.
std::string keep_scene_files(const std::string &rendered, const std::string &kept);

} // namespace bf
