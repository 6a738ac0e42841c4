// What brightfold render was asked for, and the steps that a single render
// and render --watch share.
#pragma once

#include "app/cli/picture_output.h"
#include "app/frames/frame_options.h"
#include "app/import/model_import.h"
#include "app/watch/povray_run.h"

#include "zalvy.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace bf {

struct RenderRequest {
  std::string scene, out, keep_scene; // the scene as given; the others absolute
  std::string scene_path;             // the scene, absolute
  int width = 640, height = 480, depth = 24, draws = 1;
  bool antialias = true, shadows = true, watch = false;
  double timeout = 0;
  PictureSettings picture; // format, quality, alpha; "-" as out is standard output
  ImportOptions import;    // for a model file in place of the scene file
  FrameRequest frames;     // --frames, --turntable
  std::string surface;     // the preview surface: the POV-Ray language (--pov-version)
  bool pov37 = true;       // that language is 3.7
};

// A rendered picture, copied out of the surface.
struct RenderedPicture {
  std::vector<unsigned char> pixels;
  int bytes_per_pixel = 3;
  std::vector<unsigned char> alpha; // a byte a pixel, when the render gave one
  double render_seconds = 0;        // the render run (POV-Ray) alone
};

// The preview surface of the request's size and options; null (reported)
// when the factory makes none.
std::unique_ptr<VYuniverseDisplaySurface> create_render_surface(VYuniverseDisplaySurfaceFactory &factory,
                                                                const RenderRequest &request);
// Draws the surface as often as asked, keeps the scene if asked, renders;
// every failure is reported. Answers the exit code.
int render_on(VYuniverseDisplaySurface &surface, RenderGuard &guard, const RenderRequest &request,
              RenderedPicture &picture);
// The picture in the request's format, to its file or standard output;
// false (with errno) on failure.
bool write_picture(const RenderRequest &request, const RenderedPicture &picture);

// The user's definitions (okudefs.inc beside the scene) copied to `to`, or
// `to` removed when there are none. "" when done, else why the definitions
// cannot be read (not a regular file, larger than kMaxDefinitionsBytes).
constexpr long long kMaxDefinitionsBytes = 64LL << 20;
std::string copy_definitions(const std::filesystem::path &from, const std::filesystem::path &to);

// render --watch, in the private directory `work` (the current directory),
// with the scene already loaded: draws, then draws again on the same surface
// whenever the input or a file it names changes, until Ctrl-C. `load` reads
// the input into the scene database again (it throws SceneError).
int run_render_watch(VYuniverseDisplaySurfaceFactory &factory, const RenderRequest &request,
                     const std::filesystem::path &work, const std::function<void(const std::string &)> &load);

} // namespace bf
