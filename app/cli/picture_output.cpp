// Picture formats by name and their encoders.
#include "app/cli/picture_output.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace bf {

namespace {

// A format's name or extension, in any case.
bool format_named(const std::string &name, PictureFormat &format) {
  const char *n = name.c_str();
  if (strcasecmp(n, "png") == 0)
    format = PictureFormat::png;
  else if (strcasecmp(n, "tga") == 0)
    format = PictureFormat::tga;
  else if (strcasecmp(n, "jpg") == 0 || strcasecmp(n, "jpeg") == 0)
    format = PictureFormat::jpeg;
  else
    return false;
  return true;
}

void append_bytes(void *context, void *data, int size) {
  if (size > 0)
    static_cast<std::string *>(context)->append(static_cast<const char *>(data), static_cast<size_t>(size));
}

} // namespace

std::string picture_format(const std::string &out, const std::string *format_option,
                           PictureSettings &settings) {
  settings.to_stdout = out == "-";
  if (format_option != nullptr && !settings.to_stdout)
    return "--format applies to - (standard output); a file's extension gives its format";
  if (format_option != nullptr && !format_named(*format_option, settings.format))
    return "--format takes png, tga or jpeg, not \"" + *format_option + "\"";
  if (!settings.to_stdout) {
    const std::string ext = std::filesystem::path(out).extension().string();
    if (ext.size() < 2 || !format_named(ext.substr(1), settings.format))
      return "the output must be a .png, .tga, .jpg or .jpeg file (or - for standard output): " + out;
  }
  if (settings.alpha && settings.format == PictureFormat::jpeg)
    return "--alpha (or --depth 32) needs a PNG or Targa picture: a JPEG has no transparency";
  return "";
}

bool encode_picture(const PictureSettings &settings, int width, int height, int channels,
                    const unsigned char *pixels, std::string &bytes) {
  bytes.clear();
  const int stride = width * channels;
  switch (settings.format) {
  case PictureFormat::png:
    return stbi_write_png_to_func(append_bytes, &bytes, width, height, channels, pixels, stride) != 0;
  case PictureFormat::jpeg:
    return stbi_write_jpg_to_func(append_bytes, &bytes, width, height, channels, pixels, settings.quality) !=
           0;
  case PictureFormat::tga:
    break;
  }
  stbi_write_tga_with_rle = 0; // as the host's Targa writer writes a file
  return stbi_write_tga_to_func(append_bytes, &bytes, width, height, channels, pixels) != 0;
}

std::vector<unsigned char> read_alpha(const std::string &path, int w, int h) {
  int rw = 0, rh = 0, channels = 0;
  std::unique_ptr<unsigned char, void (*)(void *)> rgba(stbi_load(path.c_str(), &rw, &rh, &channels, 4),
                                                        stbi_image_free);
  std::vector<unsigned char> alpha;
  if (!rgba || rw != w || rh != h || channels != 4)
    return alpha;
  alpha.resize(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < alpha.size(); ++i)
    alpha[i] = rgba.get()[i * 4 + 3];
  return alpha;
}

void pass_povray_switch(const std::string &option) {
  const char *given = std::getenv("BRIGHTFOLD_POVRAY_OPTIONS");
  const std::string options = given != nullptr && *given ? std::string(given) + " " + option : option;
  setenv("BRIGHTFOLD_POVRAY_OPTIONS", options.c_str(), 1);
}

bool write_stdout(const char *bytes, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(STDOUT_FILENO, bytes + done, size - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

} // namespace bf
