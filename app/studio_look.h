// The studio look of a model file's scene: a neutral backdrop and a floor
// that catches the model's shadow, unless --background or --floor say
// otherwise. Written into the scene document, so that an imported scene file
// holds the same look as a model saved or rendered directly.
#pragma once

#include <array>
#include <string>

namespace bf {

struct StudioLook {
  bool backdrop = true; // false: --background none (black, or clear with --alpha)
  std::array<double, 3> background{{0.72, 0.73, 0.75}};
  bool floor = true;
};

// --background COLOR|none and --floor on|off for a model file; a scene
// file keeps what it says, so there they are refused. False (after
// usage_error) on a bad value.
struct ParsedArgs;
bool read_studio_options(const ParsedArgs &parsed, bool scene_file, StudioLook &look, int &exit_code);

// A colour as "#RRGGBB" or "R,G,B" (each 0..1); false when it is neither.
bool parse_colour(const std::string &text, std::array<double, 3> &out);

} // namespace bf
