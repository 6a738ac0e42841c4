// Numbers that reach the scene text must be finite: POV-Ray reads neither
// "inf" nor "nan". Values that the writers compute with a division, a
// tangent or a large factor go through these before they are printed.
#pragma once

#include <cfloat>

// v within the float range, kept in double precision: beyond the range it
// becomes the largest float of its sign, and NaN becomes 0.
inline double pov_finite_double(double v) {
  if (!(v == v))
    return 0.0;
  return v > FLT_MAX ? FLT_MAX : v < -FLT_MAX ? -FLT_MAX : v;
}
// The same, as a float.
inline float pov_finite(double v) { return static_cast<float>(pov_finite_double(v)); }
