// The picture a render writes: its format (by the output's extension, or
// --format for standard output), JPEG quality and alpha, and the encoders
// for PNG and JPEG (stb) that write it to a file or to standard output.
#pragma once

#include <string>
#include <vector>

namespace bf {

enum class PictureFormat { png, tga, jpeg };

struct PictureSettings {
  PictureFormat format = PictureFormat::png;
  int quality = 90;   // JPEG, 1 to 100
  bool alpha = false; // a PNG or Targa picture whose background is transparent
  bool to_stdout = false;
};

// The format of the output `out` ("-" for standard output, whose format is
// `format_option` when given, else PNG); "" when it is fine, else why not.
std::string picture_format(const std::string &out, const std::string *format_option,
                           PictureSettings &settings);

// The picture (rows from the top, `channels` bytes a pixel: 3, or 4 with
// alpha) encoded in the settings' format. False when it cannot be.
bool encode_picture(const PictureSettings &settings, int width, int height, int channels,
                    const unsigned char *pixels, std::string &bytes);

// The alpha channel (a byte a pixel, rows from the top) of the picture
// POV-Ray wrote with +UA; empty when it has none or is not w x h.
std::vector<unsigned char> read_alpha(const std::string &path, int w, int h);

// A switch for POV-Ray, which the launcher (pvengine.exe) passes on from
// $BRIGHTFOLD_POVRAY_OPTIONS (switches separated by spaces).
void pass_povray_switch(const std::string &option);

// Bytes to standard output, all of them; false with errno.
bool write_stdout(const char *bytes, size_t size);
inline bool write_stdout(const std::string &bytes) { return write_stdout(bytes.data(), bytes.size()); }

} // namespace bf
