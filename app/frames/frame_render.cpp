// The frames of a render, each written whole; progress on a terminal.
#include "app/frames/frame_render.h"

#include "app/cli/commands.h"
#include "app/cli/dead_runs.h"
#include "app/cli/output_check.h"
#include "app/frames/turntable.h"
#include "app/frames/video.h"
#include "app/scene/animation_keys.h"
#include "app/scene/verbosity.h"

#include <stb_image.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace bf {

namespace {

constexpr int kExitFailed = 1;

// How far the frames are: on a terminal, between frames and before
// POV-Ray's own progress while one renders.
class FrameProgress {
public:
  explicit FrameProgress(int total)
      : total_(total), shown_(isatty(STDERR_FILENO) == 1 && verbosity() != Verbosity::quiet) {
    PovrayOutput::set_label("frames 0 of " + std::to_string(total) + " done | ");
  }
  ~FrameProgress() { clear(); }
  void clear() {
    PovrayOutput::set_label("");
    if (shown_ && rendered_ > 0) {
      std::fputs("\r\033[K", stderr);
      std::fflush(stderr);
    }
    shown_ = false;
  }
  FrameProgress(const FrameProgress &) = delete;
  FrameProgress &operator=(const FrameProgress &) = delete;

  void kept() { ++done_; }
  void rendered(double seconds) {
    ++done_, ++rendered_;
    seconds_ += seconds;
    const std::string text = line();
    PovrayOutput::set_label(text + " | ");
    if (shown_) {
      std::fprintf(stderr, "\r\033[Kbrightfold: %s", text.c_str());
      std::fflush(stderr);
    }
  }

private:
  std::string line() const {
    const double mean = seconds_ / rendered_;
    char text[160];
    std::snprintf(text, sizeof text, "frames %d of %d done, %.2f s a frame, %.0f s left", done_, total_, mean,
                  std::ceil(mean * (total_ - done_)));
    return text;
  }
  int total_, done_ = 0, rendered_ = 0;
  double seconds_ = 0;
  bool shown_;
};

// A picture of the render's size stands there (it was written whole).
bool whole_picture_at(const std::string &path, int width, int height) {
  struct stat info;
  int w = 0, h = 0, channels = 0;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         stbi_info(path.c_str(), &w, &h, &channels) && w == width && h == height;
}

// Outputs refused before anything is rendered.
bool refused(const RenderRequest &request, const FrameNames &names) {
  std::vector<std::string> outputs;
  for (int n = request.frames.first; n <= request.frames.last; ++n)
    outputs.push_back(names.path(n));
  if (!request.frames.video.empty())
    outputs.push_back(request.frames.video);
  for (const std::string &out : outputs)
    if (const std::string why = output_refusal(out, request.scene); !why.empty()) {
      report("cannot write " + out + ": " + why);
      return true;
    }
  return false;
}

int interrupted() {
  report("render interrupted");
  return 128 + RenderGuard::interrupted();
}

// The frame's picture; a symbolic link at the name, which the program
// chose, is replaced rather than followed.
bool write_frame(const RenderRequest &request, const std::string &path, const RenderedPicture &picture) {
  struct stat info;
  if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && unlink(path.c_str()) != 0)
    return false;
  RenderRequest frame = request;
  frame.out = path;
  return write_picture(frame, picture);
}

} // namespace

int render_frames(VYuniverseDisplaySurfaceFactory &factory, const RenderRequest &request) {
  const FrameRequest &frames = request.frames;
  const FrameNames names(request.out);
  std::string ffmpeg;
  if (!frames.video.empty() && (ffmpeg = find_ffmpeg()).empty()) {
    report("--video needs ffmpeg, which is not installed (or not on the PATH).\n"
           "  Install it with: sudo apt-get install ffmpeg");
    return kExitUsage;
  }
  if (refused(request, names))
    return kExitFailed;
  if (!frames.video.empty())
    sweep_dead_runs(std::filesystem::path(frames.video).parent_path().string(), ".bf-", ".partial");
  Turntable turntable;
  if (frames.turntable > 0 && !turntable.take_viewpoint()) {
    report("--turntable needs a camera, and the scene has none");
    return kExitFailed;
  }
  RenderGuard guard(request.timeout);
  std::unique_ptr<VYuniverseDisplaySurface> surface = create_render_surface(factory, request);
  if (!surface)
    return kExitFailed;
  FrameProgress progress(frames.last - frames.first + 1);
  int kept = 0;
  for (int n = frames.first; n <= frames.last; ++n) {
    if (RenderGuard::interrupted())
      return interrupted();
    const std::string path = names.path(n);
    if (frames.resume && whole_picture_at(path, request.width, request.height)) {
      ++kept;
      progress.kept();
      continue;
    }
    const auto began = std::chrono::steady_clock::now();
    const double time = static_cast<double>(n) / frames.fps;
    set_scene_time(time);
    if (frames.turntable > 0)
      turntable.set(time / frames.turntable);
    RenderedPicture picture;
    if (const int code = render_on(*surface, guard, request, picture); code != kExitOk)
      return code;
    if (!write_frame(request, path, picture)) {
      report("cannot write " + path + ": " + std::strerror(errno));
      return kExitFailed;
    }
    progress.rendered(std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
  }
  progress.clear();
  const int count = frames.last - frames.first + 1;
  note("rendered " + request.scene + " to " + names.path(frames.first) +
       (count > 1 ? " ... " + names.path(frames.last) : "") + " (" + std::to_string(count - kept) + " of " +
       std::to_string(count) + " frames rendered" + (kept > 0 ? ", the others were there" : "") + "; " +
       std::to_string(request.width) + " x " + std::to_string(request.height) + ")");
  if (frames.video.empty())
    return kExitOk;
  if (const std::string why =
          make_video(ffmpeg, names.ffmpeg_pattern(), frames.first, frames.fps, frames.video);
      !why.empty()) {
    if (RenderGuard::interrupted())
      return interrupted();
    report("cannot write " + frames.video + ": " + why);
    return kExitFailed;
  }
  note("assembled " + frames.video);
  return kExitOk;
}

} // namespace bf
