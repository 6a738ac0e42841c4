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

int pov_derived_files = 1;

namespace {

using FileId = std::pair<dev_t, ino_t>;

std::set<FileId> inputs;
std::string scene_name;
FileId scene_id{0, 0};
int failed = 0;

void note(const char *path, std::unordered_set<std::string> &seen) {
  struct stat info;
  if (path && seen.insert(path).second && stat(path, &info) == 0)
    inputs.insert({info.st_dev, info.st_ino});
}

void note_inputs(_object *node, std::unordered_set<std::string> &seen) {
  if (!node)
    return;
  if (LIST *geometries = obj_get_geolist(node)) {
    LIST_ITER it(geometries);
    while (it.next())
      if (auto *geometry = static_cast<_geometry *>(it.getdata()))
        note(geometry->part_name(), seen);
  }
  note(obj_get_texturename(node), seen);
  if (LIST *children = obj_get_children(node)) {
    LIST_ITER it(children);
    while (it.next())
      note_inputs(static_cast<_object *>(it.getdata()), seen);
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

} // namespace

void pov_check_begin(_object *root, const char *scene) {
  failed = 0;
  inputs.clear();
  try {
    std::unordered_set<std::string> seen;
    note_inputs(root ? root : db_get_root(), seen);
    scene_name = scene ? scene : "";
  } catch (...) {
    scene_name.clear(); // out of memory: the checks see fewer inputs
  }
  struct stat info;
  scene_id = scene && stat(scene, &info) == 0 ? FileId{info.st_dev, info.st_ino} : FileId{0, 0};
}

const char *pov_file_refusal(const char *path, int derived) {
  if (!path)
    return nullptr;
  char simple[256];
  pathname_get_simple(path, simple);
  if (std::strcmp(simple, "okudefs.inc") == 0)
    return "it is the user's definitions file, which is only read";
  struct stat info;
  const bool found = stat(path, &info) == 0;
  const FileId id = found ? FileId{info.st_dev, info.st_ino} : FileId{0, 0};
  if (derived && (scene_name == path || (found && id == scene_id)))
    return "it is the scene file being saved";
  if (!found)
    return nullptr;
  if (inputs.count(id))
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

void pov_file_report(const char *path, const char *why) {
  failed = 1;
  pov_file_warn(path, why);
}

int pov_check_failed() { return failed; }
