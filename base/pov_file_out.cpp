// Whole-file writes for the module, on the shared writer (wholefile/: the
// temporary name, its clean-up on a signal, the rename when complete), and
// the staged files of a scene write.
#include "base/pov_file_out.h"

#include "wholefile/whole_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

// The module's temporary names: the program's clean-up of a run that died
// looks for them.
const char kPrefix[] = ".oku-";

char *copy_text(const std::string &text) { return strdup(text.c_str()); }

// ---- staging
int commit_staged(std::set<std::string> &owned, PovStagedFile &s, int owner) {
  const std::string target = s.file.target ? s.file.target : "";
  const int existed = s.file.existed;
  const int ok = pov_file_commit(&s.file);
  pov_file_discard(&s.file);
  if (!ok)
    return 0;
  try {
    if (!owner)
      owned.erase(target);
    else if (!existed || owned.count(target))
      owned.insert(target);
    else
      return 1;
  } catch (...) {
    return 1; // out of memory: the file is kept rather than deleted later
  }
  if (owner && s.created)
    *s.created = 1;
  return 1;
}

} // namespace

namespace {

// Opens a temporary file beside target, to replace the file found there
// (info, when found) on commit; anything other than a regular file found
// is opened directly.
int open_for(PovFileOut *out, const std::string &target, const struct stat *found) {
  out->existed = found ? 1 : 0;
  std::string temp;
  out->file = wf::open_beside(target, found, kPrefix, temp, &out->cleanup);
  if (!out->file)
    return 0;
  out->target = copy_text(target);
  out->temp = temp.empty() ? nullptr : copy_text(temp);
  if (!out->target || (!temp.empty() && !out->temp)) {
    if (!temp.empty())
      unlink(temp.c_str());
    pov_file_discard(out);
    errno = ENOMEM;
    return 0;
  }
  return 1;
}

} // namespace

int pov_file_open(PovFileOut *out, const char *path) {
  *out = PovFileOut{nullptr, nullptr, nullptr, 0, nullptr};
  if (!path || !*path) {
    errno = ENOENT;
    return 0;
  }
  const std::string target = wf::final_target(path);
  struct stat info;
  return open_for(out, target, stat(target.c_str(), &info) == 0 ? &info : nullptr);
}

int pov_file_open_derived(PovFileOut *out, const char *path) {
  *out = PovFileOut{nullptr, nullptr, nullptr, 0, nullptr};
  if (!path || !*path) {
    errno = ENOENT;
    return 0;
  }
  // A symbolic link at the name is replaced like a missing file: the new
  // file gets the permissions a new file gets.
  struct stat info;
  const bool found = lstat(path, &info) == 0;
  if (found && S_ISLNK(info.st_mode)) {
    if (!open_for(out, path, nullptr))
      return 0;
    out->existed = 1;
    return 1;
  }
  return open_for(out, path, found ? &info : nullptr);
}

int pov_file_close(PovFileOut *out) {
  if (!out->file)
    return 0;
  const int ok = wf::finish(out->file);
  out->file = nullptr;
  return ok;
}

int pov_file_commit(PovFileOut *out) {
  if (out->file || !out->target)
    return 0;
  if (!out->temp)
    return 1; // written directly
  if (!wf::put_in_place(out->temp, out->target, &out->cleanup))
    return 0;
  std::free(out->temp);
  out->temp = nullptr;
  return 1;
}

void pov_file_discard(PovFileOut *out) {
  wf::discard(out->file, out->temp, out->cleanup);
  std::free(out->target);
  std::free(out->temp);
  *out = PovFileOut{nullptr, nullptr, nullptr, 0, nullptr};
}

void pov_files_begin(PovFileStage *files, int owner) {
  pov_files_end(files, 0);
  files->staging = 1;
  files->staging_owner = owner;
}

void pov_file_disown(PovFileStage *files, const char *path) {
  std::set<std::string> &owned = files->owned;
  if (path)
    owned.erase(wf::final_target(path));
}

int pov_file_stage(PovFileStage *files, PovFileOut *out, int *created) {
  if (out->file && !pov_file_close(out)) {
    pov_file_discard(out);
    return 0;
  }
  PovStagedFile s{*out, created};
  *out = PovFileOut{nullptr, nullptr, nullptr, 0, nullptr};
  if (files->staging) {
    try {
      files->staged.push_back(s);
      return 1;
    } catch (...) {
      pov_file_discard(&s.file);
      return 0;
    }
  }
  return commit_staged(files->owned, s, 1); // outside a scene write: as a draw would
}

const char *pov_file_staged(const PovFileStage *files, const char *path) {
  if (!path)
    return nullptr;
  for (const PovStagedFile &s : files->staged)
    if (s.file.target && s.file.temp && std::strcmp(s.file.target, path) == 0)
      return s.file.temp;
  return nullptr;
}

int pov_files_end(PovFileStage *files, int commit) {
  int ok = commit;
  for (PovStagedFile &s : files->staged) {
    if (commit)
      ok = commit_staged(files->owned, s, files->staging_owner) && ok;
    else
      pov_file_discard(&s.file);
  }
  files->staged.clear();
  files->staging = 0;
  files->staging_owner = 0;
  return ok;
}

void pov_files_abandon(PovFileStage *files) {
  pov_files_end(files, 0);
  // The writers that held the rest are gone: their temporary names are the
  // module's names still on the clean-up list.
  wf::remove_all(kPrefix);
}
