// The view angle of a file's camera as each format fixes it: the angle that
// the file keeps when the picture's aspect differs from the camera's.
#include "app/import/import_parts.h"
#include "core/ascii_text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace bf::import {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Collada files larger than this are not searched for their xfov values.
constexpr std::uintmax_t kMaxColladaScan = 64u << 20;

std::string extension(const ModelFile &model) {
  return zal::ascii_lower(std::filesystem::path(model.path()).extension().string());
}

// The values (degrees) of every <xfov> and <yfov> of a Collada file.
void collada_angles(const std::string &path, std::vector<double> &xfovs, std::vector<double> &yfovs) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxColladaScan)
    return;
  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (auto [tag, out] : {std::pair{"<xfov", &xfovs}, std::pair{"<yfov", &yfovs}})
    for (size_t at = text.find(tag); at != std::string::npos; at = text.find(tag, at + 1)) {
      const size_t close = text.find('>', at);
      if (close == std::string::npos)
        break;
      const double v = std::strtod(text.c_str() + close + 1, nullptr);
      if (std::isfinite(v))
        out->push_back(v);
    }
}

} // namespace

CameraFit::CameraFit(const ModelFile &model) {
  const std::string ext = extension(model);
  format_ = is_gltf(model)  ? Format::gltf
            : ext == ".fbx" ? Format::fbx
            : ext == ".dae" ? Format::collada
                            : Format::other;
  if (format_ == Format::collada)
    collada_angles(model.path(), xfovs_, yfovs_);
}

// Assimp gives the whole horizontal angle (not the half that its
// documentation names) in mHorizontalFOV, except its glTF reader, which
// gives the file's yfov times the file's aspect; mAspect is the width over
// the height, 0 when the file gives none.
Lens CameraFit::lens(const aiCamera &c) const {
  const double across = c.mHorizontalFOV;
  const double aspect = c.mAspect > 0 && std::isfinite(c.mAspect) ? c.mAspect : 0;
  if (!(across > 0 && across < kPi)) // orthographic cameras among them
    return {45, false};
  const double degrees = across * 180 / kPi;
  const auto vertical = [&] { return 2 * std::atan(std::tan(across / 2) / aspect) * 180 / kPi; };
  switch (format_) {
  case Format::gltf: // yfov is vertical
    return {aspect > 0 ? degrees / aspect : degrees, false};
  case Format::fbx: // the horizontal gate fit of the files tools write
    return {degrees, true};
  case Format::collada:
    // xfov is horizontal; yfov with an aspect Assimp turns into the
    // horizontal angle of that aspect, and a yfov alone it loses (it answers
    // 45 degrees taken as radians): the file's yfov stands when it has one.
    for (double x : xfovs_)
      if (std::fabs(x - degrees) <= 1e-4 * std::fmax(1.0, x))
        return {degrees, true};
    if (aspect == 0 && std::fabs(across - 45 * kPi / 180 * kPi / 180) < 1e-6) {
      const bool one = !yfovs_.empty() && std::all_of(yfovs_.begin(), yfovs_.end(),
                                                      [&](double y) { return y == yfovs_.front(); });
      return {one && yfovs_.front() > 0 && yfovs_.front() < 180 ? yfovs_.front() : 45, false};
    }
    break;
  case Format::other:
    break;
  }
  return aspect > 0 ? Lens{vertical(), false} : Lens{degrees, true};
}

double CameraFit::view_angle(const aiCamera &c, double picture_aspect) const {
  const Lens l = lens(c);
  const double aspect = picture_aspect > 0 && std::isfinite(picture_aspect) ? picture_aspect : 4.0 / 3.0;
  const double angle =
      l.horizontal ? 2 * std::atan(std::tan(l.degrees * kPi / 360) / aspect) * 180 / kPi : l.degrees;
  return std::fmin(179, std::fmax(0.01, angle));
}

} // namespace bf::import
