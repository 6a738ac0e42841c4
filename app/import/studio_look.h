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

} // namespace bf
