// The "Photo-realistic (POVRay)" display surface: every draw writes the scene
// into "$$povuds.pov"; asking for the bitmap renders it with POV-Ray.
#pragma once

#include "base/pov_session.h"
#include "zalvy.h"

// The fixed temporary files of a preview, relative to the current directory.
extern const char *const pov_preview_scene_file; // "$$povuds.pov"
extern const char *const pov_preview_ini_file;   // "$$povuds.ini"
extern const char *const pov_preview_image_file; // "$$povuds.tga"

class PovPreviewSurface : public VYuniverseDisplaySurface {
public:
  // state: the module state the surface's draws keep their parts and
  // textures in.
  PovPreviewSurface(PovModuleState *state, void *context, int width, int height, int depth,
                    const VYsurfaceOptions *options);
  ~PovPreviewSurface() override;

  int has_bitmap() override;
  const VYbitmap *bitmap() override; // the render run
  void release_bitmap() override;
  int has_palette() override;
  const VYpalette *palette() override;
  void release_palette() override;
  void resize(const VYbitmapInfo &info) override;
  void resize(int width, int height, int depth) override;
  void begin_draw() override;
  void end_draw() override;
  // The host's word that the scene changed (a part's mesh, an image): the
  // next draw writes the include files anew and converts the changed images
  // again. Writes nothing itself.
  void refresh() override;
  void repaint() override;
  void redraw() override;
  void draw() override;
  virtual void render_scene();

  // Read-only views for the host and tests.
  int first_draw_pending_value() const { return first_draw_pending; }
  int draw_count_value() const { return draw_count; }
  int antialias_value() const { return antialias; }
  int no_shadows_value() const { return no_shadows; }
  void *context_value() const { return context; }
  // The scene language of the draws (3.0 unless set).
  void set_language(int pov_language) { language = pov_language; }

private:
  PovModuleState *state;
  VYbitmap *picture;      // the rendered picture while one is held, else null
  int first_draw_pending; // 1 until the first scene write
  int antialias;          // non-zero: POV-Ray anti-aliases
  int no_shadows;         // non-zero: objects cast no shadows
  int draw_count;         // scene writes since creation
  int scene_changed;      // refresh() was called: the next draw reads parts and images anew
  int language = kPovLanguage30;
};

// The render run's pieces, shared with the tests.
// Writes the INI options file; 1 when it was written.
// A 3.7 scene's INI also names the language (POV-Ray runs it without the
// 3.0 dialect then).
int pov_write_preview_ini(const char *path, const VYbitmapInfo &size, int antialias,
                          int language = kPovLanguage30);
// The program to start: Home + "\\bin\\pvengine.exe" into out (out_size
// bytes). 0 when no usable "Home" is found: no key, no value, an empty value,
// one that is not a string, or one that does not fit.
int pov_find_pvengine(char *out, int out_size);
// Copies the rendered image into the picture when both have the same size,
// at most three channels a pixel and never beyond either bitmap; 1 when copied.
int pov_copy_render(const VYbitmap *image, VYbitmap *picture);
