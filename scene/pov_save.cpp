// The two roads into the scene writer: the file save and the preview's
// scene write.
#include "scene/pov_save.h"
#include "base/pov_file_check.h"
#include "base/pov_file_out.h"
#include "geometry/pov_parts.h"
#include "scene/pov_writers.h"
#include "texture/pov_texture.h"

namespace {

const char *const kCannotOpen = "POV Save: Cannot open file for writing.";
const char *const kWriteError = "POV Save: Error writing file.";

// Walks the tree from root (the database root when null) into the session's
// open scene_file. Scenes of thousands of objects: the text goes to the system
// in large blocks rather than the stream's default few kilobytes.
void write_scene(PovSession &session, const char *path, _object *root, const SceneOptions *options) {
  session.scene_path = path;
  if (session.pov_language == kPovLanguage37)
    session.write_part_texture = pov_write_part_texture37;
  if (!root)
    root = db_get_root();
  setvbuf(session.scene_file, nullptr, _IOFBF, 1 << 20);
  pov_write_node(session, session.scene_file, root, options);
}

// The scene file and the include files staged beside it go into place
// together, and only when all of it was written and nothing was refused.
// A full disk shows only at the flush, so the close is checked too.
int finish_save(PovSession &session, PovFileOut *out) {
  const int whole = pov_file_close(out);
  if (!whole)
    esd_send(kWriteError);
  int ok = whole && !pov_check_failed(&session.check);
  ok = pov_files_end(&session.module->files, ok) && ok;
  if (ok && !pov_file_commit(out)) {
    esd_send(kWriteError);
    ok = 0;
  }
  pov_file_discard(out);
  return ok;
}

} // namespace

int pov_save(PovModuleState *state, const char *path, _object *root, int mode, int language) {
  PovSession session;
  pov_session_begin(&session, state, mode, language);
  pov_parts_clear(state, 0);
  pov_check_begin(&session.check, root, path);
  int result = 0;
  PovFileOut out;
  const char *refusal = pov_file_refusal(&session.check, path, 0);
  if (refusal) {
    pov_file_report(&session.check, path, refusal);
  } else if (!pov_file_open(&out, path)) {
    esd_send(kCannotOpen);
  } else {
    // Nothing is written beside a device such as /dev/null.
    session.derived_files = out.temp != nullptr;
    pov_files_begin(&state->files, 0);
    session.scene_file = out.file;
    SceneOptions options = {640, 480, 1, 1};
    write_scene(session, path, root, &options);
    session.scene_file = nullptr;
    result = finish_save(session, &out);
  }
  pov_session_end(&session);
  // The converted Targa files stay when the saved scene refers to them; a
  // failed save never put its own in place.
  pov_parts_clear(state, 0);
  texture_list_clear(state, 0);
  return result;
}

int pov_write_preview_scene(PovSession &session, const char *path, _object *root,
                            const SceneOptions *options) {
  PovModuleState *state = session.module;
  pov_check_begin(&session.check, root, path);
  session.scene_file = path ? fopen(path, "w") : nullptr;
  if (!session.scene_file) {
    esd_send(kCannotOpen);
    return 0;
  }
  // Every new scene file includes and declares the parts it uses again;
  // the include files written earlier are reused.
  for (int i = 1; i <= state->parts_cache.count(); ++i) {
    if (auto *record = static_cast<PartRecord *>(state->parts_cache.getvalue(i)))
      record->written = 0;
  }
  pov_files_begin(&state->files, 1);
  write_scene(session, path, root, options);
  int result = ferror(session.scene_file) == 0;
  result = fclose(session.scene_file) == 0 && result;
  session.scene_file = nullptr;
  if (!result)
    esd_send(kWriteError);
  // Later draws reuse the include files, so they go into place even when
  // this scene file failed.
  result = pov_files_end(&state->files, 1) && result && !pov_check_failed(&session.check);
  return result;
}
