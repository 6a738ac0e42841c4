// The two roads into the scene writer: the file save and the preview's
// scene write.
#include "scene/pov_save.h"
#include "base/pov_file_check.h"
#include "base/pov_file_out.h"
#include "geometry/pov_parts.h"
#include "texture/pov_texture.h"

namespace {

const char *const kCannotOpen = "POV Save: Cannot open file for writing.";
const char *const kWriteError = "POV Save: Error writing file.";

// Walks the tree from root (the database root when null) into the open
// scene_file. Scenes of thousands of objects: the text goes to the system
// in large blocks rather than the stream's default few kilobytes.
void write_scene(const char *path, _object *root, const SceneOptions *options) {
  scene_path = path;
  if (!root)
    root = db_get_root();
  setvbuf(scene_file, nullptr, _IOFBF, 1 << 20);
  pov_write_node(scene_file, root, options);
}

// The scene file and the include files staged beside it go into place
// together, and only when all of it was written and nothing was refused.
// A full disk shows only at the flush, so the close is checked too.
int finish_save(PovFileOut *out) {
  const int whole = pov_file_close(out);
  if (!whole)
    esd_send(kWriteError);
  int ok = whole && !pov_check_failed();
  ok = pov_files_end(ok) && ok;
  if (ok && !pov_file_commit(out)) {
    esd_send(kWriteError);
    ok = 0;
  }
  pov_file_discard(out);
  return ok;
}

} // namespace

int pov_save(const char *path, _object *root, int mode) {
  parts_mode = mode;
  pov_parts_clear(0);
  inherited_opacity = 1.0f;
  pov_check_begin(root, path);
  pov_forget_held_names();
  int result = 0;
  PovFileOut out;
  const char *refusal = pov_file_refusal(path, 0);
  if (refusal) {
    pov_file_report(path, refusal);
  } else if (!pov_file_open(&out, path)) {
    esd_send(kCannotOpen);
  } else {
    // Nothing is written beside a device such as /dev/null.
    pov_derived_files = out.temp != nullptr;
    pov_files_begin(0);
    scene_file = out.file;
    SceneOptions options = {640, 480, 1, 1};
    write_scene(path, root, &options);
    scene_file = nullptr;
    result = finish_save(&out);
  }
  pov_derived_files = 1;
  // The converted Targa files stay when the saved scene refers to them; a
  // failed save never put its own in place.
  pov_parts_clear(0);
  texture_list_clear(0);
  return result;
}

int pov_write_preview_scene(const char *path, _object *root, const SceneOptions *options) {
  inherited_opacity = 1.0f;
  pov_check_begin(root, path);
  pov_forget_held_names();
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
  pov_files_begin(1);
  write_scene(path, root, options);
  int result = ferror(scene_file) == 0;
  result = fclose(scene_file) == 0 && result;
  scene_file = nullptr;
  if (!result)
    esd_send(kWriteError);
  // Later draws reuse the include files, so they go into place even when
  // this scene file failed.
  result = pov_files_end(1) && result && !pov_check_failed();
  parts_mode = 0;
  return result;
}
