// Outputs refused before anything is written.
#include "app/cli/output_check.h"

#include "core/atomic_file.h"
#include "oku/part_io.h"
#include "oku/scene_db.h"

#include <sys/stat.h>

#include <filesystem>

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

// Whether a part or model read the file for the scene (a buffer, a
// material library, an image).
bool read_for_parts(const struct stat &file) {
  for (const oku::NamedFileRead &read : oku::named_files_read())
    if (same_file(file, read.path.c_str()))
      return true;
  return false;
}

} // namespace

std::string output_refusal(const std::string &out, const std::string &scene_file) {
  if (std::filesystem::path(out).filename() == "okudefs.inc")
    return "it is the user's definitions file, which is only read";
  struct stat info;
  if (stat(out.c_str(), &info) != 0)
    return "";
  if (same_file(info, scene_file.c_str()))
    return "it is the scene file being read";
  if (names_file(db_get_root(), info) || read_for_parts(info))
    return "it is a file that the scene reads";
  return zal::write_refusal(out, false);
}

std::string beside_refusal(const std::string &out) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path folder = fs::weakly_canonical(fs::absolute(out, ec).parent_path(), ec);
  for (const oku::NamedFileRead &read : oku::named_files_read()) {
    const fs::path file(read.path);
    const std::string name = file.filename().string();
    const bool derived =
        file.extension() == ".inc" || (name.rfind("oku_", 0) == 0 && file.extension() == ".tga");
    if (derived && file.parent_path() == folder)
      return read.path + " beside it is a file that the scene reads, at a name the save may write";
  }
  return "";
}

} // namespace bf
