// Materials of a model file as object keys: colour (an image's mean colour
// when the colour is an image), specular, Phong exponent, emission,
// opacity and reflectivity.
#include "app/import/import_parts.h"
#include "core/ascii_text.h"
#include "vy/image_bounds.h"

#include <assimp/material.h>

#include <cmath>
#include <memory>

namespace bf::import {

namespace {

// More than a million samples change a mean colour by nothing that shows.
constexpr long long kMeanSamples = 1 << 20;

bool get_colour(const aiMaterial &m, const char *key, unsigned type, unsigned index, aiColor4D &out) {
  aiColor4D c;
  if (m.Get(key, type, index, c) != AI_SUCCESS)
    return false;
  if (!std::isfinite(c.r) || !std::isfinite(c.g) || !std::isfinite(c.b) || !std::isfinite(c.a))
    return false;
  out = c;
  return true;
}

bool get_float(const aiMaterial &m, const char *key, unsigned type, unsigned index, float &out) {
  float v;
  if (m.Get(key, type, index, v) != AI_SUCCESS || !std::isfinite(v))
    return false;
  out = v;
  return true;
}

bool is_stand_in(const aiMaterial &m) {
  aiString name;
  return m.Get(AI_MATKEY_NAME, name) == AI_SUCCESS && ai_text(name) == AI_DEFAULT_MATERIAL_NAME;
}

// The base colour (glTF) or diffuse colour.
bool base_colour(const aiMaterial &m, aiColor4D &out) {
  return get_colour(m, AI_MATKEY_BASE_COLOR, out) || get_colour(m, AI_MATKEY_COLOR_DIFFUSE, out);
}

// Mean of pixels at `data` (`channels` bytes each, red first), sampled.
std::vector<double> mean_of(const unsigned char *data, long long pixels, int channels, int red = 0,
                            int blue = 2) {
  if (data == nullptr || pixels <= 0)
    return {};
  const long long step = std::max(1LL, pixels / kMeanSamples);
  double sum[3] = {0, 0, 0};
  long long n = 0;
  for (long long i = 0; i < pixels; i += step, ++n) {
    const unsigned char *p = data + i * channels;
    sum[0] += p[red], sum[1] += p[1], sum[2] += p[blue];
  }
  return {sum[0] / n / 255, sum[1] / n / 255, sum[2] / n / 255};
}

// Why the last image_mean gave no colour.
thread_local std::string unread_reason;

// The mean of a picture the host's reader gave (null: the reader's reason kept).
std::vector<double> bitmap_mean(const VYbitmap *picture) {
  if (picture == nullptr || picture->data() == nullptr) {
    unread_reason = vy_image_reader_failure();
    return {};
  }
  return mean_of(picture->data(), static_cast<long long>(picture->width()) * picture->height(),
                 picture->bytes_per_pixel());
}

std::vector<double> embedded_mean(const aiTexture &t) {
  if (t.pcData == nullptr || t.mWidth == 0)
    return {};
  if (t.mHeight == 0) { // a compressed picture of mWidth bytes
    if (t.mWidth > kMaxEmbeddedImageBytes) {
      unread_reason = "more than " + std::to_string(kMaxEmbeddedImageBytes >> 20) + " MiB";
      return {};
    }
    // Through the host's reader: its header checks and pixel budget hold
    // for a picture inside a model as for a file.
    std::unique_ptr<VYbitmap> picture(vy_read_image_memory(t.pcData, t.mWidth));
    return bitmap_mean(picture.get());
  }
  // aiTexel: blue, green, red, alpha.
  return mean_of(reinterpret_cast<const unsigned char *>(t.pcData),
                 static_cast<long long>(t.mWidth) * t.mHeight, 4, 2, 0);
}

std::vector<double> file_mean(const ModelFile &model, const std::string &name) {
  const std::string path = model.image_path(name);
  if (path.empty())
    return {};
  std::unique_ptr<VYbitmap> picture(image_reader_invoke(path.c_str()));
  return bitmap_mean(picture.get());
}

// The exponent of a specular colour that comes without one.
constexpr double kDefaultExponent = 40;
// Shininess up to this is a 0..1 value, scaled to an exponent up to 128
// (where a highlight shows; without one it is written as the file has it).
constexpr double kUnitShininess = 1;
constexpr double kMaxExponent = 500;

// A Phong highlight: its colour and exponent (0: none given).
struct Highlight {
  double strength[3] = {0, 0, 0};
  double exponent = 0;
};

// The file's specular colour and shininess; where it has neither, glTF's
// metal and roughness: a dielectric's weak highlight, a metal's strong one,
// as sharp as the surface is smooth (a roughness of 1 has none).
Highlight highlight(const aiMaterial &m) {
  Highlight h;
  aiColor4D specular;
  float strength = 1, shininess = 0, metallic = 0, roughness = 1;
  get_float(m, AI_MATKEY_SHININESS_STRENGTH, strength);
  if (get_colour(m, AI_MATKEY_COLOR_SPECULAR, specular) && strength > 0)
    h.strength[0] = specular.r * strength, h.strength[1] = specular.g * strength,
    h.strength[2] = specular.b * strength;
  const bool lit = h.strength[0] > 0 || h.strength[1] > 0 || h.strength[2] > 0;
  if (get_float(m, AI_MATKEY_SHININESS, shininess) && shininess > 0)
    h.exponent = lit && shininess <= kUnitShininess ? 128 * shininess : shininess;
  if (lit && h.exponent <= 0)
    h.exponent = kDefaultExponent;
  if (!lit && get_float(m, AI_MATKEY_METALLIC_FACTOR, metallic) &&
      get_float(m, AI_MATKEY_ROUGHNESS_FACTOR, roughness) && roughness < 1) {
    const double r = std::fmax(0.0, roughness), smooth = 1 - r;
    const double level = smooth * (0.2 + 0.8 * std::fmin(1.0, std::fmax(0.0, metallic)));
    const double alpha = std::fmax(0.01, r * r);
    h.strength[0] = h.strength[1] = h.strength[2] = level;
    h.exponent = 2 / (alpha * alpha) - 2;
  }
  if (h.strength[0] > 0 || h.strength[1] > 0 || h.strength[2] > 0)
    h.exponent = std::fmin(kMaxExponent, h.exponent);
  return h;
}

} // namespace

std::string colour_image(const aiMaterial &m, bool *by_uv, aiTextureType *found, unsigned *set) {
  for (aiTextureType type : {aiTextureType_BASE_COLOR, aiTextureType_DIFFUSE}) {
    aiString path;
    aiTextureMapping mapping = aiTextureMapping_UV;
    unsigned channel = 0;
    if (m.GetTextureCount(type) > 0 && m.GetTexture(type, 0, &path, &mapping, &channel) == AI_SUCCESS &&
        path.length > 0) {
      if (by_uv != nullptr)
        *by_uv = mapping == aiTextureMapping_UV;
      if (set != nullptr)
        *set = channel;
      if (found != nullptr)
        *found = type;
      return ai_text(path);
    }
  }
  return "";
}

std::vector<double> image_mean(const ModelFile &model, const std::string &name) {
  unread_reason = "no such file";
  if (const aiTexture *t = model.embedded_image(name))
    return embedded_mean(*t);
  if (!name.empty() && name[0] == '*')
    return {};
  return file_mean(model, name);
}

ZAL_COLOR polygon_colour(const ModelFile &model, unsigned mesh_index) {
  const aiMaterial *m = model.material_of(mesh_index);
  aiColor4D c;
  if (m == nullptr || is_stand_in(*m) || !base_colour(*m, c))
    return {1, 1, 1};
  const bool gltf = is_gltf(model);
  const auto unit = [gltf](float v) {
    return static_cast<float>(gltf ? display_value(v) : std::fmin(1.0f, std::fmax(0.0f, v)));
  };
  return {unit(c.r), unit(c.g), unit(c.b)};
}

const ojson &MaterialTable::keys(unsigned mesh_index) {
  const aiMesh *mesh = model_.mesh(mesh_index);
  const aiMaterial *m = model_.material_of(mesh_index);
  const bool painted = has_vertex_colours(model_, mesh_index);
  const bool mapped = mesh != nullptr && mesh->mTextureCoords[0] != nullptr;
  bool one_set = mapped;
  for (unsigned k = 1; one_set && k < AI_MAX_NUMBER_OF_TEXTURECOORDS; ++k)
    one_set = mesh->mTextureCoords[k] == nullptr;
  const std::tuple<unsigned, bool, bool, bool> key{m != nullptr ? mesh->mMaterialIndex : ~0u, painted, mapped,
                                                   one_set};
  auto it = by_material_.find(key);
  if (it == by_material_.end()) {
    it = by_material_.emplace(key, m != nullptr ? make(*m) : ojson::object()).first;
    if (painted) // the part's polygon colours show
      it->second.erase(node_key::color.name);
    if (mapped && m != nullptr)
      if (ojson t = texture(*m, one_set); !t.is_null())
        it->second[node_key::texture.name] = std::move(t);
  }
  return it->second;
}

// The colour image as a texture laid on by the mesh's texture coordinates:
// a file that the host reads as the scene's other images, or a picture
// inside the model by the name under which the host holds it ("MODEL#N");
// only one whose mean colour was read. Only the mesh's first set of
// texture coordinates is carried over; a mesh of one set takes whatever set
// the material names, as Collada files number their sets from where the
// exporter likes (3ds Max's from 1) and Assimp lists them from 0.
ojson MaterialTable::texture(const aiMaterial &m, bool one_set) {
  bool by_uv = false;
  aiTextureType type = aiTextureType_DIFFUSE;
  unsigned set = 0;
  const std::string image = colour_image(m, &by_uv, &type, &set);
  if (image.empty() || !by_uv || (set != 0 && !one_set))
    return nullptr;
  const auto mean = image_means_.find(image);
  unsigned index = 0;
  const std::string path = model_.embedded_image(image, &index) != nullptr ? model_.held_image_name(index)
                                                                           : model_.image_path(image);
  if (mean == image_means_.end() || mean->second.size() != 3 || path.empty())
    return nullptr;
  ojson keys = {{texture_key::image.name, scene_path(path, scene_directory_)},
                {texture_key::mapping.name, "uv"}};
  add_uv_placement(m, type, gltf_, model_.path(), keys);
  return keys;
}

ojson MaterialTable::make(const aiMaterial &m) {
  ojson keys = ojson::object();
  if (is_stand_in(m)) // made up by Assimp for a file without materials
    return keys;
  ojson value;
  aiColor4D base(1, 1, 1, 1);
  const bool has_base = base_colour(m, base);
  const auto shown = [this](double v) { return gltf_ ? display_value(v) : v; };
  std::vector<double> colour{shown(base.r), shown(base.g), shown(base.b)};
  const std::string image = colour_image(m);
  if (!image.empty()) {
    auto [it, added] = image_means_.try_emplace(image);
    if (added)
      it->second = image_mean(model_, image);
    if (it->second.size() == 3) // the colour is the image's, tinted by the factor
      colour = {colour[0] * it->second[0], colour[1] * it->second[1], colour[2] * it->second[2]};
    else if (added) // once per image: the reason is that of its read
      report_warning(model_.path() + ": cannot read the texture image \"" + image + "\": " + unread_reason +
                     "; its material keeps its plain colour");
  }
  if ((has_base || !image.empty()) && colour_json(colour[0], colour[1], colour[2], value))
    keys[node_key::color.name] = value;

  float opacity = 1, reflectivity = 0, metallic = 0, roughness = 1;
  Highlight h = highlight(m);
  if (h.strength[0] > 0 || h.strength[1] > 0 || h.strength[2] > 0) {
    if (colour_json(h.strength[0], h.strength[1], h.strength[2], value))
      keys[node_key::specular.name] = value;
    keys[node_key::shininess.name] = number(h.exponent);
  } else if (h.exponent > 0) {
    keys[node_key::shininess.name] = number(h.exponent);
  }
  aiColor4D emissive;
  float intensity = 1;
  get_float(m, AI_MATKEY_EMISSIVE_INTENSITY, intensity);
  if (get_colour(m, AI_MATKEY_COLOR_EMISSIVE, emissive) &&
      (emissive.r > 0 || emissive.g > 0 || emissive.b > 0)) {
    // The file's glow as it is, apart from the colour, as the 3.7 text
    // adds it (the 3.0 text can only scale it by the colour).
    if (colour_json(shown(emissive.r * intensity), shown(emissive.g * intensity),
                    shown(emissive.b * intensity), value))
      keys[node_key::emission.name] = value;
  }
  if (!get_float(m, AI_MATKEY_OPACITY, opacity) && has_base)
    opacity = base.a;
  // Collada files are written with both meanings of their transparency; a
  // material that would hide its objects altogether is the other meaning.
  if (!(opacity > 0)) {
    report_warning(model_.path() + ": a material is fully transparent; it is taken as opaque");
    opacity = 1;
  }
  if (opacity < 1)
    keys[node_key::opacity.name] = number(opacity);
  // Reflection is the reflectivity times the reflective colour where the
  // file gives one; metal reflects as much as it is smooth.
  aiColor4D reflective;
  if (get_float(m, AI_MATKEY_REFLECTIVITY, reflectivity)) {
    if (get_colour(m, AI_MATKEY_COLOR_REFLECTIVE, reflective))
      reflectivity *= std::fmax(reflective.r, std::fmax(reflective.g, reflective.b));
  } else if (get_float(m, AI_MATKEY_METALLIC_FACTOR, metallic)) {
    get_float(m, AI_MATKEY_ROUGHNESS_FACTOR, roughness);
    reflectivity = metallic * (1 - std::fmin(1.0f, std::fmax(0.0f, roughness)));
  }
  if (reflectivity > 0)
    keys[node_key::reflectivity.name] = number(std::fmin(1.0f, reflectivity));
  return keys;
}

} // namespace bf::import
