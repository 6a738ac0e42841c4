// Scene import as a whole: the document of a model's scene, its text, and
// model files loaded in place of scene files.
#include "app/import/model_import.h"
#include "app/import/import_parts.h"
#include "app/scene/scene_loader.h"
#include "app/scene/verbosity.h"
#include "core/ascii_text.h"

#include <algorithm>
#include <cmath>
#include <iostream>

namespace bf {

namespace fs = std::filesystem;

namespace import {

std::string scene_path(const std::string &file, const fs::path &scene_directory) {
  const fs::path target = fs::path(file).lexically_normal();
  const fs::path relative = target.lexically_relative(scene_directory.lexically_normal());
  return relative.empty() ? target.generic_string() : relative.generic_string();
}

void report_warning(const std::string &message) {
  if (verbosity() == Verbosity::quiet)
    return;
  std::cerr << "brightfold: warning: " << printable(message) << std::endl;
}

} // namespace import

namespace {

using import::ojson;

std::string plural(long n, const std::string &word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : word.back() == 'h' ? "es" : "s");
}

[[noreturn]] void nothing_to_draw(const ModelFile &model, const import::TreeResult &tree) {
  const aiScene &scene = model.scene();
  std::string holds;
  if (tree.meshes_without_polygons > 0)
    holds += ", " + plural(tree.meshes_without_polygons, "mesh") + " of points or lines only";
  if (scene.mCameras != nullptr && scene.mNumCameras > 0)
    holds += ", " + plural(scene.mNumCameras, "camera");
  if (scene.mLights != nullptr && scene.mNumLights > 0)
    holds += ", " + plural(scene.mNumLights, "light");
  throw SceneError(model.path() + ": nothing to draw: the file places no mesh with polygons" +
                   (holds.empty() ? "" : " (it holds " + holds.substr(2) + ")"));
}

// Arrays of numbers (and of such arrays) on one line, objects one key a line.
bool flat(const ojson &value) {
  if (!value.is_array())
    return value.is_primitive();
  return std::all_of(value.begin(), value.end(), [](const ojson &e) { return e.is_primitive(); });
}

void write_value(const ojson &value, int depth, std::string &out) {
  const auto text = [](const ojson &v) { return v.dump(-1, ' ', false, ojson::error_handler_t::replace); };
  const bool one_line =
      value.empty() || flat(value) || (value.is_array() && std::all_of(value.begin(), value.end(), flat));
  if (one_line && value.is_array()) {
    out += "[";
    for (size_t i = 0; i < value.size(); ++i) {
      out += i > 0 ? ", " : "";
      write_value(value[i], depth, out);
    }
    out += "]";
    return;
  }
  if (one_line) {
    out += text(value);
    return;
  }
  const bool object = value.is_object();
  out += object ? "{\n" : "[\n";
  size_t i = 0;
  for (const auto &[key, member] : value.items()) {
    out.append(2 * (depth + 1), ' ');
    if (object)
      out += text(ojson(key)) + ": ";
    write_value(member, depth + 1, out);
    out += ++i < value.size() ? ",\n" : "\n";
  }
  out.append(2 * depth, ' ');
  out += object ? "}" : "]";
}

} // namespace

ojson import_model(const ModelFile &model, const ImportOptions &options, const fs::path &scene_directory) {
  import::TreeResult tree =
      import::walk_tree(model, import::scene_path(model.path(), scene_directory), scene_directory);
  if (tree.objects == 0)
    nothing_to_draw(model, tree);
  for (const double v : {tree.bounds.low.x, tree.bounds.low.y, tree.bounds.low.z, tree.bounds.high.x,
                         tree.bounds.high.y, tree.bounds.high.z})
    if (!(std::fabs(v) <= kMaxModelCoordinate))
      throw SceneError(model.path() + ": the model's points reach " + import::number(v).dump() +
                       ", beyond the " + import::number(kMaxModelCoordinate).dump() +
                       " that a scene can frame and hold");
  import::Views views = import::make_views(model, tree, options);
  ojson children = std::move(views.nodes);
  for (auto &child : tree.children)
    children.push_back(std::move(child));
  import::add_studio_look(views.environment, children, tree, import::scene_axes(model.scene(), options.up),
                          options.studio);
  ojson document = ojson::object();
  if (!views.environment.empty())
    document[import::top_key::environment.name] = std::move(views.environment);
  document[import::top_key::viewpoint.name] = views.viewpoint;
  document[import::top_key::root.name] = {{import::node_key::name.name, tree.root_name},
                                          {import::node_key::children.name, std::move(children)}};
  return document;
}

std::string scene_text(const ojson &document) {
  std::string text;
  write_value(document, 0, text);
  return text + "\n";
}

void load_scene_input(const std::string &path, const ImportOptions &options) {
  const std::string ext = zal::ascii_lower(fs::path(path).extension().string());
  if (ext == ".json") {
    load_scene_file(path);
    return;
  }
  std::error_code ec;
  const fs::path absolute = fs::absolute(path, ec).lexically_normal();
  std::string error;
  std::shared_ptr<ModelFile> model = ModelFile::open(absolute.string(), error);
  if (!model)
    throw SceneError(path + ": " + error);
  // As if written beside the model and read back: the same text, the same
  // scene; the model already read serves its parts.
  const std::string text = scene_text(import_model(*model, options, absolute.parent_path()));
  ModelCache models{{absolute.string(), model}};
  model.reset();
  load_scene_text(text, path, &models);
}

} // namespace bf
