// Outputs refused before anything is written.
#include "output_check.h"

#include "core/atomic_file.h"
#include "oku/scene_db.h"

#include <sys/stat.h>

namespace bf {
namespace {

bool same_file(const struct stat &a, const char *path) {
  struct stat b;
  return path && stat(path, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether a part file or image that node or its subtree names is the file.
bool names_file(_object *node, const struct stat &file) {
  if (!node)
    return false;
  if (LIST *geometries = obj_get_geolist(node)) {
    LIST_ITER it(geometries);
    while (it.next())
      if (auto *geometry = static_cast<_geometry *>(it.getdata());
          geometry && same_file(file, geometry->part_name()))
        return true;
  }
  if (same_file(file, obj_get_texturename(node)))
    return true;
  LIST *children = obj_get_children(node);
  LIST_ITER it(children);
  while (children && it.next())
    if (names_file(static_cast<_object *>(it.getdata()), file))
      return true;
  return false;
}

} // namespace

std::string output_refusal(const std::string &out, const std::string &scene_file) {
  struct stat info;
  if (stat(out.c_str(), &info) != 0)
    return "";
  if (same_file(info, scene_file.c_str()))
    return "it is the scene file being read";
  if (names_file(db_get_root(), info))
    return "it is a file that the scene reads";
  return zal::write_refusal(out, false);
}

} // namespace bf
