// What a scene write may not touch: its inputs (part files and texture
// images), the user's okudefs.inc, the scene file itself (for a derived
// file), and anything at a derived name that is read-only or not a regular
// file. A refusal is sent to the user naming the file, and the scene write
// that met it fails.
#pragma once

#include "zaloku.h"

#include <sys/types.h>

#include <set>
#include <string>
#include <utility>

// One scene write's checks: the inputs' file numbers, the scene file's
// name, and whether anything was refused or failed.
struct PovFileCheck {
  std::set<std::pair<dev_t, ino_t>> inputs;
  std::string scene_name;
  int failed = 0;
};

// Starts a scene write to scene (a path; null for none): forgets earlier
// failures and notes the inputs that the scene under root names.
void pov_check_begin(PovFileCheck *check, _object *root, const char *scene);
// Why path must not be written, or null when it may be. A derived file
// (include or Targa) is also refused when something other than a regular
// file stands at its name, or when it is the scene file.
const char *pov_file_refusal(const PovFileCheck *check, const char *path, int derived);
// "POV Save: Cannot write PATH: WHY." to the user; the scene write fails.
void pov_file_report(PovFileCheck *check, const char *path, const char *why);
// The same message for a failure that does not fail the scene write.
void pov_file_warn(const char *path, const char *why);
// 1 when something was refused or failed since pov_check_begin.
int pov_check_failed(const PovFileCheck *check);
