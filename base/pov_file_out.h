// The files the module writes (scene, include and Targa files): each is
// written whole under a temporary name in the target's own folder (for a
// name the user gave, the folder of a symbolic link's final target) and
// renamed into place only when complete, so a failed write leaves the
// earlier file as it was. A device or FIFO given as the scene file is
// written directly.
//
// During a scene write the include and Targa files are staged: written and
// closed, then renamed together with the scene file when the whole write
// succeeded, or removed when any part of it failed. Ctrl-C or SIGTERM while
// temporary files exist removes them before the signal takes its usual
// course.
#pragma once

#include "zaloku.h"

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace wf {
struct Pending;
}

struct PovFileOut {
  FILE *file;           // open for writing until pov_file_close
  char *target;         // where the file goes: the path, symbolic links followed
  char *temp;           // the temporary name; null when written directly
  int existed;          // a file stood at the target when it was opened
  wf::Pending *cleanup; // the temporary name's entry in the clean-up list
};

// Opens path for writing. A regular file (or none yet) gets a temporary
// file beside its final target; anything else is opened directly. 0 when
// nothing could be opened (errno says why).
int pov_file_open(PovFileOut *out, const char *path);
// The same for a file whose name the module chose (an include or Targa
// file): a symbolic link standing at path is not followed but replaced by
// the new file, and its target is left as it was.
int pov_file_open_derived(PovFileOut *out, const char *path);
// Flushes and closes the stream: 1 when every byte was written.
int pov_file_close(PovFileOut *out);
// Renames the closed temporary file onto its target: 1 when it is in place.
int pov_file_commit(PovFileOut *out);
// Removes what is left of the temporary file and frees the names.
void pov_file_discard(PovFileOut *out);

// A scene write's staged files, kept in the module state: the files a
// write holds for its end, and those that preview draws made and no save has
// written since (a later draw that rewrites one still owns it).
struct PovStagedFile {
  PovFileOut file;
  int *created;
};
struct PovFileStage {
  std::vector<PovStagedFile> staged;
  int staging = 0;
  int staging_owner = 0;
  std::set<std::string> owned;
};

// Between pov_files_begin and pov_files_end, pov_file_stage keeps a closed
// file for the end; outside them it renames at once. For the preview's draws
// (owner 1), *created (may be null) is set to 1 once a staged file is in
// place that did not exist before or that an earlier draw made: the preview
// deletes only those. A save's write (owner 0) takes a file out of the
// preview's hands.
void pov_files_begin(PovFileStage *files, int owner);
// The preview has deleted the file.
void pov_file_disown(PovFileStage *files, const char *path);
// The file is closed first if it is still open; 0 (and it is removed) when
// it was not written whole or could not be put in place.
int pov_file_stage(PovFileStage *files, PovFileOut *out, int *created);
// The temporary name of a file staged for path (as it was opened), or
// null: a later reader in the same scene write finds the new file there.
const char *pov_file_staged(const PovFileStage *files, const char *path);
// commit 1: renames every staged file (answers 1 when all went in);
// commit 0: removes them (answers 0).
int pov_files_end(PovFileStage *files, int commit);
// After a write that was cut short (out of memory): removes every staged
// file and every temporary file still open, whoever held it.
void pov_files_abandon(PovFileStage *files);
