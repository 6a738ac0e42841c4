// Materials of a model file as object keys: colour (an image's mean colour
// when the colour is an image), specular, Phong exponent, emission,
// opacity and reflectivity.
#include "base/ascii_text.h"
#include "import_parts.h"

#include <assimp/material.h>
#include <stb_image.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

namespace bf::import {

namespace {

namespace fs = std::filesystem;

// More than a million samples change a mean colour by nothing that shows.
constexpr long long kMeanSamples = 1 << 20;
// Embedded pictures larger than this are not decoded for their mean.
constexpr unsigned kMaxEmbeddedBytes = 256u << 20;

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

std::string colour_image(const aiMaterial &m) {
  for (aiTextureType type : {aiTextureType_BASE_COLOR, aiTextureType_DIFFUSE}) {
    aiString path;
    if (m.GetTextureCount(type) > 0 && m.GetTexture(type, 0, &path) == AI_SUCCESS && path.length > 0)
      return ai_text(path);
  }
  return "";
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

const aiTexture *embedded(const aiScene &scene, const std::string &name) {
  if (scene.mTextures == nullptr || scene.mNumTextures == 0)
    return nullptr;
  if (name.size() > 1 && name[0] == '*') {
    char *end = nullptr;
    const unsigned long index = std::strtoul(name.c_str() + 1, &end, 10);
    return *end == '\0' && index < scene.mNumTextures ? scene.mTextures[index] : nullptr;
  }
  const std::string base = fs::path(name).filename().string();
  for (unsigned i = 0; i < scene.mNumTextures; ++i) {
    const aiTexture *t = scene.mTextures[i];
    if (t != nullptr && t->mFilename.length > 0 && fs::path(ai_text(t->mFilename)).filename() == base)
      return t;
  }
  return nullptr;
}

std::vector<double> embedded_mean(const aiTexture &t) {
  if (t.pcData == nullptr || t.mWidth == 0)
    return {};
  if (t.mHeight == 0) { // a compressed picture of mWidth bytes
    if (t.mWidth > kMaxEmbeddedBytes)
      return {};
    int w = 0, h = 0, channels = 0;
    std::unique_ptr<unsigned char, void (*)(void *)> pixels(
        stbi_load_from_memory(reinterpret_cast<const unsigned char *>(t.pcData), static_cast<int>(t.mWidth),
                              &w, &h, &channels, 3),
        stbi_image_free);
    return pixels ? mean_of(pixels.get(), static_cast<long long>(w) * h, 3) : std::vector<double>{};
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
  if (!picture || picture->data() == nullptr)
    return {};
  return mean_of(picture->data(), static_cast<long long>(picture->width()) * picture->height(),
                 picture->bytes_per_pixel());
}

} // namespace

std::vector<double> image_mean(const ModelFile &model, const std::string &name) {
  if (const aiTexture *t = embedded(model.scene(), name))
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
  const unsigned key = m != nullptr ? mesh->mMaterialIndex : ~0u;
  auto it = by_material_.find(key);
  if (it == by_material_.end())
    it = by_material_.emplace(key, m != nullptr ? make(*m) : ojson::object()).first;
  return it->second;
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
    else
      report_warning(model_.path() + ": cannot read the texture image \"" + image +
                     "\"; its material keeps its plain colour");
  }
  if ((has_base || !image.empty()) && colour_json(colour[0], colour[1], colour[2], value))
    keys["color"] = value;

  aiColor4D specular;
  float strength = 1, shininess = 0, roughness = 1, metallic = 0, reflectivity = 0, opacity = 1;
  get_float(m, AI_MATKEY_SHININESS_STRENGTH, strength);
  if (get_colour(m, AI_MATKEY_COLOR_SPECULAR, specular) &&
      (specular.r > 0 || specular.g > 0 || specular.b > 0) && strength > 0 &&
      colour_json(specular.r * strength, specular.g * strength, specular.b * strength, value))
    keys["specular"] = value;
  if (get_float(m, AI_MATKEY_SHININESS, shininess) && shininess > 0)
    keys["shininess"] = number(shininess);
  aiColor4D emissive;
  float intensity = 1;
  get_float(m, AI_MATKEY_EMISSIVE_INTENSITY, intensity);
  if (get_colour(m, AI_MATKEY_COLOR_EMISSIVE, emissive) &&
      (emissive.r > 0 || emissive.g > 0 || emissive.b > 0) &&
      colour_json(shown(emissive.r * intensity), shown(emissive.g * intensity), shown(emissive.b * intensity),
                  value))
    keys["emission"] = value;
  if (!get_float(m, AI_MATKEY_OPACITY, opacity) && has_base)
    opacity = base.a;
  // Collada files are written with both meanings of their transparency; a
  // material that would hide its objects altogether is the other meaning.
  if (!(opacity > 0)) {
    report_warning(model_.path() + ": a material is fully transparent; it is taken as opaque");
    opacity = 1;
  }
  if (opacity < 1)
    keys["opacity"] = number(opacity);
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
    keys["reflectivity"] = number(std::fmin(1.0f, reflectivity));
  return keys;
}

} // namespace bf::import
