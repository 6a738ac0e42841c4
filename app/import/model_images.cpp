// The pictures inside a model file: found by the names its materials give
// them, and the colour images held for the image reader under "MODEL#N".
#include "app/import/import_parts.h"
#include "app/import/model_file.h"
#include "vy/image_bytes.h"

#include <cstdlib>
#include <filesystem>

namespace bf {

namespace {

std::string held_name(const std::string &model, unsigned index) {
  return model + '#' + std::to_string(index);
}

} // namespace

const aiTexture *ModelFile::embedded_image(const std::string &name, unsigned *index) const {
  if (scene_->mTextures == nullptr || scene_->mNumTextures == 0)
    return nullptr;
  unsigned found = scene_->mNumTextures;
  if (name.size() > 1 && name[0] == '*') {
    char *end = nullptr;
    const unsigned long n = std::strtoul(name.c_str() + 1, &end, 10);
    if (*end == '\0' && n < scene_->mNumTextures)
      found = static_cast<unsigned>(n);
  } else {
    const std::filesystem::path base = std::filesystem::path(name).filename();
    for (unsigned i = 0; i < scene_->mNumTextures && found == scene_->mNumTextures; ++i) {
      const aiTexture *t = scene_->mTextures[i];
      if (t != nullptr && t->mFilename.length > 0 &&
          std::filesystem::path(ai_text(t->mFilename)).filename() == base)
        found = i;
    }
  }
  if (found == scene_->mNumTextures || scene_->mTextures[found] == nullptr)
    return nullptr;
  if (index != nullptr)
    *index = found;
  return scene_->mTextures[found];
}

std::string ModelFile::held_image_name(unsigned index) const {
  const std::string name = held_name(path_, index);
  return vy_registered_image_bytes(name.c_str()) != nullptr ? name : "";
}

// Holds each compressed picture inside the model that a material's colour
// is; pictures of raw texels, and those too large, keep their mean colour
// alone.
void ModelFile::hold_images() const {
  vy_unregister_images_under(path_ + '#');
  for (unsigned i = 0; scene_->mMaterials != nullptr && i < scene_->mNumMaterials; ++i) {
    unsigned index = 0;
    const aiMaterial *m = scene_->mMaterials[i];
    const aiTexture *t = m != nullptr ? embedded_image(import::colour_image(*m), &index) : nullptr;
    if (t == nullptr || t->mHeight != 0 || t->pcData == nullptr || t->mWidth == 0 ||
        t->mWidth > kMaxEmbeddedImageBytes || !held_image_name(index).empty())
      continue;
    const std::string why = vy_register_image_bytes(held_name(path_, index), t->pcData, t->mWidth);
    if (!why.empty())
      import::report_warning(path_ + ": cannot hold picture " + std::to_string(index) +
                             " inside the model: " + why + "; its material keeps its plain colour");
  }
}

} // namespace bf
