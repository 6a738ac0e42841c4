// Cameras, lights and the environment of an imported scene; a camera that
// frames everything and key, fill and rim lights where the file has none.
#include "app/import/framing.h"
#include "app/import/import_parts.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>

namespace bf::import {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Light intensities above this are taken as physical units out of scale
// with the scene's colours (the renderer's lights do not fade).
constexpr double kMaxIntensity = 10;

Vec3 scaled(const Vec3 &v, double k) { return {v.x * k, v.y * k, v.z * k}; }
Vec3 unit(const Vec3 &v) {
  const double n = oku::length(v);
  return n > 0 && std::isfinite(n) ? scaled(v, 1 / n) : Vec3{};
}
Vec3 vec(const aiVector3D &v) { return {v.x, v.y, v.z}; }
Vec3 axis(int index, double sign) {
  Vec3 v;
  (index == 0 ? v.x : index == 1 ? v.y : v.z) = sign < 0 ? -1 : 1;
  return v;
}

// A whole-number value of the file's metadata.
bool meta_int(const aiScene &scene, const char *key, int &out) {
  const aiMetadata *meta = scene.mMetaData;
  if (meta == nullptr || meta->mKeys == nullptr || meta->mValues == nullptr)
    return false;
  for (unsigned i = 0; i < meta->mNumProperties; ++i) {
    if (ai_text(meta->mKeys[i]) != key || meta->mValues[i].mData == nullptr)
      continue;
    const void *data = meta->mValues[i].mData;
    double v = 0;
    switch (meta->mValues[i].mType) {
    case AI_INT32:
      v = *static_cast<const int32_t *>(data);
      break;
    case AI_UINT64:
      v = static_cast<double>(*static_cast<const uint64_t *>(data));
      break;
    case AI_FLOAT:
      v = *static_cast<const float *>(data);
      break;
    case AI_DOUBLE:
      v = *static_cast<const double *>(data);
      break;
    default:
      return false;
    }
    if (!(v >= -8 && v <= 8))
      return false;
    out = static_cast<int>(std::lround(v));
    return true;
  }
  return false;
}

// Unique among the names given out so far.
std::string unique_name(std::set<std::string> &used, const std::string &name) {
  std::string out = name;
  for (int n = 2; !used.insert(out).second; ++n)
    out = name + " " + std::to_string(n);
  return out;
}

Affine place_of(const TreeResult &tree, const std::string &name) {
  const auto it = tree.places.find(name);
  return it != tree.places.end() ? it->second : Affine();
}

double radius_of(const TreeResult &tree) {
  const double r = tree.bounds.radius();
  return r > 0 && std::isfinite(r) ? r : 1;
}

class ViewBuilder {
public:
  ViewBuilder(const ModelFile &model, const TreeResult &tree, const ImportOptions &options)
      : model_(model), scene_(model.scene()), tree_(tree), options_(options),
        axes_(scene_axes(scene_, options.up)), centre_(tree.bounds.centre()), radius_(radius_of(tree)),
        fit_(model) {
    gltf_ = is_gltf(model);
  }

  Views run() {
    add_cameras();
    if (views_.viewpoint.empty())
      add_default_camera();
    // The scene writes the view point's camera alone; the others stand by
    // for an edit of "viewpoint" (or --camera) to choose them.
    if (camera_names_.size() > 1)
      for (auto &node : views_.nodes)
        node[node_key::standby.name] = true;
    add_lights();
    if (lights_ == 0)
      add_default_lights();
    return std::move(views_);
  }

private:
  void add_cameras() {
    const unsigned count = scene_.mCameras != nullptr ? scene_.mNumCameras : 0;
    std::vector<std::string> names;
    for (unsigned i = 0; i < count; ++i) {
      const aiCamera *c = scene_.mCameras[i];
      if (c == nullptr)
        continue;
      const std::string name = ai_text(c->mName);
      names.push_back(name);
      const Affine world = place_of(tree_, name);
      // Assimp's glTF and 3DS readers put the node's translation into the
      // camera as well; the node alone places it then.
      const auto own = tree_.own_places.find(name);
      const bool twice =
          own != tree_.own_places.end() && oku::length(vec(c->mPosition)) > 0 &&
          oku::length(oku::sub(own->second.t, vec(c->mPosition))) <= 1e-6 * oku::length(own->second.t);
      const Vec3 position = place(world, twice ? Vec3{} : vec(c->mPosition));
      const Vec3 forward = unit(oku::apply(world.l, vec(c->mLookAt)));
      Vec3 sky = unit(oku::apply(world.l, vec(c->mUp)));
      if (oku::length(forward) == 0 || !std::isfinite(position.x + position.y + position.z)) {
        report_warning(model_.path() + ": camera \"" + name + "\" has no usable direction; it is left out");
        continue;
      }
      if (oku::length(sky) == 0)
        sky = axes_.up;
      const std::string node_name = unique_name(camera_names_, name);
      const double distance = oku::length(oku::sub(centre_, position));
      views_.nodes.push_back({{node_key::type.name, "camera"},
                              {node_key::name.name, node_name},
                              {node_key::position.name, vec_json(position)},
                              {node_key::look_at.name,
                               vec_json(oku::add(position, scaled(forward, distance > 0 ? distance : 1)))},
                              {node_key::sky.name, vec_json(sky)},
                              {node_key::view_angle.name, number(view_angle(*c))}});
      const bool first = options_.camera.empty() && views_.viewpoint.empty() && blind_.empty();
      if (first && !sees_scene(position, forward, view_angle(*c)))
        blind_ = node_name; // a camera of an animation, say, that looks away
      else if (first || (options_.camera == name && chosen_.empty()))
        views_.viewpoint = chosen_ = node_name;
    }
    if (views_.viewpoint.empty() && !blind_.empty())
      report_warning(model_.path() + ": camera \"" + blind_ +
                     "\" sees nothing of the scene; a camera that frames it is added (--camera chooses "
                     "the file's)");
    if (!options_.camera.empty() && chosen_.empty()) {
      std::string list;
      for (const auto &n : names)
        list += (list.empty() ? "" : ", ") + ("\"" + n + "\"");
      throw SceneError(model_.path() + ": no camera is named \"" + options_.camera + "\"" +
                       (list.empty() ? " (the file has no cameras)" : " (its cameras: " + list + ")"));
    }
  }

  // Whether any of the scene's bounding sphere lies within the camera's
  // widest angle of view (the diagonal of a 4:3 picture).
  bool sees_scene(const Vec3 &position, const Vec3 &forward, double vertical_degrees) const {
    const Vec3 to_centre = oku::sub(centre_, position);
    const double d = oku::length(to_centre);
    if (d <= radius_)
      return true;
    const double half_diagonal = std::atan(std::tan(vertical_degrees * kPi / 360) * 5.0 / 3.0);
    const double off_axis = std::acos(std::fmax(-1.0, std::fmin(1.0, oku::dot(to_centre, forward) / d)));
    return off_axis <= half_diagonal + std::asin(radius_ / d);
  }

  double view_angle(const aiCamera &c) const { return fit_.view_angle(c, options_.aspect); }

  void add_default_camera() {
    const Framing view = frame_contents(centre_, radius_, axes_.up, axes_.front, axes_.right);
    views_.viewpoint = unique_name(camera_names_, "Default camera");
    views_.nodes.push_back({{node_key::type.name, "camera"},
                            {node_key::name.name, views_.viewpoint},
                            {node_key::position.name, vec_json(view.position)},
                            {node_key::look_at.name, vec_json(view.look_at)},
                            {node_key::sky.name, vec_json(view.sky)},
                            {node_key::view_angle.name, number(view.view_angle)}});
  }

  void add_lights() {
    const unsigned count = scene_.mLights != nullptr ? scene_.mNumLights : 0;
    std::set<std::string> names;
    for (unsigned i = 0; i < count; ++i)
      if (const aiLight *l = scene_.mLights[i])
        add_light(*l, names);
  }

  void add_light(const aiLight &l, std::set<std::string> &names) {
    const std::string name = ai_text(l.mName);
    const aiColor3D &c = l.mColorDiffuse;
    const double strongest = std::fmax(c.r, std::fmax(c.g, c.b));
    if (l.mType == aiLightSource_AMBIENT) {
      const aiColor3D &a = l.mColorAmbient;
      const double level = std::fmax(strongest, std::fmax(a.r, std::fmax(a.g, a.b)));
      if (std::isfinite(level) && level > 0)
        views_.environment[environment_key::ambient.name] = number(std::fmin(1.0, level));
      return;
    }
    ojson colour;
    if (!(strongest > 0) || !std::isfinite(strongest) ||
        !colour_json(c.r / strongest, c.g / strongest, c.b / strongest, colour)) {
      report_warning(model_.path() + ": light \"" + name + "\" gives no light; it is left out");
      return;
    }
    const Affine world = place_of(tree_, name);
    const Vec3 position = place(world, vec(l.mPosition));
    const Vec3 direction = unit(oku::apply(world.l, vec(l.mDirection)));
    const bool directional = l.mType == aiLightSource_DIRECTIONAL;
    const bool spot = l.mType == aiLightSource_SPOT;
    if (!std::isfinite(position.x + position.y + position.z) ||
        ((directional || spot) && oku::length(direction) == 0)) {
      report_warning(model_.path() + ": light \"" + name +
                     "\" has no usable place or direction; it is left out");
      return;
    }
    ojson node = {{node_key::type.name, "light"},
                  {node_key::name.name, unique_name(names, name)},
                  {node_key::kind.name, directional ? "distant"
                                        : spot      ? "spot"
                                                    : "point"},
                  {node_key::position.name, vec_json(position)}};
    if (directional || spot) {
      node[node_key::look_at.name] = vec_json(oku::add(position, direction));
      node[node_key::sky.name] = vec_json(axes_.up);
    }
    node[node_key::color.name] = colour;
    node[node_key::intensity.name] = number(std::fmin(kMaxIntensity, strongest * falloff(l, position)));
    if (!directional && l.mAttenuationQuadratic > 0 && std::isfinite(l.mAttenuationQuadratic))
      node[node_key::fade_distance.name] = number(std::fmin(centre_distance(position), FLT_MAX));
    // The scene's angle is from the axis; Assimp's readers give the whole
    // cone, except its glTF reader, which passes on the file's half angle.
    const double cone = l.mAngleOuterCone * (gltf_ ? 180 : 90) / kPi;
    if (spot)
      node[node_key::cone_angle.name] = number(std::fmin(90.0, std::fmax(0.0, cone)));
    views_.nodes.push_back(std::move(node));
    ++lights_;
  }

  // What is left of a point or spot light's strength at the scene's centre:
  // the intensity the light has at any distance, or, when it fades, at its
  // fade distance. A file's light that falls with the square of the distance
  // fades (in the 3.7 language) by 2 / (1 + (x / fade_distance)^2) at distance
  // x; that is 1 at x = fade_distance, so a fade distance of the centre's
  // distance keeps the centre's strength and lights nearer surfaces more.
  double falloff(const aiLight &l, const Vec3 &position) const {
    if (l.mType == aiLightSource_DIRECTIONAL)
      return 1;
    const double d = centre_distance(position);
    const double f = l.mAttenuationConstant + l.mAttenuationLinear * d + l.mAttenuationQuadratic * d * d;
    return f > 0 && std::isfinite(f) ? 1 / f : 1;
  }

  // A light's distance from the scene's centre; a light at the centre is
  // taken to stand a tenth of the scene's radius away.
  double centre_distance(const Vec3 &position) const {
    return std::fmax(oku::length(oku::sub(centre_, position)), radius_ * 0.1);
  }

  void add_default_lights() {
    std::set<std::string> names;
    const struct {
      const char *name;
      double right, up, front, intensity;
    } lights[] = {
        {"Key light", -1, 1.2, 1, 1}, {"Fill light", 1, 0.3, 0.8, 0.4}, {"Rim light", 0.4, 2, -1, 0.5}};
    // They fade with the square of the distance (in the 3.7 language) and
    // have their strength at the scene's centre.
    for (const auto &l : lights) {
      const Vec3 towards = unit(oku::add(oku::add(scaled(axes_.right, l.right), scaled(axes_.up, l.up)),
                                         scaled(axes_.front, l.front)));
      const Vec3 position = oku::add(centre_, scaled(towards, 4 * radius_));
      views_.nodes.push_back(
          {{node_key::type.name, "light"},
           {node_key::name.name, l.name},
           {node_key::kind.name, "point"},
           {node_key::position.name, vec_json(position)},
           {node_key::color.name, ojson::array({1, 1, 1})},
           {node_key::intensity.name, l.intensity},
           {node_key::fade_distance.name, number(std::fmin(centre_distance(position), FLT_MAX))}});
    }
  }

  const ModelFile &model_;
  const aiScene &scene_;
  const TreeResult &tree_;
  const ImportOptions &options_;
  Axes axes_;
  Vec3 centre_;
  double radius_;
  Views views_;
  std::set<std::string> camera_names_;
  std::string chosen_;
  std::string blind_; // the file's first camera, when it sees nothing
  int lights_ = 0;
  bool gltf_ = false;
  CameraFit fit_;
};

} // namespace

Axes scene_axes(const aiScene &scene, char up_option) {
  Axes axes;
  int up = 1, up_sign = 1, front = -1, front_sign = 1;
  if (up_option == 'z') {
    up = 2;
  } else if (up_option != 'y' && meta_int(scene, "UpAxis", up)) {
    if (up < 0 || up > 2)
      up = 1;
    if (meta_int(scene, "UpAxisSign", up_sign) && up_sign == 0)
      up_sign = 1;
    if (!meta_int(scene, "FrontAxis", front) || front < 0 || front > 2 || front == up ||
        !meta_int(scene, "FrontAxisSign", front_sign) || front_sign == 0)
      front = -1;
  }
  axes.up = axis(up, up_sign);
  // Without a front axis: +z for y up, -y for z up, +y for x up.
  axes.front = front >= 0 ? axis(front, front_sign)
               : up == 1  ? axis(2, 1)
               : up == 2  ? axis(1, -1)
                          : axis(1, 1);
  axes.right = oku::cross(scaled(axes.front, -1), axes.up);
  return axes;
}

Views make_views(const ModelFile &model, const TreeResult &tree, const ImportOptions &options) {
  return ViewBuilder(model, tree, options).run();
}

} // namespace bf::import
