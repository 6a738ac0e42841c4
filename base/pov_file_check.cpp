// The files a scene write refuses to write, and its failure flag.
#include "base/pov_file_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <unordered_set>
#include <utility>

namespace {

using FileId = std::pair<dev_t, ino_t>;

void note(std::set<FileId> &inputs, const char *path, std::unordered_set<std::string> &seen) {
  struct stat info;
  if (path && seen.insert(path).second && stat(path, &info) == 0)
    inputs.insert({info.st_dev, info.st_ino});
}

void note_inputs(std::set<FileId> &inputs, _object *node, std::unordered_set<std::string> &seen) {
  if (!node)
    return;
  if (LIST *geometries = obj_get_geolist(node)) {
    LIST_ITER it(geometries);
    while (it.next())
      if (auto *geometry = static_cast<_geometry *>(it.getdata()))
        note(inputs, geometry->part_name(), seen);
  }
  note(inputs, obj_get_texturename(node), seen);
  if (LIST *children = obj_get_children(node)) {
    LIST_ITER it(children);
    while (it.next())
      note_inputs(inputs, static_cast<_object *>(it.getdata()), seen);
  }
}

// Opening it for writing would be refused. The superuser may write any
// file, so for it a file without any write permission counts as read-only:
// the same answer an ordinary owner of the file would get.
bool read_only(const char *path, const struct stat &info) {
  if (geteuid() == 0)
    return (info.st_mode & 0222) == 0;
  return faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) != 0 && (errno == EACCES || errno == EROFS);
}

// Whether id is the scene file's now. Looked up at each check: a file
// that another save renamed away in the meantime may have passed its
// number on to a new file.
bool is_scene(const std::string &scene_name, const FileId &id) {
  struct stat info;
  return !scene_name.empty() && stat(scene_name.c_str(), &info) == 0 &&
         FileId{info.st_dev, info.st_ino} == id;
}

} // namespace

void pov_check_begin(PovFileCheck *check, _object *root, const char *scene) {
  check->failed = 0;
  check->inputs.clear();
  try {
    std::unordered_set<std::string> seen;
    note_inputs(check->inputs, root ? root : db_get_root(), seen);
    check->scene_name = scene ? scene : "";
  } catch (...) {
    check->scene_name.clear(); // out of memory: the checks see fewer inputs
  }
}

const char *pov_file_refusal(const PovFileCheck *check, const char *path, int derived) {
  if (!path)
    return nullptr;
  char simple[ZAL_NAME_SIZE];
  pathname_get_simple(path, simple);
  if (std::strcmp(simple, "okudefs.inc") == 0)
    return "it is the user's definitions file, which is only read";
  // A derived name is replaced, never followed: what stands there is what
  // counts, and a symbolic link (its target untouched) may be replaced.
  struct stat info;
  const bool found = (derived ? lstat(path, &info) : stat(path, &info)) == 0;
  const FileId id = found ? FileId{info.st_dev, info.st_ino} : FileId{0, 0};
  if (derived && (check->scene_name == path || (found && is_scene(check->scene_name, id))))
    return "it is the scene file being saved";
  if (!found || (derived && S_ISLNK(info.st_mode)))
    return nullptr;
  if (check->inputs.count(id))
    return "it is an input of the scene";
  if (derived && !S_ISREG(info.st_mode))
    return "it is not a regular file";
  if (S_ISREG(info.st_mode) && read_only(path, info))
    return "it is read-only";
  return nullptr;
}

void pov_file_warn(const char *path, const char *why) {
  try {
    esd_send(("POV Save: Cannot write " + std::string(path ? path : "") + ": " + why + ".").c_str());
  } catch (...) {
    esd_send("POV Save: Error writing file.");
  }
}

void pov_file_report(PovFileCheck *check, const char *path, const char *why) {
  check->failed = 1;
  pov_file_warn(path, why);
}

int pov_check_failed(const PovFileCheck *check) { return check->failed; }
