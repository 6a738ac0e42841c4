// The two roads into the scene writer: the file save and the preview's
// scene write.
#include "scene/pov_save.h"
#include "geometry/pov_parts.h"
#include "texture/pov_texture.h"

namespace {

const char *const kCannotOpen = "POV Save: Cannot open file for writing.";
const char *const kWriteError = "POV Save: Error writing file.";

// Walks the tree from root (the database root when null) into the open
// scene_file, then closes it. A full disk shows only at the flush, so both
// the stream's error flag and the close are checked.
int write_and_close(const char *path, _object *root, const SceneOptions *options) {
  scene_path = path;
  if (!root)
    root = db_get_root();
  // Scenes of thousands of objects: hand the text to the system in large
  // blocks rather than the stream's default few kilobytes.
  setvbuf(scene_file, nullptr, _IOFBF, 1 << 20);
  pov_write_node(scene_file, root, options);
  bool failed = ferror(scene_file) != 0;
  if (fclose(scene_file) != 0)
    failed = true;
  scene_file = nullptr;
  if (failed) {
    esd_send(kWriteError);
    return 0;
  }
  return 1;
}

} // namespace

int pov_save(const char *path, _object *root, int mode) {
  parts_mode = mode;
  parts_cache.clear(pov_release_part);
  inherited_opacity = 1.0f;
  int result = 0;
  scene_file = path ? fopen(path, "w") : nullptr;
  if (!scene_file) {
    esd_send(kCannotOpen);
  } else {
    SceneOptions options = {640, 480, 1, 1};
    result = write_and_close(path, root, &options);
  }
  // The converted Targa files stay: the saved scene refers to them.
  parts_cache.clear(pov_release_part);
  texture_list_clear(0);
  return result;
}

int pov_write_preview_scene(const char *path, _object *root, const SceneOptions *options) {
  inherited_opacity = 1.0f;
  scene_file = path ? fopen(path, "w") : nullptr;
  if (!scene_file) {
    esd_send(kCannotOpen);
    parts_mode = 0;
    return 0;
  }
  // Every new scene file includes and declares the parts it uses again;
  // the include files written earlier are reused.
  for (int i = 1; i <= parts_cache.count(); ++i) {
    if (auto *record = static_cast<PartRecord *>(parts_cache.getvalue(i)))
      record->written = 0;
  }
  int result = write_and_close(path, root, options);
  parts_mode = 0;
  return result;
}
