// What a scene write may not touch: its inputs (part files and texture
// images), the user's okudefs.inc, the scene file itself (for a derived
// file), and anything at a derived name that is read-only or not a regular
// file. A refusal is sent to the user naming the file, and the scene write
// that met it fails.
#pragma once

#include "zaloku.h"

// Starts a scene write to scene (a path; null for none): forgets earlier
// failures and notes the inputs that the scene under root names.
void pov_check_begin(_object *root, const char *scene);
// Why path must not be written, or null when it may be. A derived file
// (include or Targa) is also refused when something other than a regular
// file stands at its name, or when it is the scene file.
const char *pov_file_refusal(const char *path, int derived);
// "POV Save: Cannot write PATH: WHY." to the user; the scene write fails.
void pov_file_report(const char *path, const char *why);
// The same message for a failure that does not fail the scene write.
void pov_file_warn(const char *path, const char *why);
// 1 when something was refused or failed since pov_check_begin.
int pov_check_failed();
// 1 when include and Targa files may be written beside the scene file: the
// scene goes to a regular file (not a device such as /dev/null).
extern int pov_derived_files;
