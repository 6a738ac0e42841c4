// The preview surface: construction, the table of operations, the scene
// write of every draw, and the clean-up when the host lets go of it.
#include "preview/pov_preview_surface.h"

#include "base/pov_file_out.h"
#include "geometry/pov_parts.h"
#include "scene/pov_save.h"
#include "texture/pov_texture.h"
#include "win32.h"

#include <new>

const char *const pov_preview_scene_file = "$$povuds.pov";
const char *const pov_preview_ini_file = "$$povuds.ini";
const char *const pov_preview_image_file = "$$povuds.tga";

PovPreviewSurface::PovPreviewSurface(PovModuleState *state_arg, void *context_arg, int width, int height,
                                     int depth, const VYsurfaceOptions *options)
    : state(state_arg), picture(nullptr), first_draw_pending(1), antialias(options ? options->antialias : 1),
      no_shadows(options && options->shadows == 0 ? 1 : 0), draw_count(0), scene_changed(0) {
  info = vy_bitmap_info(width, height, depth);
  context = context_arg;
  // A new surface writes every part's include file afresh in its first draw.
  pov_parts_clear(state, 0);
}

PovPreviewSurface::~PovPreviewSurface() {
  release_bitmap();
  // Only what the preview's own scene writes made goes: an include file or
  // a Targa file of the same name may belong to a scene saved beside them.
  pov_parts_clear(state, 1);
  texture_list_clear(state, 1);
}

int PovPreviewSurface::has_bitmap() { return 1; }

void PovPreviewSurface::release_bitmap() {
  delete picture;
  picture = nullptr;
}

int PovPreviewSurface::has_palette() { return 0; }
const VYpalette *PovPreviewSurface::palette() { return nullptr; }
void PovPreviewSurface::release_palette() {}

// The surface keeps the size it was created with.
void PovPreviewSurface::resize(const VYbitmapInfo &size) { resize(size.width, size.height, size.depth); }
void PovPreviewSurface::resize(int, int, int) {}

void PovPreviewSurface::begin_draw() {}
void PovPreviewSurface::end_draw() {}
void PovPreviewSurface::refresh() { scene_changed = 1; }
void PovPreviewSurface::repaint() { redraw(); }
void PovPreviewSurface::redraw() { draw(); }

void PovPreviewSurface::draw() {
  begin_draw();
  // Nothing is thrown across the module's boundary. A draw that runs out of
  // memory leaves no temporary file and no scene for the render to take.
  try {
    render_scene();
  } catch (const std::bad_alloc &) {
    pov_files_abandon(&state->files);
    _unlink(pov_preview_scene_file);
    scene_changed = 1; // the next draw writes every file afresh
    esd_send("POV Preview: out of memory.");
  }
  LIST_ITER it(observers);
  while (it.next())
    static_cast<VYsurfaceObserver *>(it.getdata())->surface_drawn(this);
  // A picture an observer asked for belongs to the scene just written and
  // is valid only until here; the next bitmap() renders anew.
  release_bitmap();
}

void PovPreviewSurface::render_scene() {
  SceneOptions options;
  options.width = width();
  options.height = height();
  options.antialias = antialias;
  options.shadows = no_shadows == 0 ? 1 : 0;
  int parts_mode;
  // Include files written in the other language cannot be reused.
  if (state->parts_language != language) {
    scene_changed = 1;
    state->parts_language = language;
  }
  if (scene_changed) {
    // Any mesh may differ from the one in its include file, and the part's
    // colours with it: the files are made again from the meshes as they are
    // now. Images are converted again only where they changed.
    pov_parts_clear(state, 1);
    texture_list_drop_changed(state);
    parts_mode = kPartsWriteMissing;
    scene_changed = 0;
  } else if (state->parts_cache.count() == 0) {
    // With the parts cache emptied since this surface's last draw (another
    // surface was created or destroyed, or a save ran), the include files
    // its scene needs may be gone: write them afresh, as in a first draw.
    parts_mode = 1;
  } else {
    // A part first met now gets its include file unless one stands there.
    parts_mode = kPartsWriteMissing;
  }
  PovSession session;
  pov_session_begin(&session, state, parts_mode, language);
  pov_write_preview_scene(session, pov_preview_scene_file, nullptr, &options);
  pov_session_end(&session);
  first_draw_pending = 0;
  draw_count = draw_count + 1;
}
