// brightfold render SCENE.json OUT.png|OUT.tga|OUT.jpg|- [--width W] [--height H] [--depth D]
//   [--alpha] [--quality N] [--format F] [--no-antialias] [--no-shadows] [--draws N]
//   [--keep-scene FILE.pov] [--timeout SECONDS] [--watch] [--pov-version 3.0|3.7] [model options]
//
// Renders the scene through the module's "Photo-realistic (POV-Ray 3.7)"
// display surface ("Photo-realistic (POVRay)" with --pov-version 3.0), as the host's view would: draws, then
// asks for the bitmap. The surface writes its fixed temporary files into the current directory, so the render
// runs in a private temporary directory, removed afterwards.
#include "app/cli/commands.h"
#include "app/cli/dead_runs.h"
#include "app/cli/export_module.h"
#include "app/cli/keep_scene.h"
#include "app/cli/output_check.h"
#include "app/cli/picture_output.h"
#include "app/cli/pov_version.h"
#include "app/cli/render_request.h"
#include "app/farm/farm_run.h"
#include "app/frames/frame_render.h"
#include "app/import/framing.h"
#include "app/import/model_import.h"
#include "app/scene/json_value.h"
#include "app/scene/scene_loader.h"
#include "app/scene/verbosity.h"
#include "core/ascii_text.h"

#include "core/atomic_file.h"
#include "core/input_file.h"
#include "oku/scene_db.h"
#include "vy/targa.h"
#include "win32/registry_file.h"
#include "win32/spawn_control.h"

#include <stb_image.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace bf {

int run_render(const Args &args);

namespace {

namespace fs = std::filesystem;

constexpr int kExitRenderFailed = 1;

bool read_int(const ParsedArgs &parsed, const char *name, int low, int high, int &value, int &code) {
  const std::string *text = parsed.find(name);
  if (!text)
    return true;
  char *end = nullptr;
  errno = 0;
  long n = std::strtol(text->c_str(), &end, 10);
  if (text->empty() || *end || errno || n < low || n > high) {
    code = usage_error(std::string(name) + " needs a whole number from " + std::to_string(low) + " to " +
                       std::to_string(high) + ", not \"" + *text + "\"");
    return false;
  }
  value = static_cast<int>(n);
  return true;
}

bool read_request(const Args &args, RenderRequest &request, int &code) {
  ParsedArgs parsed;
  std::vector<std::string> with_value{
      "--width",  "--height",     "--depth", "--draws",  "--keep-scene", "--timeout",    "--up",
      "--camera", "--background", "--floor", "--format", "--quality",    "--pov-version"},
      flags{"--no-antialias", "--no-shadows", "--watch", "--alpha"};
  with_value.insert(with_value.end(), kFrameValueOptions.begin(), kFrameValueOptions.end());
  flags.insert(flags.end(), kFrameFlags.begin(), kFrameFlags.end());
  if (!parse_args(args, with_value, flags, parsed, code))
    return false;
  if (parsed.operands.size() != 2) {
    code = usage_error("render needs a scene file and one output file (.png, .tga, .jpg or -)");
    return false;
  }
  request.scene = parsed.operands[0];
  request.scene_path = fs::absolute(request.scene).lexically_normal().string();
  request.out = parsed.operands[1] == "-" ? "-" : fs::absolute(parsed.operands[1]).string();
  if (!read_int(parsed, "--width", 1, 16384, request.width, code) ||
      !read_int(parsed, "--height", 1, 16384, request.height, code) ||
      !read_int(parsed, "--depth", 24, 32, request.depth, code) ||
      !read_int(parsed, "--draws", 1, 1000, request.draws, code) ||
      !read_int(parsed, "--quality", 1, 100, request.picture.quality, code))
    return false;
  if (request.depth != 24 && request.depth != 32) {
    code = usage_error("--depth must be 24 or 32");
    return false;
  }
  request.picture.alpha = parsed.find("--alpha") != nullptr || request.depth == 32;
  if (const std::string why = picture_format(request.out, parsed.find("--format"), request.picture);
      !why.empty()) {
    code = usage_error(why);
    return false;
  }
  if (request.picture.to_stdout && parsed.find("--watch")) {
    code = usage_error("--watch writes its pictures to a file, not to standard output");
    return false;
  }
  if (const std::string *keep = parsed.find("--keep-scene"))
    request.keep_scene = fs::absolute(*keep).string();
  if (const std::string *timeout = parsed.find("--timeout")) {
    char *end = nullptr;
    request.timeout = std::strtod(timeout->c_str(), &end);
    if (timeout->empty() || *end || !(request.timeout > 0)) {
      code = usage_error("--timeout needs a number of seconds above 0, not \"" + *timeout + "\"");
      return false;
    }
    if (request.timeout > 1e9) // beyond 30 years: no limit
      request.timeout = 0;
  }
  if (!read_import_options(parsed, request.scene, request.import, code) ||
      !read_frame_options(parsed, request.out, request.frames, code))
    return false;
  request.import.aspect = static_cast<double>(request.width) / request.height;
  request.antialias = !parsed.find("--no-antialias");
  request.shadows = !parsed.find("--no-shadows");
  request.watch = parsed.find("--watch") != nullptr;
  PovVersion version;
  if (!read_pov_version(parsed, true, version, code))
    return false;
  request.surface = version.surface();
  request.pov37 = version.is37;
  return true;
}

constexpr const char *kWorkPrefix = "brightfold-render-";

// A private directory, removed with its contents; the current directory
// while it is entered.
class WorkDirectory {
public:
  WorkDirectory() {
    const fs::path temp = fs::temp_directory_path();
    sweep_dead_runs(temp.string(), kWorkPrefix, ""); // folders of killed renders
    std::string pattern = (temp / (kWorkPrefix + std::to_string(getpid()) + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()))
      path_ = pattern;
  }
  ~WorkDirectory() {
    leave();
    std::error_code ignored;
    if (!path_.empty())
      fs::remove_all(path_, ignored);
  }
  WorkDirectory(const WorkDirectory &) = delete;
  WorkDirectory &operator=(const WorkDirectory &) = delete;

  bool enter() {
    home_ = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return !path_.empty() && home_ >= 0 && chdir(path_.c_str()) == 0;
  }
  void leave() {
    if (home_ < 0)
      return;
    if (fchdir(home_) != 0)
      report("cannot return to the starting directory");
    close(home_);
    home_ = -1;
  }
  const fs::path &path() const { return path_; }

private:
  fs::path path_;
  int home_ = -1;
};

// Looks at what POV-Ray left before the surface deletes it: a failed render
// reads back as a blank picture, which must not pass for the real one; nor
// may a cut-off one (a full disk, a renderer that stopped half-way and still
// exited 0), whose missing rows would read as black.
struct ImageCheck {
  int width = 0, height = 0;
  bool found = false; // a whole image of the surface's size
  bool want_alpha = false;
  std::vector<unsigned char> alpha; // a byte a pixel, rows from the top, when wanted and found
  // The picture is the one the renderer was told to write.
  static void look(void *user) {
    auto *check = static_cast<ImageCheck *>(user);
    const std::string rendered = win32_last_spawn_files().output_file;
    int w = 0, h = 0, channels = 0;
    check->found = !rendered.empty() && stbi_info(rendered.c_str(), &w, &h, &channels) && w == check->width &&
                   h == check->height && whole_picture(rendered.c_str(), w, h);
    if (check->found && check->want_alpha)
      check->alpha = read_alpha(rendered, w, h); // the surface's bitmap keeps none
  }
  // POV-Ray writes uncompressed Targa files: whole when the file holds every
  // pixel. Any other kind is read through the host's reader, which refuses
  // cut-off files.
  static bool whole_picture(const char *rendered, int w, int h) {
    unsigned char header[18] = {};
    struct stat info;
    FILE *file = std::fopen(rendered, "rb");
    const bool got = file && std::fread(header, 1, sizeof header, file) == sizeof header;
    if (file)
      std::fclose(file);
    if (got && header[1] == 0 && header[2] == 2 && stat(rendered, &info) == 0)
      return info.st_size >= 18 + header[0] + static_cast<off_t>(w) * h * ((header[16] + 7) / 8);
    std::unique_ptr<VYbitmap> image(image_reader_invoke(rendered));
    return image && image->width() == w && image->height() == h;
  }
};

int not_registered(const std::string &surface) {
  report("POV-Ray was not found, so the \"" + surface + "\" preview is not offered (no POV-Ray entry in " +
         win32::registry_file_path() +
         ").\n  Install POV-Ray with: sudo apt-get install povray\n"
         "  then build again (make): the build registers it when povray is on the PATH.");
  return kExitRenderFailed;
}

int not_started() {
  Win32SpawnResult run = win32_last_spawn();
  if (run.error)
    report(std::string("POV-Ray could not be started: ") + std::strerror(run.error) +
           " (the launcher bin/pvengine.exe under the \"Home\" folder named in " +
           win32::registry_file_path() + ")");
  else
    report("POV-Ray could not be started: " + win32::registry_file_path() +
           " names no usable \"Home\" folder (one that holds bin/pvengine.exe)");
  return kExitRenderFailed;
}

int povray_failed(const RenderRequest &request, const PovrayOutput &output, const ImageCheck &check) {
  Win32SpawnResult run = win32_last_spawn();
  std::string why = !run.exited  ? "was stopped by signal " + std::to_string(run.signal)
                    : run.status ? "failed (exit status " + std::to_string(run.status) + ")"
                                 : "left no " + std::to_string(check.width) + " x " +
                                       std::to_string(check.height) + " picture";
  std::string hint =
      request.keep_scene.empty() ? "\n  (--keep-scene FILE.pov keeps the scene POV-Ray was given)" : "";
  report("POV-Ray " + why + ":\n" + output.failure_text() + hint);
  return kExitRenderFailed;
}

// A .tga picture through the host's own Targa writer, which writes it whole
// before it replaces the earlier one. False with errno.
bool write_targa_picture(const std::string &out, int width, int height, int channels,
                         const std::vector<unsigned char> &rgb) {
  VYimageWriterFactory *factory = still_writer_get_factory(VY_TARGA_FORMAT_NAME);
  VYbitmap bitmap(width, height, 8 * channels, nullptr);
  if (factory == nullptr || bitmap.data() == nullptr || bitmap.data_size() != rgb.size()) {
    errno = ENOMEM;
    return false;
  }
  std::memcpy(bitmap.data(), rgb.data(), rgb.size());
  VYimageWriterInfo info = {out.c_str(), width, height, 8 * channels, 300, 0, 0, 15, 0};
  std::unique_ptr<VYimageWriter> writer(factory->create_writer(info));
  errno = 0;
  if (!writer)
    return false;
  const bool wrote = writer->write(&bitmap) == 0;
  const bool closed = writer->close() == 0;
  if (!errno && !(wrote && closed))
    errno = EIO;
  return wrote && closed;
}

} // namespace

// The picture's red, green and blue bytes, and its alpha when the render
// asked for one (a 32-bit bitmap's fourth byte carries nothing from the
// render), written whole before it replaces the earlier picture, or to
// standard output.
bool write_picture(const RenderRequest &request, const RenderedPicture &picture) {
  const int width = request.width, height = request.height, bytes_per_pixel = picture.bytes_per_pixel;
  const size_t count = static_cast<size_t>(width) * height;
  const bool alpha = request.picture.alpha && picture.alpha.size() == count;
  const int channels = alpha ? 4 : 3;
  std::vector<unsigned char> pixels(count * channels);
  for (size_t i = 0; i < count; ++i) {
    std::memcpy(&pixels[i * channels], &picture.pixels[i * bytes_per_pixel], 3);
    if (alpha)
      pixels[i * 4 + 3] = picture.alpha[i];
  }
  if (request.picture.format == PictureFormat::tga && !request.picture.to_stdout)
    return write_targa_picture(request.out, width, height, channels, pixels);
  std::string bytes;
  if (!encode_picture(request.picture, width, height, channels, pixels.data(), bytes)) {
    errno = ENOMEM;
    return false;
  }
  return request.picture.to_stdout ? write_stdout(bytes)
                                   : zal::write_whole_file(request.out, bytes.data(), bytes.size());
}

namespace {

// Copies the scene the renderer is about to read, just before it starts; a
// copy that fails stops the start, and the command reports it.
struct SceneKeeper {
  std::string path;
  std::string error; // why the copy failed
  static int take(void *user) {
    auto *keeper = static_cast<SceneKeeper *>(user);
    std::ifstream in(win32_last_spawn_files().input_file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    keeper->error = keep_scene_files(win32_last_spawn_files().input_file, keeper->path);
    errno = 0;
    if (keeper->error.empty() && !in.bad() && zal::write_whole_file(keeper->path, text.data(), text.size()))
      return 1;
    if (keeper->error.empty())
      keeper->error = "cannot keep the scene as " + keeper->path + ": " + std::strerror(errno ? errno : EIO);
    return 0;
  }
  bool failed() const {
    if (!error.empty())
      report(error);
    return !error.empty();
  }
};

int interrupted_exit() {
  report("render interrupted");
  return 128 + RenderGuard::interrupted();
}

} // namespace

int render_on(VYuniverseDisplaySurface &surface, RenderGuard &guard, const RenderRequest &request,
              RenderedPicture &result) {
  for (int i = 0; i < request.draws && !RenderGuard::interrupted(); ++i)
    surface.draw();
  if (RenderGuard::interrupted())
    return interrupted_exit();
  SceneKeeper keeper{request.keep_scene, ""};
  if (!keeper.path.empty())
    win32_spawn_set_starting(SceneKeeper::take, &keeper);
  ImageCheck check{request.width, request.height, false, request.picture.alpha, {}};
  win32_spawn_set_finished(ImageCheck::look, &check);
  PovrayOutput output(verbosity() != Verbosity::quiet, verbosity() == Verbosity::verbose);
  guard.start_clock();
  auto began = std::chrono::steady_clock::now();
  const VYbitmap *picture = surface.bitmap();
  result.render_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  guard.stop_clock();
  output.stop();
  win32_spawn_set_finished(nullptr, nullptr);
  win32_spawn_set_starting(nullptr, nullptr);
  if (RenderGuard::interrupted())
    return interrupted_exit();
  if (keeper.failed())
    return kExitRenderFailed;
  if (guard.timed_out()) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", request.timeout);
    report(std::string("POV-Ray did not finish within ") + seconds + " seconds and was stopped");
    return kExitRenderFailed;
  }
  Win32SpawnResult run = win32_last_spawn();
  if (!run.started)
    return not_started();
  if (!run.exited || run.status || !check.found)
    return povray_failed(request, output, check);
  if (!picture || !picture->data()) {
    report("out of memory for the picture");
    return kExitRenderFailed;
  }
  result.bytes_per_pixel = picture->bytes_per_pixel();
  result.pixels.assign(picture->data(), picture->data() + picture->data_size());
  result.alpha = std::move(check.alpha);
  if (request.picture.alpha && result.alpha.empty())
    note("warning: POV-Ray's picture has no alpha channel; the background is not clear");
  return kExitOk;
}

std::unique_ptr<VYuniverseDisplaySurface> create_render_surface(VYuniverseDisplaySurfaceFactory &factory,
                                                                const RenderRequest &request) {
  VYsurfaceOptions options{request.shadows ? 1 : 0, request.antialias ? 1 : 0};
  std::unique_ptr<VYuniverseDisplaySurface> surface(
      factory.create_surface(nullptr, request.width, request.height, request.depth, &options));
  if (!surface)
    report("the preview surface could not be created");
  return surface;
}

namespace {

// Creates the surface and renders on it; the picture's pixels are copied
// out so that the surface (and its files) can go.
int render_in(VYuniverseDisplaySurfaceFactory &factory, const RenderRequest &request,
              RenderedPicture &picture) {
  RenderGuard guard(request.timeout);
  std::unique_ptr<VYuniverseDisplaySurface> surface = create_render_surface(factory, request);
  return surface ? render_on(*surface, guard, request, picture) : kExitRenderFailed;
}

} // namespace

std::string copy_definitions(const fs::path &from, const fs::path &to) {
  std::error_code ec;
  if (!fs::exists(from, ec)) {
    fs::remove(to, ec);
    return "";
  }
  std::string text, why;
  if (!zal::read_input_file(from.string(), kMaxDefinitionsBytes, text, why)) {
    fs::remove(to, ec);
    return why;
  }
  return zal::write_whole_file(to.string(), text.data(), text.size()) ? "" : std::strerror(errno);
}

int run_render(const Args &given) {
  Args args = given;
  FarmOptions farm; // --slurm and its options
  RenderRequest request;
  int code = kExitOk;
  if (!take_farm_options(args, farm, code) || !read_request(args, request, code) ||
      !take_farm_frames(request.frames, farm, code))
    return code;
  const auto module = load_input_and_module(request.scene, request.import);
  if (!module)
    return kExitUsage;
  const std::string file_out = request.picture.to_stdout ? "" : request.out; // "-": standard output
  for (const std::string *out : {&file_out, static_cast<const std::string *>(&request.keep_scene)})
    if (const std::string why = out->empty() ? "" : output_refusal(*out, request.scene); !why.empty()) {
      report("cannot write " + *out + ": " + why);
      return kExitRenderFailed;
    }
  farm.saver = PovVersion{request.pov37}.saver();
  farm.pov_version = request.pov37 ? "3.7" : "3.0";
  if (farm.slurm)
    return run_farm_render(request, farm, saved_scene(farm, request));
  if (!file_out.empty())
    sweep_dead_runs(fs::path(file_out).parent_path().string(), ".bf-", ".partial");
  VYuniverseDisplaySurfaceFactory *factory = universe_display_surface_find(request.surface.c_str());
  if (!factory)
    return not_registered(request.surface);
  if (request.picture.alpha) {
    pass_povray_switch("+UA");                        // the background left clear in the picture's alpha
    pass_povray_switch("Declare=BACKGROUND_CLEAR=1"); // as a 3.7 scene asks
  }

  const fs::path defs = fs::absolute(request.scene).parent_path() / "okudefs.inc";
  RenderedPicture picture;
  {
    WorkDirectory work;
    if (!work.enter()) {
      report("cannot make a temporary directory in " + fs::temp_directory_path().string());
      return kExitRenderFailed;
    }
    // The user's definitions apply to the preview as to a saved scene.
    if (const std::string why = copy_definitions(defs, work.path() / "okudefs.inc"); !why.empty()) {
      report("cannot read " + defs.string() + ": " + why);
      if (!request.watch) // a watch draws without them until they can be read
        return kExitUsage;
    }
    add_framing_camera_if_none(request.scene);
    if (request.watch)
      return run_render_watch(*factory, request, work.path(), [&request](const std::string &path) {
        load_scene_input(path, request.import);
        add_framing_camera_if_none(path);
      });
    if (request.frames.active)
      return render_frames(*factory, request);
    code = render_in(*factory, request, picture);
  }
  if (code != kExitOk)
    return code;
  if (!write_picture(request, picture)) {
    report("cannot write " + request.out + ": " + std::strerror(errno));
    return kExitRenderFailed;
  }
  note("rendered " + request.scene + " to " + (request.picture.to_stdout ? "standard output" : request.out) +
       " (" + std::to_string(request.width) + " x " + std::to_string(request.height) + ")");
  return kExitOk;
}

} // namespace bf
