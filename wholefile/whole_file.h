// Whole-file writes: a file is written under a temporary name in its
// target's own folder and renamed into place only when complete, so a
// failed write leaves the earlier file as it was. A device or FIFO standing
// at the target is written directly.
//
// Every temporary name stands on one clean-up list per process, whoever
// made it: Ctrl-C, SIGTERM or SIGHUP while any exists removes them all,
// then the signal takes the course it had before (the earlier handler, or
// the default action). This is one shared library so that every writer in
// the process shares the list and the one handler.
#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <string>

namespace wf {

// A temporary name on the clean-up list.
struct Pending;

// The end of a chain of symbolic links standing at path, or path itself.
std::string final_target(const std::string &path);

// Opens target for a whole-file write. found is what stat (or lstat) found
// at target, null for nothing (or for a symbolic link to be replaced). A
// regular file or nothing gets a fresh temporary file beside target, named
// <prefix><process id>-<serial>.partial, with the permissions opening
// target would have given (0666 less the umask) or the replaced file's own;
// its name (temp) is on the clean-up list (*pending) before the file
// exists. Anything else found is opened directly (temp empty, no entry).
// Null with errno when nothing could be opened. prefix must outlive the
// entry (a string literal).
FILE *open_beside(const std::string &target, const struct stat *found, const char *prefix, std::string &temp,
                  Pending **pending);

// Flushes and closes file: true when every byte was written.
bool finish(FILE *file);

// Renames the closed temporary file onto target; when it is in place its
// name leaves the clean-up list and *pending is null. False with errno.
bool put_in_place(const char *temp, const char *target, Pending **pending);

// Drops an unfinished write: closes file, removes temp and takes it off the
// clean-up list. Each may be null.
void discard(FILE *file, const char *temp, Pending *pending);

// Removes every temporary file still on the list that was made with prefix
// (by open_beside), whoever holds it, and takes the names off the list:
// for writers that are gone without discarding.
void remove_all(const char *prefix);

} // namespace wf
