// brightfold render ... --watch: one preview surface for as long as the
// command runs, drawn again whenever the scene file, a part file or an image
// that it names, or the okudefs.inc beside it changes. The surface is told
// that the scene changed (refresh) before each new draw, so that changed
// parts and images reach the picture.
#include "app/cli/commands.h"
#include "app/cli/output_check.h"
#include "app/cli/render_request.h"
#include "app/scene/json_value.h"
#include "app/scene/verbosity.h"
#include "app/watch/file_watch.h"

#include "core/input_file.h"
#include "oku/part_io.h"
#include "oku/scene_db.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <sstream>

namespace bf {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kExitRenderFailed = 1;
constexpr unsigned long long kNoFile = 0;

double seconds_since(Clock::time_point began) {
  return std::chrono::duration<double>(Clock::now() - began).count();
}

std::string seconds_text(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", seconds);
  return text;
}

// Largest watched file read for its bytes: beyond any scene, part or image
// that a run reads.
constexpr long long kMaxWatchedBytes = 1LL << 30;

// FNV-1a of the file's bytes; kNoFile for a file that cannot be read, is no
// regular file (a FIFO, a link to /dev/zero), is too large, or when `stop`
// answered true on the way.
unsigned long long content_hash(const std::string &path, const std::function<bool()> &stop) {
  zal::InputFile in;
  if (!in.open(path, kMaxWatchedBytes))
    return kNoFile;
  unsigned long long hash = 14695981039346656037ull;
  unsigned char buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in.file())) > 0;) {
    if (stop())
      return kNoFile;
    for (size_t i = 0; i < n; ++i)
      hash = (hash ^ buffer[i]) * 1099511628211ull;
  }
  return std::ferror(in.file()) ? kNoFile : hash | 1;
}

// The material libraries an OBJ part file names: its colours come from them.
void add_material_libraries(const std::string &part, std::set<std::string> &files) {
  std::string ext = fs::path(part).extension().string();
  std::string text, why;
  if ((ext != ".obj" && ext != ".OBJ") || !zal::read_input_file(part, kMaxWatchedBytes, text, why))
    return;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string word;
    if (!(words >> word) || word != "mtllib")
      continue;
    while (words >> word)
      files.insert((fs::path(part).parent_path() / word).lexically_normal().string());
  }
}

// The part files and images that the loaded scene names (absolute, as the
// loader stored them).
void add_named_files(const _object &node, std::set<std::string> &files) {
  for (const auto &geometry : node.geometries)
    if (geometry->part_name() && files.insert(geometry->part_name()).second)
      add_material_libraries(geometry->part_name(), files);
  if (node.has_texture && !node.texture.image.empty())
    files.insert(node.texture.image);
  for (const auto &child : node.children)
    add_named_files(*child, files);
}

// "a.json", "a.json and b.obj", "a.json, b.obj and 3 more".
std::string names_of(const std::vector<std::string> &files) {
  std::string text;
  for (size_t i = 0; i < files.size() && i < 2; ++i)
    text += (i ? (files.size() == 2 ? " and " : ", ") : "") + fs::path(files[i]).filename().string();
  if (files.size() > 2)
    text += " and " + std::to_string(files.size() - 2) + " more";
  return text;
}

class WatchSession {
public:
  WatchSession(const RenderRequest &request, const fs::path &work,
               const std::function<void(const std::string &)> &load)
      : request_(request), work_(work), load_(load), scene_(request.scene_path),
        definitions_(scene_.parent_path() / "okudefs.inc"),
        watch_(std::getenv("BRIGHTFOLD_WATCH_POLL") && *std::getenv("BRIGHTFOLD_WATCH_POLL")) {}

  int run(VYuniverseDisplaySurface &surface, RenderGuard &guard);

private:
  std::vector<std::string> inputs() const;
  void watch_inputs();
  std::vector<std::string> changed_content(const std::vector<std::string> &files);
  void copy_definitions() const;
  static bool stop() { return RenderGuard::interrupted() != 0; }
  bool draw(VYuniverseDisplaySurface &surface, RenderGuard &guard, const std::string &what,
            Clock::time_point began);

  const RenderRequest &request_;
  fs::path work_;
  std::function<void(const std::string &)> load_;
  fs::path scene_, definitions_;
  FileWatch watch_;
  std::map<std::string, unsigned long long> content_; // file -> hash of what was last read
};

// The scene file, okudefs.inc beside it, what the loaded scene names and
// the files its parts and models read.
std::vector<std::string> WatchSession::inputs() const {
  std::set<std::string> files{scene_.string(), definitions_.string()};
  add_material_libraries(scene_.string(), files); // a model file given in place of a scene
  add_named_files(*db_get_root(), files);
  for (const oku::NamedFileRead &read : oku::named_files_read()) // buffers, images of models
    files.insert(read.path);
  return {files.begin(), files.end()};
}

// A file that joins the watch is taken as the load just read it.
void WatchSession::watch_inputs() {
  std::vector<std::string> files = inputs();
  watch_.watch(files);
  std::map<std::string, unsigned long long> kept;
  for (const std::string &file : files) {
    auto known = content_.find(file);
    kept[file] = known != content_.end() ? known->second : content_hash(file, stop);
  }
  content_.swap(kept);
}

// The files whose bytes differ from what was last read: a file touched or
// saved unchanged draws nothing.
std::vector<std::string> WatchSession::changed_content(const std::vector<std::string> &files) {
  std::vector<std::string> changed;
  for (const std::string &file : files) {
    unsigned long long hash = content_hash(file, stop);
    if (content_[file] != hash)
      changed.push_back(file);
    content_[file] = hash;
  }
  return changed;
}

// Definitions that cannot be read are left out of the next draws, said once
// per change.
void WatchSession::copy_definitions() const {
  if (const std::string why = bf::copy_definitions(definitions_, work_ / "okudefs.inc"); !why.empty())
    report("cannot read " + definitions_.string() + ": " + why + "; drawing without it");
}

// Renders and puts the picture in place; false when this draw gave none
// (the last picture stays).
bool WatchSession::draw(VYuniverseDisplaySurface &surface, RenderGuard &guard, const std::string &what,
                        Clock::time_point began) {
  RenderedPicture picture;
  if (render_on(surface, guard, request_, picture) != kExitOk)
    return false;
  // Written whole and renamed into place: whoever looks at the picture sees
  // the last one or the new one, never half of one.
  if (!write_picture(request_, picture)) {
    report("cannot write " + request_.out + ": " + std::strerror(errno));
    return false;
  }
  note(what + request_.out + " in " + seconds_text(seconds_since(began)) + " (POV-Ray " +
       seconds_text(picture.render_seconds) + ")");
  return true;
}

int WatchSession::run(VYuniverseDisplaySurface &surface, RenderGuard &guard) {
  watch_inputs();
  std::string size = std::to_string(request_.width) + " x " + std::to_string(request_.height);
  bool drawn = draw(surface, guard, "rendered " + request_.scene + " (" + size + ") to ", Clock::now());
  note(std::string(drawn ? "" : "no picture yet; ") + "watching " + std::to_string(inputs().size()) +
       " files for changes" + (watch_.polling() ? " (polling)" : "") + "; Ctrl-C ends");
  while (!stop()) {
    std::vector<std::string> changed = changed_content(watch_.wait(stop));
    if (changed.empty())
      continue;
    auto began = Clock::now();
    if (std::find(changed.begin(), changed.end(), definitions_.string()) != changed.end())
      copy_definitions();
    try {
      load_(scene_.string());
    } catch (const SceneError &error) {
      report(error.what());
      report("keeping the last picture; watching for changes");
      continue;
    }
    watch_inputs();
    // An edit can make the picture one of the scene's own files, which
    // each draw would then change: drawn for ever.
    if (std::string why = output_refusal(request_.out, scene_.string()); !why.empty()) {
      report("cannot write " + request_.out + ": " + why);
      report("keeping the last picture; watching for changes");
      continue;
    }
    surface.refresh(); // parts and images may have changed: the next draw reads them anew
    if (!draw(surface, guard, names_of(changed) + " changed: drew ", began) && !stop())
      report("keeping the last picture; watching for changes");
  }
  report("stopped watching");
  return kExitOk;
}

} // namespace

int run_render_watch(VYuniverseDisplaySurfaceFactory &factory, const RenderRequest &request,
                     const fs::path &work, const std::function<void(const std::string &)> &load) {
  RenderGuard guard(request.timeout);
  std::unique_ptr<VYuniverseDisplaySurface> surface = create_render_surface(factory, request);
  return surface ? WatchSession(request, work, load).run(*surface, guard) : kExitRenderFailed;
}

} // namespace bf
